#!/usr/bin/env python3
"""gallery.py SHOW BINDIR EXPECTED: runs the gallery on a terminal 80 columns
wide, where stairprompt must show the typed 5 on its prompt's line and then
its rows, and wedge, 81 columns wide, must be announced in the line just
before it and then drawn unchanged; on a terminal 81 columns wide, wedge fits
and is drawn with no announcement."""
import fcntl
import os
import pty
import struct
import subprocess
import sys
import termios

PROMPT = "숫자를 입력하세요 : "


def gallery_on_terminal(show, bindir, columns, *programs):
    """What a terminal COLUMNS wide receives from the gallery, line by line."""
    master, slave = pty.openpty()
    fcntl.ioctl(slave, termios.TIOCSWINSZ, struct.pack("HHHH", 24, columns, 0, 0))
    child = subprocess.Popen([show, bindir, *programs], stdin=subprocess.DEVNULL,
                             stdout=slave, stderr=slave)
    os.close(slave)
    received = b""
    while True:
        try:
            data = os.read(master, 65536)
        except OSError:  # the gallery has ended and closed the terminal
            break
        if not data:
            break
        received += data
    os.close(master)
    child.wait(timeout=60)
    return received.decode().replace("\r\n", "\n").split("\n")


def after(lines, heading, count):
    """The COUNT lines after the gallery's heading for a program."""
    at = lines.index(f"== {heading}") + 1
    return lines[at:at + count]


def main():
    show, bindir, expected = sys.argv[1:4]
    with open(os.path.join(expected, "wedge.out"), encoding="utf-8") as f:
        wedge = f.read().split("\n")[:21]
    stairs = [PROMPT + "5", "*", "**", "***", "****", "*****"]
    problems = []

    narrow = gallery_on_terminal(show, bindir, 80)
    if after(narrow, "stairprompt", 6) != stairs:
        problems.append(f"80 columns, stairprompt shows {after(narrow, 'stairprompt', 6)}")
    notice, *rows = after(narrow, "wedge", 22)
    if "81" not in notice or "80" not in notice or rows != wedge:
        problems.append(f"80 columns, before wedge: {notice!r}, then "
                        f"{'its rows' if rows == wedge else 'other rows'}")
    if "== drain" not in narrow:
        problems.append("80 columns: the gallery did not come to drain")

    wide = gallery_on_terminal(show, bindir, 81, "wedge")
    if after(wide, "wedge", 21) != wedge:
        problems.append(f"81 columns, wedge is not drawn at once: {after(wide, 'wedge', 1)}")

    for problem in problems:
        print(problem)
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main())
