#!/usr/bin/env python3
"""stairprompt_cases.py PROGRAM inputs|small-stack

  inputs       typed inputs, grouped by kind, each with the rows it must print
  small-stack  a large count on a 64 KiB stack, checked byte for byte, and the
               largest count, whose first rows must come out
"""
import resource
import subprocess
import sys
import tempfile

PROMPT = "숫자를 입력하세요 : ".encode()

# Typed input and the number of rows it must print after the prompt.
INPUTS = {
    "valid": [("5\n", 5), ("1\n", 1), ("12", 12), ("007\n", 7), ("3abc\n", 3),
              ("4 5\n", 4)],
    "not a number": [("", 0), ("\n\n", 0), ("word\n", 0), ("abc3\n", 0), (".5\n", 0),
                     ("-\n", 0), ("+\n", 0)],
    "zero and negative": [("0\n", 0), ("-3\n", 0), ("-0\n", 0), ("0x5\n", 0), ("-2147483648\n", 0)],
    "out of range": [("2147483648\n", 0), ("99999999999\n", 0), ("-2147483649\n", 0),
                     ("00000000000000000000002147483648\n", 0),
                     ("00000000000000000000000000000009\n", 9)],
    "white space and signs": [("  \t\n\n 4\n", 4), ("\v\f\r2\n", 2), ("+4\n", 4),
                              ("- 4\n", 0), ("+-4\n", 0), ("--4\n", 0), ("4\t6\n", 4)],
}


def staircase(rows):
    return b"".join(b"*" * k + b"\n" for k in range(1, rows + 1))


def run(program, typed, expected, stack=None, whole=True):
    """Runs PROGRAM on the typed input and returns the problem seen, or None.
    It reads no more output than one byte past what is expected, so that a
    count read wrongly as huge cannot flood the test; with whole=False only
    the first bytes are checked and the program is stopped after them."""
    def limit_stack():
        if stack:
            resource.setrlimit(resource.RLIMIT_STACK, (stack, stack))

    with tempfile.TemporaryFile() as errors:
        child = subprocess.Popen([program], stdin=subprocess.PIPE, stdout=subprocess.PIPE,
                                 stderr=errors, preexec_fn=limit_stack)
        child.stdin.write(typed.encode())
        child.stdin.close()
        got = bytearray()
        while len(got) <= len(expected) and (chunk := child.stdout.read1(1 << 20)):
            got += chunk
        if len(got) > len(expected) or not whole:
            child.kill()
        status = child.wait(timeout=300)
        errors.seek(0)
        stderr = errors.read()
    if not whole:
        got, status = got[:len(expected)], 0
    if got != expected:
        return f"{len(got)} bytes of output, {got.count(10)} line feeds, status {status}"
    if status or stderr:
        return f"exit status {status}, standard error {stderr[-300:]!r}"
    return None


def check_inputs(program):
    problems = []
    for kind, cases in INPUTS.items():
        for typed, rows in cases:
            problem = run(program, typed, PROMPT + staircase(rows))
            if problem:
                problems.append(f"{kind}: input {typed!r} should give {rows} rows: {problem}")
    return problems


def check_small_stack(program):
    problems = []
    rows = 20000  # a recursion as deep as the count needs far more than 64 KiB
    problem = run(program, f"{rows}\n", PROMPT + staircase(rows), stack=64 * 1024)
    if problem:
        problems.append(f"{rows} rows on a 64 KiB stack: {problem}")
    # The largest count would run for ages: check its first rows, then stop it.
    problem = run(program, "2147483647\n", PROMPT + staircase(1000), stack=64 * 1024,
                  whole=False)
    if problem:
        problems.append(f"the largest count on a 64 KiB stack: {problem}")
    return problems


def main():
    program, what = sys.argv[1:3]
    problems = check_inputs(program) if what == "inputs" else check_small_stack(program)
    for problem in problems:
        print(problem)
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main())
