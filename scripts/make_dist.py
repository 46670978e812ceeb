#!/usr/bin/env python3
"""Makes the release folder: for each architecture a zip with the executable
and the administrators' readme (docs/readme-dist.txt), and SHA256SUMS.

Usage: make_dist.py DIST ARCH=EXE...   e.g. x64=build/windows-x64/app/X.exe

The version is the version record's, read from res/NetSetup.rc. Entries are
named in code page 932 without the UTF-8 flag, as every Japanese Windows
reads them, and dated by the last commit, so one commit gives the same zips.
"""
import hashlib
import os
import re
import subprocess
import sys
import time
import zipfile

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))


def read(path):
    with open(os.path.join(ROOT, path), encoding="utf-8") as f:
        return f.read()


def version():
    """FILEVERSION of the version record, checked against its "FileVersion"."""
    rc = read("res/NetSetup.rc")
    fixed = re.search(r"^\s*FILEVERSION\s+(\d+),\s*(\d+),\s*(\d+),\s*(\d+)", rc, re.M).groups()
    text = re.search(r'VALUE "FileVersion", "([^"]*)"', rc).group(1)
    if text != ", ".join(fixed):
        sys.exit(f"res/NetSetup.rc: FILEVERSION {','.join(fixed)} and FileVersion \"{text}\" disagree")
    return ".".join(fixed)


def commit_time():
    """Seconds since 1970 of the last commit (or SOURCE_DATE_EPOCH), not before 1980 (zip's epoch)."""
    stamp = os.environ.get("SOURCE_DATE_EPOCH") or subprocess.run(
        ["git", "-C", ROOT, "log", "-1", "--format=%ct"], capture_output=True, text=True).stdout.strip() or "0"
    return time.gmtime(max(int(stamp), 315532800))[:6]


class Cp932Entry(zipfile.ZipInfo):
    def _encodeFilenameFlags(self):
        return self.filename.encode("cp932"), self.flag_bits


def add(archive, name, data, when):
    entry = Cp932Entry(name, when)
    entry.create_system = 0  # MS-DOS: names in the system's code page
    entry.compress_type = zipfile.ZIP_DEFLATED
    archive.writestr(entry, data)


def main():
    dist, builds = sys.argv[1], [arg.split("=", 1) for arg in sys.argv[2:]]
    ver, when = version(), commit_time()
    wildcard = re.search(r'kProxyWildcard = "([^"]+)"', read("deployment/Deployment.h")).group(1)
    os.makedirs(dist, exist_ok=True)
    sums = []
    for arch, exe in builds:
        name = os.path.basename(exe)
        readme = read("docs/readme-dist.txt").format(version=ver, arch=arch, wildcard=wildcard)
        zip_name = f"{os.path.splitext(name)[0]}-{ver}-{arch}.zip"
        with open(exe, "rb") as f:
            program = f.read()
        with zipfile.ZipFile(os.path.join(dist, zip_name), "w") as archive:
            add(archive, name, program, when)
            add(archive, "readme.txt", "\ufeff" + readme.replace("\n", "\r\n"), when)
        with open(os.path.join(dist, zip_name), "rb") as f:
            sums.append(f"{hashlib.sha256(f.read()).hexdigest()}  {zip_name}\n")
        print(f"{dist}/{zip_name}")
    with open(os.path.join(dist, "SHA256SUMS"), "w", encoding="utf-8") as f:
        f.writelines(sums)


if __name__ == "__main__":
    main()
