#!/usr/bin/env python3
"""steady_recording.py RECORDER BUILD SOURCE_ROOT PROGRAM[=TYPED]...

Records each PROGRAM (its path in the source tree without .cpp) again with
the RECORDER, from the program the web build in BUILD made for this machine,
with an environment 10,000 bytes larger, which moves the stack and every
address on it, and with gdb kept from the C library's debug symbols. Each
recording must be the one the build made, byte for byte: one that showed an
address, or a local before its declaration had run, would differ.
"""
import concurrent.futures
import os
import subprocess
import sys
import tempfile


def record_again(recorder, build, source_root, program, scratch):
    path, _, typed = program.partition("=")
    name = os.path.basename(path)
    again = os.path.join(scratch, f"{name}.json")
    done = subprocess.run([sys.executable, recorder, os.path.join(build, "native", name), source_root,
                           f"{path}.cpp", again, *([typed] if typed else [])],
                          env=dict(os.environ, GDB=os.path.join(scratch, "gdb"), PADDING="x" * 10000),
                          stderr=subprocess.PIPE, text=True)
    if done.returncode != 0:
        return f"{name}: the recorder failed: {done.stderr.strip()[-300:]}"
    with open(again, "rb") as f, open(os.path.join(build, f"{name}.recording.json"), "rb") as made:
        first, second = made.read(), f.read()
    if first != second:
        at = next((i for i, (a, b) in enumerate(zip(first, second)) if a != b), min(len(first), len(second)))
        return f"{name}: recorded again, it differs from byte {at}: {second[at:at + 80]!r} against {first[at:at + 80]!r}"
    return None


def main():
    recorder, build, source_root, *programs = sys.argv[1:]
    with tempfile.TemporaryDirectory() as scratch:
        gdb = os.path.join(scratch, "gdb")
        with open(gdb, "w") as f:
            f.write('#!/bin/sh\nexec gdb -iex "set debug-file-directory /nonexistent" "$@"\n')
        os.chmod(gdb, 0o755)
        with concurrent.futures.ThreadPoolExecutor() as pool:
            problems = [p for p in pool.map(lambda program: record_again(recorder, build, source_root, program,
                                                                          scratch), programs) if p]
    for problem in problems:
        print(problem)
    print(f"{len(programs) - len(problems)} of {len(programs)} recordings the same")
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main())
