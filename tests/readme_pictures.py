#!/usr/bin/env python3
"""readme_pictures.py README BINDIR PROGRAM...: every program's picture in the
README, the fenced text block under its "### name" heading, must be what it
prints now.

stairprompt's block shows a terminal where 5 was typed, the echo of the typed
line included; drain's block is its first frame, without the cursor sequence.
"""
import re
import subprocess
import sys

from emulator import command

CURSOR = b"\x1b[0;0f"
FRAME = len(CURSOR) + 11 * 22


def printed(program):
    """What the README should show for the program."""
    if program.endswith("drain"):
        with subprocess.Popen(command(program), stdout=subprocess.PIPE) as child:
            frame = child.stdout.read(FRAME)
            child.kill()
        return frame.removeprefix(CURSOR)
    if program.endswith("stairprompt"):
        out = subprocess.run(command(program), input=b"5\n", capture_output=True).stdout
        prompt_end = out.index(b": ") + 2
        return out[:prompt_end] + b"5\n" + out[prompt_end:]
    return subprocess.run(command(program), capture_output=True).stdout


def main():
    readme_file, bindir, *programs = sys.argv[1:]
    with open(readme_file, encoding="utf-8") as f:
        readme = f.read()
    problems = []
    for name in programs:
        block = re.search(rf"^### {name}\n.*?^```text\n(.*?)^```", readme, re.M | re.S)
        if not block:
            problems.append(f"{name}: no picture under a '### {name}' heading")
        elif block.group(1).encode() != printed(f"{bindir}/{name}"):
            problems.append(f"{name}: the README's picture differs from what it prints")
    for problem in problems:
        print(problem)
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main())
