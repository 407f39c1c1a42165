#!/usr/bin/env python3
"""stairprompt_cases.py PROGRAM inputs|small-stack|failures

  inputs       typed inputs, grouped by kind, each with the rows it must print
  small-stack  a large count on a 64 KiB stack, checked byte for byte, and the
               largest count, whose first rows must come out
  failures     output that stops being taken part way through a huge count, and
               input that cannot be read: each must end the program promptly
               with its one-line message and status 1
  busy-output  a non-blocking pipe whose reader is slow to take the rows: a
               busy reader is no failure, so every byte must arrive, status 0
  large        a large count into a pipe and into a regular file, checked by
               checksum
"""
import hashlib
import os
import resource
import signal
import socket
import subprocess
import sys
import tempfile
import time

from emulator import command

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

    # An emulator gives the program a stack of its own, sized by QEMU_STACK_SIZE.
    environment = dict(os.environ, QEMU_STACK_SIZE=str(stack)) if stack else None

    with tempfile.TemporaryFile() as errors:
        child = subprocess.Popen(command(program), stdin=subprocess.PIPE, stdout=subprocess.PIPE,
                                 stderr=errors, preexec_fn=limit_stack, env=environment)
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


HUGE = b"2147483647\n"  # rows for ages: only a prompt stop ends it in time
PROMPTLY = 20  # seconds, with room for a sanitizer build
FIRST = PROMPT + staircase(400)  # more than the cases below let through


def ended(program, stdin=HUGE, stdout=subprocess.PIPE, setup=None):
    """Runs PROGRAM with bytes or a file descriptor as its input and returns
    its status, its standard error and its output, when that is a pipe."""
    typed = stdin if isinstance(stdin, bytes) else None
    done = subprocess.run(command(program), input=typed, stdin=None if typed else stdin,
                          stdout=stdout, stderr=subprocess.PIPE, preexec_fn=setup,
                          timeout=PROMPTLY)
    return done.returncode, done.stderr, done.stdout


def into_small_file(program):
    """Rows into a file that may not grow past 64 KiB, so a write fails part way."""
    def limit_file():
        signal.signal(signal.SIGXFSZ, signal.SIG_IGN)
        resource.setrlimit(resource.RLIMIT_FSIZE, (65536, 65536))

    with tempfile.TemporaryFile() as out:
        status, stderr, _ = ended(program, stdout=out, setup=limit_file)
        out.seek(0)
        return status, stderr, out.read()


def into_pipe_closed_early(program, sigpipe):
    """Rows into a pipe whose reader closes it after 4 KiB."""
    with tempfile.TemporaryFile() as errors:
        child = subprocess.Popen(command(program), stdin=subprocess.PIPE, stdout=subprocess.PIPE,
                                 stderr=errors,
                                 preexec_fn=lambda: signal.signal(signal.SIGPIPE, sigpipe))
        try:
            child.stdin.write(HUGE)
            child.stdin.close()
            output = child.stdout.read(4096)
            child.stdout.close()
            child.wait(timeout=PROMPTLY)
        finally:
            child.kill()
        errors.seek(0)
        return child.returncode, errors.read(), output


def check_failures(program):
    write_error = b"stairprompt: write error: "
    read_error = b"stairprompt: read error: "
    full = os.open("/dev/full", os.O_WRONLY)
    root = os.open("/", os.O_RDONLY)
    # What each case does, and the status, standard error and output it must
    # end with.
    cases = [
        ("a huge count onto a full device", lambda: ended(program, stdout=full),
         1, write_error + b"No space left on device\n", None),
        ("a huge count into a file that cannot grow past 64 KiB",
         lambda: into_small_file(program), 1, write_error + b"File too large\n", FIRST[:65536]),
        ("a reader that leaves after 4 KiB, SIGPIPE ignored",
         lambda: into_pipe_closed_early(program, signal.SIG_IGN),
         1, write_error + b"Broken pipe\n", FIRST[:4096]),
        ("a reader that leaves after 4 KiB, SIGPIPE as it comes",
         lambda: into_pipe_closed_early(program, signal.SIG_DFL),
         -signal.SIGPIPE, b"", FIRST[:4096]),
        ("standard input closed", lambda: ended(program, setup=lambda: os.close(0)),
         1, read_error + b"Bad file descriptor\n", PROMPT),
        ("a directory as standard input", lambda: ended(program, stdin=root),
         1, read_error + b"Is a directory\n", PROMPT),
    ]
    problems = []
    for what, run_case, *expected in cases:
        try:
            got = run_case()
        except subprocess.TimeoutExpired:
            problems.append(f"{what}: still running after {PROMPTLY} s")
            continue
        if list(got) != expected:
            status, stderr, output = got
            problems.append(f"{what}: status {status}, standard error {stderr[-200:]!r}, "
                            f"{len(output or b'')} bytes of output; expected {expected[0]}, "
                            f"{expected[1]!r}, {len(expected[2] or b'')} bytes")
    os.close(full)
    os.close(root)
    return problems


def expected_digest(rows):
    """The checksum and length of the prompt and ROWS rows."""
    digest = hashlib.sha256(PROMPT)
    for k in range(1, rows + 1):
        digest.update(b"*" * k + b"\n")
    return digest.hexdigest(), len(PROMPT) + rows * (rows + 3) // 2


def received_digest(program, rows, stdout, read_end=None, late=0.0, piece=1 << 20, pause=0.0):
    """Runs PROGRAM on a typed count of ROWS with STDOUT as its output. When
    READ_END is given, it is read after LATE seconds, PIECE bytes at a time
    with PAUSE seconds between reads. Returns the checksum and length of what
    came through READ_END, the status and standard error."""
    with tempfile.TemporaryFile() as errors:
        child = subprocess.Popen(command(program), stdin=subprocess.PIPE, stdout=stdout,
                                 stderr=errors)
        try:
            child.stdin.write(f"{rows}\n".encode())
            child.stdin.close()
            digest, size = hashlib.sha256(), 0
            if read_end is not None:
                os.close(stdout)
                time.sleep(late)
                while chunk := os.read(read_end, piece):
                    digest.update(chunk)
                    size += len(chunk)
                    time.sleep(pause)
            status = child.wait(timeout=PROMPTLY)
        finally:
            child.kill()
        errors.seek(0)
        return digest.hexdigest(), size, status, errors.read()


def into_pipe(program, rows, blocking=True, stream_socket=False, **reading):
    """Rows into a pipe, or a stream socket, whose writing end blocks or not."""
    if stream_socket:
        read_end, write_end = (end.detach() for end in socket.socketpair())
    else:
        read_end, write_end = os.pipe()
    os.set_blocking(write_end, blocking)
    try:
        return received_digest(program, rows, write_end, read_end, **reading)
    finally:
        os.close(read_end)


def into_file(program, rows):
    with tempfile.TemporaryFile() as out:
        _, _, status, stderr = received_digest(program, rows, out)
        out.seek(0)
        digest, size = hashlib.sha256(), 0
        while chunk := out.read(1 << 20):
            digest.update(chunk)
            size += len(chunk)
        return digest.hexdigest(), size, status, stderr


def check_rows_arrive(cases):
    """Runs each case and compares its checksum, length, status and standard
    error with those of the prompt and its rows, status 0 and no message."""
    problems = []
    for what, rows, run_case in cases:
        digest, size = expected_digest(rows)
        try:
            got = run_case()
        except subprocess.TimeoutExpired:
            problems.append(f"{what}: still running after {PROMPTLY} s")
            continue
        if got != (digest, size, 0, b""):
            problems.append(f"{what}: {got[1]} of {size} bytes, "
                            f"{'exact' if got[0] == digest else 'not the rows'}, "
                            f"status {got[2]}, standard error {got[3][-200:]!r}")
    return problems


def check_busy_output(program):
    # 1,000 rows fit a pipe enlarged to 1 MiB but not an ordinary one; 3,000
    # rows (4.5 MB) fit no pipe at all.
    return check_rows_arrive([
        ("1000 rows into a non-blocking pipe read 0.3 s late", 1000,
         lambda: into_pipe(program, 1000, blocking=False, late=0.3)),
        ("3000 rows into a non-blocking pipe read 0.3 s late", 3000,
         lambda: into_pipe(program, 3000, blocking=False, late=0.3)),
        ("1600 rows into a non-blocking pipe read 4 KiB at a time, slowly", 1600,
         lambda: into_pipe(program, 1600, blocking=False, piece=4096, pause=0.001)),
        ("3000 rows into a non-blocking socket read 0.3 s late", 3000,
         lambda: into_pipe(program, 3000, blocking=False, stream_socket=True, late=0.3)),
        ("1600 rows into a non-blocking socket read 4 KiB at a time, slowly", 1600,
         lambda: into_pipe(program, 1600, blocking=False, stream_socket=True, piece=4096,
                           pause=0.001)),
    ])


def check_large(program):
    rows = 20000  # 200 MB
    return check_rows_arrive([
        (f"{rows} rows into a pipe", rows, lambda: into_pipe(program, rows)),
        (f"{rows} rows into a regular file", rows, lambda: into_file(program, rows)),
    ])


def main():
    program, what = sys.argv[1:3]
    check = {"inputs": check_inputs, "small-stack": check_small_stack,
             "failures": check_failures, "busy-output": check_busy_output,
             "large": check_large}[what]
    problems = check(program)
    for problem in problems:
        print(problem)
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main())
