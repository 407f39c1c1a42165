#!/usr/bin/env python3
"""korean_manuals.py MAN_DIR NAME...

Each program NAME has a Korean manual page, MAN_DIR/ko/NAME.6, that man
formats without a warning, as lintian has it formatted, and that names the
same program as the English one, MAN_DIR/NAME.6: the same title and section,
the same name before its description, and the same pages under its last
section. Its description is Korean.
"""
import os
import re
import subprocess
import sys

HANGUL = re.compile("[\uac00-\ud7a3]")


def parts(path):
    """The page's title and section, the name its name line gives, the
    description after it, and the pages it refers to."""
    with open(path, encoding="utf-8") as f:
        text = f.read()
    title = re.search(r"^\.TH (\S+) (\S+)", text, re.MULTILINE)
    name_line = re.search(r"^\.SH [^\n]*\n(\S+) \\- (.*)$", text, re.MULTILINE)
    if not title or not name_line:
        return None
    see_also = re.findall(r"^\.BR (\S+) \(\d\)", text.rsplit(".SH", 1)[1], re.MULTILINE)
    return title.groups(), name_line.group(1), name_line.group(2), see_also


def warnings(path):
    """What man says on its standard error as it formats the page."""
    environment = {**os.environ, "LC_ALL": "C.UTF-8", "MANROFFSEQ": "", "MANWIDTH": "80"}
    done = subprocess.run(["man", "--warnings", "-E", "UTF-8", "-l", "-Tutf8", "-Z", path],
                          stdout=subprocess.DEVNULL, stderr=subprocess.PIPE, env=environment, check=False)
    return done.stderr.decode("utf-8", "replace").strip() or (f"status {done.returncode}" if done.returncode else "")


def main():
    folder, *names = sys.argv[1:]
    problems = []
    for name in names:
        english, korean = os.path.join(folder, f"{name}.6"), os.path.join(folder, "ko", f"{name}.6")
        if not os.path.exists(korean):
            problems.append(f"{name}: no Korean manual page")
            continue
        said = warnings(korean)
        if said:
            problems.append(f"{name}: man says {said!r}")
        ours, theirs = parts(korean), parts(english)
        if not ours:
            problems.append(f"{name}: the Korean page has no title or no name line")
            continue
        (title, program, about, see_also), (en_title, en_program, _, en_see_also) = ours, theirs
        if (title, program, see_also) != (en_title, en_program, en_see_also):
            problems.append(f"{name}: the Korean page names {title} {program} and refers to {see_also}, "
                            f"the English one {en_title} {en_program} and {en_see_also}")
        if not HANGUL.search(about):
            problems.append(f"{name}: the Korean description {about!r} is not Korean")
    for problem in problems:
        print(problem)
    print(f"Korean manual pages: {'FAILED' if problems else 'passed'}")
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main())
