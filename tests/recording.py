#!/usr/bin/env python3
"""recording.py CAST SVG EXPECTED: the README's animated picture of drain
stays true to the program. The recording's output, read back through the
terminal's line ending (a line feed arrives as a carriage return and a line
feed), must be drain's bytes; its eleven frames must come a second apart,
with the program's final pause before the end; and the picture made from it
must last as long as the recording."""
import json
import re
import sys

FRAME = 6 + 11 * 22
FRAMES = 11
PAUSE = (0.9, 1.1)  # seconds: the recording was made on a quiet machine


def main():
    cast_file, svg_file, expected_file = sys.argv[1:4]
    with open(expected_file, "rb") as f:
        expected = f.read()
    with open(cast_file, encoding="utf-8") as f:
        header, *events = [json.loads(line) for line in f.read().splitlines()]
    with open(svg_file, encoding="utf-8") as f:
        svg = f.read()

    problems = []
    output = b""
    frames = []  # when each frame was complete, then when the recording ends
    for when, kind, data in events:
        if kind == "o":
            output += data.encode().replace(b"\r\n", b"\n")
            while len(frames) < min(len(output) // FRAME, FRAMES):
                frames.append(when)
    frames.append(events[-1][0])
    if output != expected:
        problems.append(f"the recording holds {len(output)} bytes that are not drain's output")
    if len(frames) != FRAMES + 1:
        problems.append(f"{len(frames) - 1} frames recorded, expected {FRAMES}")
    for number, (start, end) in enumerate(zip(frames, frames[1:])):
        if not PAUSE[0] <= end - start <= PAUSE[1]:
            problems.append(f"pause after frame {number} lasted {end - start:.3f} s")
    if header["width"] < 21 or header["height"] < 12:
        problems.append(f"a terminal of {header['width']}x{header['height']} is too small")
    duration = re.search(r"animation-duration:([0-9.]+)s", svg)
    if not duration or abs(float(duration.group(1)) - frames[-1]) > 0.01:
        problems.append(f"the picture does not last as long as the recording ({frames[-1]} s)")

    for problem in problems:
        print(problem)
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main())
