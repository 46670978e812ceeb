#!/usr/bin/env python3
"""Makes the release folder: for each architecture a zip with the executable,
the administrators' readme (docs/readme-dist.txt), the deployment systems'
install and uninstall scripts and detection script (packaging/), and a
Windows Installer package (scripts/make_msi.py).

Usage: make_dist.py DIST DETECT ARCH=EXE,ACTION...
  e.g. x64=build/windows-x64/app/X.exe,build/windows-x64/packaging/action/OrvaneSetupAction.dll

DETECT is the detection script to ship, signed or not; ACTION the package's
custom action DLL of that architecture. The version is the version
record's, read from res/NetSetup.rc, and refused when it differs from a
released one (packaging/released-versions.txt) in its fourth field alone:
Windows Installer compares three, so the two would stand side by side in
Programs and Features. The publisher is the holder of the deployment's
notice. Entries are named in code page 932 without the UTF-8
flag, as every Japanese Windows reads them, and dated by the last commit, so
one commit gives the same zips. Batch files are in code page 932, as the
command processor reads them on a Japanese Windows.
"""
import os
import re
import subprocess
import sys
import tempfile
import time
import zipfile

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))


def read(path):
    with open(os.path.join(ROOT, path), encoding="utf-8") as f:
        return f.read()


def fourth_field_only(version, released):
    """The released version that `version` differs from in its fourth field
    alone, or None."""
    for other in released:
        if version != other and version.split(".")[:3] == other.split(".")[:3]:
            return other
    return None


def released_versions():
    return [line.strip() for line in read("packaging/released-versions.txt").splitlines()
            if line.strip() and not line.startswith("#")]


def version(rc=None, released=None):
    """FILEVERSION of the version record, checked against its "FileVersion"
    and against the released versions."""
    rc = read("res/NetSetup.rc") if rc is None else rc
    fixed = re.search(r"^\s*FILEVERSION\s+(\d+),\s*(\d+),\s*(\d+),\s*(\d+)", rc, re.M).groups()
    text = re.search(r'VALUE "FileVersion", "([^"]*)"', rc).group(1)
    if text != ", ".join(fixed):
        sys.exit(f"res/NetSetup.rc: FILEVERSION {','.join(fixed)} and FileVersion \"{text}\" disagree")
    found = ".".join(fixed)
    other = fourth_field_only(found, released_versions() if released is None else released)
    if other:
        sys.exit(f"version {found} differs from the released {other} in its fourth field alone, which Windows "
                 "Installer does not compare: change one of the first three")
    return found


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


def publisher():
    """The holder the deployment's notice names: "Copyright (C) 2026 Tavren県" gives "Tavren県"."""
    notice = re.search(r'#define DEPLOY_NOTICE "([^"]+)"', read("deployment/Deployment.h")).group(1)
    return re.sub(r"^Copyright \(C\) [\d-]+ ", "", notice)


def batch(name):
    return read(f"packaging/{name}").replace("\n", "\r\n").encode("cp932")


def main():
    dist, detect = sys.argv[1], sys.argv[2]
    builds = [(arch, *files.split(",")) for arch, files in (arg.split("=", 1) for arg in sys.argv[3:])]
    ver, when = version(), commit_time()
    wildcard = re.search(r'kProxyWildcard = "([^"]+)"', read("deployment/Deployment.h")).group(1)
    os.makedirs(dist, exist_ok=True)
    with open(detect, "rb") as f:
        detection = f.read()
    for arch, exe, action in builds:
        name = os.path.basename(exe)
        readme = ("\ufeff" + read("docs/readme-dist.txt").format(version=ver, arch=arch, wildcard=wildcard)
                  .replace("\n", "\r\n")).encode("utf-8")
        base = f"{os.path.splitext(name)[0]}-{ver}-{arch}"
        with open(exe, "rb") as f:
            program = f.read()
        with zipfile.ZipFile(os.path.join(dist, base + ".zip"), "w") as archive:
            add(archive, name, program, when)
            add(archive, "readme.txt", readme, when)
            for script in ("install.cmd", "uninstall.cmd"):
                add(archive, script, batch(script), when)
            add(archive, "detect.ps1", detection, when)
        print(f"{dist}/{base}.zip")
        with tempfile.TemporaryDirectory() as work:
            readme_file = os.path.join(work, "readme.txt")
            with open(readme_file, "wb") as f:
                f.write(readme)
            subprocess.run([sys.executable, os.path.join(ROOT, "scripts", "make_msi.py"), os.path.join(dist, base + ".msi"),
                            arch, exe, action, readme_file, ver, publisher()], check=True)


if __name__ == "__main__":
    main()
