#!/usr/bin/env python3
"""packed_programs.py ARTIFACT EXPECTED_DIR

Unpacks a release artifact, a Debian package (.deb) or a portable archive
(.tar.gz), into a temporary folder and runs every program in it, under the
emulator the environment names in EMULATOR for another machine's programs.
Each must print exactly its file in EXPECTED_DIR (stairprompt with 5 typed),
with status 0 and nothing on standard error; the artifact must hold the
twelve programs and nothing else as programs, with a manual page for each
in English and in Korean.
"""
import concurrent.futures
import os
import subprocess
import sys
import tarfile
import tempfile

from emulator import command
from run_program import check_output


def unpack(artifact, into):
    """Unpacks ARTIFACT and returns the folder of its programs and that of
    its manual pages, whose Korean ones are in ko/man6 beside it."""
    if artifact.endswith(".deb"):
        subprocess.run(["dpkg-deb", "--extract", artifact, into], check=True)
        return os.path.join(into, "usr", "games"), os.path.join(into, "usr", "share", "man")
    with tarfile.open(artifact) as archive:
        archive.extractall(into, filter="data")
    (top,) = os.listdir(into)
    return os.path.join(into, top, "bin"), os.path.join(into, top, "share", "man")


def cases(expected_dir):
    """(program, expected file, typed input) for every expected output."""
    for name in sorted(os.listdir(expected_dir)):
        program, _, case = name.removesuffix(".out").partition("-")
        typed = f"{case}\n" if case else ""
        yield program, os.path.join(expected_dir, name), typed


def main():
    artifact, expected_dir = sys.argv[1:3]
    problems = []
    with tempfile.TemporaryDirectory() as folder:
        programs, pages = unpack(artifact, folder)
        todo = list(cases(expected_dir))
        names = {program for program, _, _ in todo}
        if set(os.listdir(programs)) != names:
            problems.append(f"programs {sorted(os.listdir(programs))}, expected {sorted(names)}")
        for section in ["man6", "ko/man6"]:
            missing = sorted(n for n in names if not os.path.exists(os.path.join(pages, section, f"{n}.6.gz")))
            if missing:
                problems.append(f"no manual page in {section} for {', '.join(missing)}")
        # drain takes eleven seconds, so every program runs at once.
        with concurrent.futures.ThreadPoolExecutor(len(todo)) as pool:
            runs = {(program, typed): pool.submit(check_output,
                                                  command(os.path.join(programs, program)),
                                                  expected, typed.encode())
                    for program, expected, typed in todo}
        for (program, typed), run in runs.items():
            problems += [f"{program} {typed!r}: {problem}" for problem in run.result()]
    for problem in problems:
        print(f"{os.path.basename(artifact)}: {problem}")
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main())
