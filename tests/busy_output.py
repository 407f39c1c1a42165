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
Then the other two streams:
  a full disk   every PROGRAM writing to /dev/full with a standard error that
                does not block and is already full, read 0.3 s later: status
                1, and its one line must arrive whole;
  late input    stairprompt on a non-blocking pipe, and on a non-blocking
                terminal, empty when it starts, 5 typed 0.3 s later: the
                prompt and five rows, status 0; on a non-blocking pipe
                closed at once, empty: the prompt alone, status 0, at once.
Every time the parent's end must still not block afterwards. stairprompt is
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

LATE = 0.3  # seconds before the other end wakes
LIMIT = 60  # seconds for a program to end, with room for an emulator
TYPED = {"stairprompt": ("5\n", "stairprompt-5.out")}
PROMPT = "숫자를 입력하세요 : ".encode()


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


def late(action):
    """Starts a thread that does ACTION LATE seconds from now."""
    def wake():
        time.sleep(LATE)
        action()
    thread = threading.Thread(target=wake)
    thread.start()
    return thread


def late_reader(read_end):
    """Starts reading READ_END to its end LATE seconds from now; answers the
    thread and the bytes it gathers."""
    received = bytearray()

    def read_all():
        while chunk := os.read(read_end, 1 << 16):
            received.extend(chunk)
    return late(read_all), received


def finish(child):
    """Waits for CHILD to end; answers its status, or "still running"."""
    try:
        return child.wait(timeout=LIMIT)
    except subprocess.TimeoutExpired:
        return "still running"
    finally:
        child.kill()
        child.wait()


def typed_input(name):
    """A file holding what NAME is typed."""
    stdin = tempfile.TemporaryFile()
    stdin.write(TYPED.get(name, ("",))[0].encode())
    stdin.seek(0)
    return stdin


def run_on_full(program, ends, stream, other):
    """Runs PROGRAM with the write end of ENDS, made non-blocking and filled
    first, as its STREAM ("stdout" or "stderr"), and OTHER as the other one;
    the read end is read LATE seconds later. Answers the status, what arrived
    after the filling, and the problems seen with the parent's end."""
    name = os.path.basename(program).removesuffix(".wasm")
    read_end, write_end = ends
    os.set_blocking(write_end, False)
    filler = fill(write_end)
    with typed_input(name) as stdin:
        child = subprocess.Popen(command(program), stdin=stdin, **{stream: write_end}, **other)
        reader, received = late_reader(read_end)
        status = finish(child)
        still_nonblocking = not os.get_blocking(write_end)
        os.close(write_end)
        reader.join()
        os.close(read_end)
    problems = []
    if not still_nonblocking:
        problems.append("the parent's end blocks now")
    if received[:filler] != b"-" * filler:
        problems.append("what filled it came back changed")
    return status, bytes(received[filler:]), problems


def run(program, expected_dir, kind):
    """Runs PROGRAM into a full KIND ("pipe" or "socket"); returns the problem
    seen, or None."""
    name = os.path.basename(program).removesuffix(".wasm")
    with open(os.path.join(expected_dir, TYPED.get(name, ("", f"{name}.out"))[1]), "rb") as f:
        expected = f.read()
    ends = os.pipe() if kind == "pipe" else tuple(end.detach() for end in socket.socketpair())
    with tempfile.TemporaryFile() as errors:
        status, output, problems = run_on_full(program, ends, "stdout", {"stderr": errors})
        errors.seek(0)
        stderr = errors.read()
    message = f"{name}: write error: Resource temporarily unavailable\n".encode()
    failed_as_allowed = kind == "socket" and status == 1 and stderr == message
    if not failed_as_allowed and (output, status, stderr) != (expected, 0, b""):
        exact = "exact" if output == expected else "not its bytes"
        problems.append(f"{len(output)} of {len(expected)} bytes, {exact}, status {status}, "
                        f"standard error {stderr[-200:]!r}")
    return f"{name} on a full {kind}: " + "; ".join(problems) if problems else None


def run_full_disk(program):
    """Runs PROGRAM into /dev/full with a full non-blocking pipe for its
    standard error; returns the problem seen, or None."""
    name = os.path.basename(program).removesuffix(".wasm")
    with open("/dev/full", "wb") as full:
        status, stderr, problems = run_on_full(program, os.pipe(), "stderr", {"stdout": full})
    message = f"{name}: write error: No space left on device\n".encode()
    if (status, stderr) != (1, message):
        problems.append(f"status {status}, standard error {stderr[-200:]!r}")
    return f"{name} on a full disk with a full standard error: " + "; ".join(problems) if problems else None


def run_late_input(program, expected_dir, kind):
    """Runs stairprompt on a non-blocking KIND of input, empty at first: a
    "pipe" or a "terminal" that 5 is typed into LATE seconds later, or a
    "closed pipe"; returns the problem seen, or None."""
    if kind == "terminal":
        typist, child_end = os.openpty()
    else:
        child_end, typist = os.pipe()
    os.set_blocking(child_end, False)
    if kind == "closed pipe":
        os.close(typist)
        expected = PROMPT
    else:
        with open(os.path.join(expected_dir, "stairprompt-5.out"), "rb") as f:
            expected = f.read()
    with tempfile.TemporaryFile() as output, tempfile.TemporaryFile() as errors:
        child = subprocess.Popen(command(program), stdin=child_end, stdout=output, stderr=errors)
        typing = late(lambda: os.write(typist, b"5\n")) if kind != "closed pipe" else None
        status = finish(child)
        still_nonblocking = not os.get_blocking(child_end)
        if typing:
            typing.join()
            os.close(typist)
        os.close(child_end)
        output.seek(0)
        errors.seek(0)
        got = (output.read(), status, errors.read())

    problems = []
    if not still_nonblocking:
        problems.append("the parent's end blocks now")
    if got != (expected, 0, b""):
        exact = "exact" if got[0] == expected else "not its bytes"
        problems.append(f"{len(got[0])} of {len(expected)} bytes, {exact}, status {got[1]}, "
                        f"standard error {got[2][-200:]!r}")
    what = "closed at once, empty" if kind == "closed pipe" else "typed into late"
    return (f"stairprompt on a non-blocking {kind.removeprefix('closed ')} {what}: " + "; ".join(problems)
            if problems else None)


def main():
    expected_dir, *programs = sys.argv[1:]
    cases = [lambda p=program, k=kind: run(p, expected_dir, k)
             for program in programs for kind in ("pipe", "socket")]
    cases += [lambda p=program: run_full_disk(p) for program in programs]
    cases += [lambda p=program, k=kind: run_late_input(p, expected_dir, k)
              for program in programs if os.path.basename(program).startswith("stairprompt")
              for kind in ("pipe", "terminal", "closed pipe")]
    with concurrent.futures.ThreadPoolExecutor(len(cases)) as pool:
        found = list(pool.map(lambda case: case(), cases))
    problems = [problem for problem in found if problem]
    for problem in problems:
        print(problem)
    print(f"{len(cases) - len(problems)} of {len(cases)} cases passed")
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main())
