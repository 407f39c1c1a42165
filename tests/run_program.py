#!/usr/bin/env python3
"""Runs one program and checks what it did.

  run_program.py PROGRAM EXPECTED [--input TEXT]
      standard output must equal the file EXPECTED byte for byte, the exit
      status must be 0 and nothing may appear on standard error.
  run_program.py PROGRAM --write-error NAME [--input TEXT]
      with standard output on a full device, and then closed, the program
      must exit non-zero after one line "NAME: write error: REASON".
  --valgrind runs the program under valgrind's memcheck, which turns any
  error it finds into output on standard error and a non-zero status.
"""
import argparse
import os
import subprocess
import sys

from emulator import command


def visible(data):
    """Bytes as text with blanks and line ends made visible."""
    text = data.decode("utf-8", errors="backslashreplace")
    return text.replace(" ", "\u00b7").replace("\n", "\u21b5").replace("\x1b", "\u241b")


def first_difference(expected, actual):
    """Describes where two outputs part, by row and column, or None."""
    if expected == actual:
        return None
    at = next((i for i, (e, a) in enumerate(zip(expected, actual)) if e != a),
              min(len(expected), len(actual)))
    row = expected.count(b"\n", 0, at)
    start = expected.rfind(b"\n", 0, at) + 1
    want = expected[start:expected.find(b"\n", start) + 1 or None]
    got = actual[start:actual.find(b"\n", start) + 1 or None]
    return (f"output differs at byte {at}, row {row}, column {at - start} "
            f"(expected {len(expected)} bytes, got {len(actual)})\n"
            f"  expected row: {visible(want)}\n"
            f"  actual row:   {visible(got)}")


VALGRIND = ["valgrind", "--quiet", "--error-exitcode=1", "--leak-check=full"]


def run(command, stdin, **how):
    return subprocess.run(command, input=stdin, timeout=120, **how)


def check_output(command, expected_file, stdin):
    with open(expected_file, "rb") as f:
        expected = f.read()
    done = run(command, stdin, capture_output=True)
    problems = []
    difference = first_difference(expected, done.stdout)
    if difference:
        problems.append(difference)
    if done.returncode != 0:
        problems.append(f"exit status {done.returncode}, expected 0")
    if done.stderr:
        problems.append(f"standard error not empty: {done.stderr!r}")
    return problems


def check_write_error(command, name, stdin):
    problems = []
    with open("/dev/full", "wb") as full:
        on_full = run(command, stdin, stdout=full, stderr=subprocess.PIPE)
    closed = run(command, stdin, stdout=None, stderr=subprocess.PIPE,
                 preexec_fn=lambda: os.close(1))
    for how, done, reason in (("a full device", on_full, "No space left on device"),
                              ("a closed descriptor", closed, "Bad file descriptor")):
        want = f"{name}: write error: {reason}\n".encode()
        if done.returncode == 0:
            problems.append(f"exit status 0 with output on {how}")
        if done.stderr != want:
            problems.append(f"on {how}, standard error was {done.stderr!r}, expected {want!r}")
    return problems


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("program")
    parser.add_argument("expected", nargs="?")
    parser.add_argument("--input", default="")
    parser.add_argument("--write-error", metavar="NAME")
    parser.add_argument("--valgrind", action="store_true")
    args = parser.parse_args()
    to_run = (VALGRIND if args.valgrind else []) + command(args.program)
    stdin = args.input.encode()
    if args.write_error:
        problems = check_write_error(to_run, args.write_error, stdin)
    else:
        problems = check_output(to_run, args.expected, stdin)
    for problem in problems:
        print(problem)
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main())
