#!/usr/bin/env python3
"""drain_pauses.py PROGRAM EXPECTED: runs drain through a pipe and checks that
each of its eleven frames arrives whole, a second after the one before, and
that the program pauses a second after the last frame before it ends."""
import os
import subprocess
import sys
import time

from emulator import command

FRAME = 6 + 11 * 22
FRAMES = 11
PAUSE = (0.8, 1.8)  # seconds: room for a busy machine or a sanitizer build
# Before the first pause: an emulator on a busy machine may itself take most
# of a second to start a program.
FIRST = PAUSE[0] + (0.8 if os.environ.get("EMULATOR") else 0)


def main():
    program, expected_file = sys.argv[1:3]
    with open(expected_file, "rb") as f:
        expected = f.read()
    start = time.monotonic()
    child = subprocess.Popen(command(program), stdout=subprocess.PIPE, stdin=subprocess.DEVNULL)
    received = b""
    arrivals = []  # when each frame was complete
    while chunk := os.read(child.stdout.fileno(), 65536):
        received += chunk
        while len(arrivals) < len(received) // FRAME:
            arrivals.append(time.monotonic())
    status = child.wait()
    end = time.monotonic()

    problems = []
    if received != expected:
        problems.append(f"output differs from {expected_file}: {len(received)} bytes")
    if status != 0:
        problems.append(f"exit status {status}, expected 0")
    if len(arrivals) == FRAMES:
        if arrivals[0] - start >= FIRST:
            problems.append(f"first frame came after {arrivals[0] - start:.2f} s, before any pause")
        # Each gap is one pause; the last is between the last frame and the end.
        gaps = [b - a for a, b in zip(arrivals, arrivals[1:] + [end])]
        for number, gap in enumerate(gaps):
            if not PAUSE[0] <= gap <= PAUSE[1]:
                problems.append(f"pause after frame {number} lasted {gap:.2f} s")
    else:
        problems.append(f"{len(arrivals)} frames arrived, expected {FRAMES}")
    print(f"ran {end - start:.2f} s")
    for problem in problems:
        print(problem)
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main())
