#!/usr/bin/env python3
"""web_archive.py ZIP PAGE FOLDER SOURCE_ROOT

Packs the web page in the folder PAGE into the zip file ZIP, under the one
folder FOLDER, so that unzipping it gives FOLDER/index.html to open. The
zip is the same to the byte from any clone of one commit: its entries come
in a fixed order (folders before what they hold, names sorted), with fixed
modes (0755 for folders, 0644 for files) and the time of the source's last
commit in SOURCE_ROOT, or SOURCE_DATE_EPOCH when that is set.
"""
import os
import subprocess
import sys
import time
import zipfile


def epoch(source_root):
    if "SOURCE_DATE_EPOCH" in os.environ:
        return int(os.environ["SOURCE_DATE_EPOCH"])
    done = subprocess.run(["git", "-C", source_root, "log", "-1", "--format=%ct"],
                          stdout=subprocess.PIPE, text=True, check=True)
    return int(done.stdout)


def entry(name, when, mode):
    info = zipfile.ZipInfo(name, date_time=when)
    info.create_system = 3  # Unix, whose modes the entry carries
    info.external_attr = mode << 16
    if name.endswith("/"):
        info.external_attr |= 0x10  # and, for the tools of other systems, a folder
    else:
        info.compress_type = zipfile.ZIP_DEFLATED
    return info


def main():
    target, page, folder, source_root = sys.argv[1:]
    # A zip's times have no zone: the commit's time in UTC.
    when = time.gmtime(epoch(source_root))[:6]
    names = [f"{folder}/"]
    for here, subfolders, files in os.walk(page):
        subfolders.sort()
        inside = os.path.relpath(here, page)
        prefix = f"{folder}/" if inside == "." else f"{folder}/{inside}/"
        names += [f"{prefix}{name}/" for name in subfolders]
        names += [f"{prefix}{name}" for name in sorted(files)]
    names.sort(key=lambda name: name.rstrip("/").split("/"))
    with zipfile.ZipFile(target + ".part", "w") as archive:
        for name in names:
            if name.endswith("/"):
                archive.writestr(entry(name, when, 0o40755), b"")
                continue
            with open(os.path.join(page, name[len(folder) + 1:]), "rb") as f:
                archive.writestr(entry(name, when, 0o100644), f.read(), compresslevel=9)
    os.replace(target + ".part", target)


if __name__ == "__main__":
    main()
