#!/usr/bin/env python3
"""busy_output.py EXPECTED_DIR PROGRAM...

Starts every PROGRAM with a standard output that does not block and is
already full, whose reader empties it 0.3 s later. A busy reader is no
failure:
  on a pipe     every byte must arrive, with status 0 and nothing on
                standard error;
  on a socket   the same, or, as a socket gives the program no file of its
                own, the one line "NAME: write error: ..." and status 1;
                never a success with bytes lost.
Either way the parent's end must still not block afterwards. stairprompt is
typed 5. The programs run side by side, as drain takes eleven seconds.
"""
import concurrent.futures
import os
import socket
import subprocess
import sys
import tempfile
import threading
import time

from emulator import command

LATE = 0.3  # seconds before the reader starts
LIMIT = 60  # seconds for a program to end, with room for an emulator
TYPED = {"stairprompt": ("5\n", "stairprompt-5.out")}


def fill(end):
    """Writes to the non-blocking END until it takes no more; returns the bytes."""
    written = 0
    for size in (1 << 16, 1):
        try:
            while True:
                written += os.write(end, b"-" * size)
        except BlockingIOError:
            pass
    return written


def run(program, expected_dir, kind):
    """Runs PROGRAM into a full KIND ("pipe" or "socket"); returns the problem
    seen, or None."""
    name = os.path.basename(program).removesuffix(".wasm")
    typed, expected_file = TYPED.get(name, ("", f"{name}.out"))
    with open(os.path.join(expected_dir, expected_file), "rb") as f:
        expected = f.read()
    if kind == "pipe":
        read_end, write_end = os.pipe()
    else:
        read_end, write_end = (end.detach() for end in socket.socketpair())
    os.set_blocking(write_end, False)
    filler = fill(write_end)
    received = bytearray()

    def read_all():
        time.sleep(LATE)
        while chunk := os.read(read_end, 1 << 16):
            received.extend(chunk)

    reader = threading.Thread(target=read_all)
    with tempfile.TemporaryFile() as stdin, tempfile.TemporaryFile() as errors:
        stdin.write(typed.encode())
        stdin.seek(0)
        child = subprocess.Popen(command(program), stdin=stdin, stdout=write_end, stderr=errors)
        reader.start()
        try:
            status = child.wait(timeout=LIMIT)
        except subprocess.TimeoutExpired:
            status = "still running"
        finally:
            child.kill()
            child.wait()
        still_nonblocking = not os.get_blocking(write_end)
        os.close(write_end)
        reader.join()
        os.close(read_end)
        errors.seek(0)
        stderr = errors.read()

    output = bytes(received[filler:])
    problems = []
    if not still_nonblocking:
        problems.append("the parent's end blocks now")
    message = f"{name}: write error: Resource temporarily unavailable\n".encode()
    failed_as_allowed = kind == "socket" and status == 1 and stderr == message
    if not failed_as_allowed and (output, status, stderr) != (expected, 0, b""):
        exact = "exact" if output == expected else "not its bytes"
        problems.append(f"{len(output)} of {len(expected)} bytes, {exact}, status {status}, "
                        f"standard error {stderr[-200:]!r}")
    if received[:filler] != b"-" * filler:
        problems.append("what filled the output came back changed")
    return f"{name} on a full {kind}: " + "; ".join(problems) if problems else None


def main():
    expected_dir, *programs = sys.argv[1:]
    cases = [(program, kind) for program in programs for kind in ("pipe", "socket")]
    with concurrent.futures.ThreadPoolExecutor(len(cases)) as pool:
        found = list(pool.map(lambda case: run(case[0], expected_dir, case[1]), cases))
    problems = [problem for problem in found if problem]
    for problem in problems:
        print(problem)
    print(f"{len(cases) - len(problems)} of {len(cases)} cases passed")
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main())
