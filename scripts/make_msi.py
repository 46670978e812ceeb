#!/usr/bin/env python3
"""Makes the Windows Installer package of one architecture with wixl, from
packaging/OrvaneSetup.wxs: per machine, into Program Files\\Orvane, running
the installed executable with /set /allusers /quiet after the files are in
place and /remove /allusers /quiet before they go, each with its rollback,
through the package's own custom action DLL (packaging/action/).

Usage: make_msi.py OUT ARCH EXE ACTION README VERSION PUBLISHER [--failing-action]

ACTION is that DLL, built for ARCH. --failing-action is for tests alone: a
package with one more action after the settings' that fails the install.

Two builds of the same inputs give the same bytes: the codes are derived
from the version, the architecture and the files' contents, every time in
the package is the last commit's, and wixl runs with the same memory layout
each time. wixl's library cannot write a text in
code page 932 that has a letter before a double-byte character (it ends on
a segmentation fault), so such texts go in as stand-ins of the same length
and their bytes are put in their place in the finished package.
"""
import hashlib
import os
import platform
import shutil
import struct
import subprocess
import sys
import tempfile
import time
import uuid
import xml.etree.ElementTree as ElementTree

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
# The tool's own namespace for the codes below: never to change, or an
# upgrade would no longer find the versions before.
NAMESPACE = uuid.UUID("6f1c2f4e-5d0a-4f47-9d3e-0b7a2c8e41d5")
PROGRAM_FILES = {"x64": ("ProgramFiles64Folder", "yes"), "x86": ("ProgramFilesFolder", "no")}
SECTOR, MINI_SECTOR, MINI_CUTOFF = 512, 64, 4096
FREE, END = 0xFFFFFFFF, 0xFFFFFFFE
SUMMARY = "\x05SummaryInformation"
WIX = "{http://schemas.microsoft.com/wix/2006/wi}"
# How the installer runs a custom action (the CustomAction table's Type):
# in its script, and there as a rollback or a commit, and not in the user's
# name. wixl writes neither a rollback's nor a commit's bit, and gives
# actions run at once the script's "not in the user's name" as well.
IN_SCRIPT = {"immediate": 0, "deferred": 0x400, "rollback": 0x500, "commit": 0x600}
NO_IMPERSONATE = 0x800
RUN_AS = 0x700 | NO_IMPERSONATE
# The launch condition's text (put in afterwards, as the names are).
PER_USER_REFUSED = "このﾊﾟｯｹｰｼﾞはｺﾝﾋﾟｭｰﾀｰ全体にｲﾝｽﾄｰﾙします。ﾕｰｻﾞｰごとにはｲﾝｽﾄｰﾙできません。"
# For tests alone: after the settings' action, in the script, one that the
# tool refuses (an argument it does not know), so that the install fails
# after the settings were made. Its definition, and its place.
FAILING_ACTION = ("""
    <Property Id="FailAfterSettings" Value="/no-such-argument"/>
    <CustomAction Id="FailAfterSettings" BinaryKey="ToolAction" DllEntry="RunTool" Execute="deferred"
                  Impersonate="no" Return="check"/>
    <InstallExecuteSequence>""", """
      <Custom Action="FailAfterSettings" Sequence="4004">NOT Installed</Custom>
    </InstallExecuteSequence>""")
# wixl orders the package's strings by where its library's tables lie in
# memory: the same addresses each time, with nothing that differs from call
# to call (the environment, folders' names). msibuild likewise.
FIXED = {"PATH": "/usr/bin:/bin", "LC_ALL": "C.UTF-8"}
PID_CODEPAGE, PID_REVISION, PID_CREATED, PID_SAVED = 1, 9, 12, 13


def code(*parts):
    return "{" + str(uuid.uuid5(NAMESPACE, " ".join(parts))).upper() + "}"


def commit_time():
    stamp = os.environ.get("SOURCE_DATE_EPOCH") or subprocess.run(
        ["git", "-C", ROOT, "log", "-1", "--format=%ct"], capture_output=True, text=True).stdout.strip() or "0"
    return max(int(stamp), 315532800)


class Compound:
    """A compound file's streams, changed in place: each keeps its size."""

    def __init__(self, data):
        self.data = bytearray(data)
        sector_shift, mini_shift = struct.unpack_from("<HH", self.data, 0x1E)
        fat_count, self.directory = struct.unpack_from("<II", self.data, 0x2C)
        self.mini_fat_start, _, _, difat_count = struct.unpack_from("<IIII", self.data, 0x3C)
        if (1 << sector_shift, 1 << mini_shift) != (SECTOR, MINI_SECTOR) or difat_count or fat_count > 109:
            raise ValueError("not a compound file of 512-byte sectors without a DIFAT chain")
        fat_sectors = struct.unpack_from(f"<{fat_count}I", self.data, 0x4C)
        self.fat = [n for s in fat_sectors for n in struct.unpack_from("<128I", self.data, self.offset(s))]
        self.entries = []
        for sector in self.chain(self.directory):
            for at in range(self.offset(sector), self.offset(sector) + SECTOR, 128):
                length = struct.unpack_from("<H", self.data, at + 64)[0]
                name = self.data[at:at + max(length - 2, 0)].decode("utf-16-le")
                self.entries.append((name, at))
        self.mini_fat = [n for s in self.chain(self.mini_fat_start) for n in
                         struct.unpack_from("<128I", self.data, self.offset(s))]
        self.mini_stream = self.chain(self.start(self.entries[0][1]))

    @staticmethod
    def offset(sector):
        return (sector + 1) * SECTOR

    def chain(self, sector, table=None):
        table = self.fat if table is None else table
        sectors = []
        while sector not in (FREE, END):
            sectors.append(sector)
            sector = table[sector]
        return sectors

    def start(self, at):
        return struct.unpack_from("<I", self.data, at + 116)[0]

    def pieces(self, at):
        """Where the stream of the entry at `at` lies: (offset, length) each."""
        size = struct.unpack_from("<I", self.data, at + 120)[0]
        if size >= MINI_CUTOFF:
            spans = [(self.offset(s), SECTOR) for s in self.chain(self.start(at))]
        else:
            spans = []
            for mini in self.chain(self.start(at), self.mini_fat):
                at_in_stream = mini * MINI_SECTOR
                sector = self.mini_stream[at_in_stream // SECTOR]
                spans.append((self.offset(sector) + at_in_stream % SECTOR, MINI_SECTOR))
        return [(offset, min(length, size - i * length)) for i, (offset, length) in enumerate(spans)
                if size - i * length > 0]

    def read(self, at):
        return b"".join(bytes(self.data[o:o + n]) for o, n in self.pieces(at))

    def write(self, at, stream):
        done = 0
        for offset, length in self.pieces(at):
            self.data[offset:offset + length] = stream[done:done + length]
            done += length
        assert done == len(stream)

    def streams(self):
        return [(name, at) for name, at in self.entries if self.data[at + 66] == 2]

    def stamp_entries(self, filetime):
        """Each storage's and stream's own times: the package's."""
        for _, at in self.entries:
            for field in (100, 108):
                if any(self.data[at + field:at + field + 8]):
                    self.data[at + field:at + field + 8] = filetime


def summary_properties(stream):
    """{property id: (offset of its value, type)} of the summary's one section."""
    section = struct.unpack_from("<I", stream, 44)[0]
    count = struct.unpack_from("<I", stream, section + 4)[0]
    found = {}
    for i in range(count):
        pid, at = struct.unpack_from("<II", stream, section + 8 + 8 * i)
        found[pid] = (section + at + 4, struct.unpack_from("<I", stream, section + at)[0])
    return found


def fix_summary(stream, package_code, filetime):
    stream = bytearray(stream)
    found = summary_properties(stream)
    at, kind = found[PID_REVISION]
    length = struct.unpack_from("<I", stream, at)[0]
    if kind != 30 or length != len(package_code) + 1:  # VT_LPSTR, with its NUL
        raise ValueError("the summary's revision number is not a package code")
    stream[at + 4:at + 4 + len(package_code)] = package_code.encode("ascii")
    for pid in (PID_CREATED, PID_SAVED):
        if pid in found and found[pid][1] == 64:  # VT_FILETIME
            stream[found[pid][0]:found[pid][0] + 8] = filetime
    if PID_CODEPAGE in found and found[PID_CODEPAGE][1] == 2:  # VT_I2: the summary's texts are code page 932
        struct.pack_into("<h", stream, found[PID_CODEPAGE][0], 932)
    return bytes(stream)


def run_fixed(*command, cwd):
    subprocess.run(["setarch", platform.machine(), "-R", *command], check=True, cwd=cwd, env=FIXED)


def fix_action_types(work, package, source):
    """Each custom action's Type as the source's Execute and Impersonate ask."""
    asked = {}
    for action in ElementTree.fromstring(source).iter(WIX + "CustomAction"):
        execute = action.get("Execute", "immediate")
        in_script = IN_SCRIPT[execute]
        asked[action.get("Id")] = in_script | (NO_IMPERSONATE if in_script and action.get("Impersonate") == "no" else 0)
    exported = subprocess.run(["msiinfo", "export", package, "CustomAction"], check=True, capture_output=True,
                              cwd=work, env=FIXED).stdout
    lines = exported.split(b"\r\n")
    for i, line in enumerate(lines[3:], 3):
        if line:
            fields = line.split(b"\t")
            fields[1] = str(int(fields[1]) & ~RUN_AS | asked.pop(fields[0].decode("ascii"))).encode("ascii")
            lines[i] = b"\t".join(fields)
    if asked:
        sys.exit(f"make_msi: custom actions not in the package: {sorted(asked)}")
    with open(os.path.join(work, "CustomAction.idt"), "wb") as f:
        f.write(b"\r\n".join(lines))
    run_fixed("msibuild", package, "-i", "CustomAction.idt", cwd=work)


def stand_ins(texts):
    """For each text, ASCII of the same length in code page 932, found
    nowhere else."""
    return {text: ("Z" + chr(ord("a") + i)).ljust(len(text.encode("cp932")), "q") for i, text in enumerate(texts)}


def main():
    out, arch, exe, action, readme, version, publisher = sys.argv[1:8]
    failing = sys.argv[8:] == ["--failing-action"]
    if sys.argv[8:] and not failing:
        sys.exit(__doc__)
    when = commit_time()
    filetime = struct.pack("<Q", (when + 11644473600) * 10000000)
    with open(exe, "rb") as f:
        program = f.read()
    with open(action, "rb") as f:
        action_bytes = f.read()
    with open(readme, "rb") as f:
        readme_bytes = f.read()
    product_name = os.path.splitext(os.path.basename(exe))[0]
    names = stand_ins([product_name, os.path.basename(exe), publisher, PER_USER_REFUSED])
    contents = hashlib.sha256(program + action_bytes + readme_bytes + (b"failing" if failing else b"")).hexdigest()
    package_code = code("package", version, arch, contents)
    folder, win64 = PROGRAM_FILES[arch]
    with tempfile.TemporaryDirectory() as work:
        staged = {"EXE": os.path.join(work, "tool.exe"), "ACTION": os.path.join(work, "action.dll"),
                  "README": os.path.join(work, "readme.txt")}
        shutil.copyfile(exe, staged["EXE"])
        shutil.copyfile(action, staged["ACTION"])
        shutil.copyfile(readme, staged["README"])
        for path in staged.values():
            os.utime(path, (when, when))
        values = {
            "PRODUCT_CODE": code("product", version, arch), "UPGRADE_CODE": code("upgrade", arch),
            "TOOL_COMPONENT": code("component", "tool", arch), "README_COMPONENT": code("component", "readme", arch),
            "PRODUCT_NAME": names[product_name], "EXE_NAME": names[os.path.basename(exe)],
            "PUBLISHER": names[publisher], "PER_USER_REFUSED": names[PER_USER_REFUSED], "VERSION": version,
            "ARCH": arch, "PROGRAM_FILES": folder, "WIN64": win64,
            # wixl takes a source relative to its folder
            "EXE": "tool.exe", "ACTION": "action.dll", "README": "readme.txt",
        }
        with open(os.path.join(ROOT, "packaging", "OrvaneSetup.wxs"), encoding="utf-8") as f:
            source = f.read()
        for key, value in values.items():
            source = source.replace(f"@{key}@", value)
        if failing:
            for text, place in zip(FAILING_ACTION, ("\n    <InstallExecuteSequence>", "\n    </InstallExecuteSequence>")):
                if source.count(place) != 1:
                    sys.exit(f"make_msi: no one place for the failing action: {place.strip()}")
                source = source.replace(place, text)
        wxs = os.path.join(work, "package.wxs")
        with open(wxs, "w", encoding="utf-8") as f:
            f.write(source)
        run_fixed("wixl", "-a", arch, "-o", "package.msi", "package.wxs", cwd=work)
        fix_action_types(work, "package.msi", source)
        built = os.path.join(work, "package.msi")
        with open(built, "rb") as f:
            package = Compound(f.read())
    left = dict(names)
    for name, at in package.streams():
        stream = package.read(at)
        for text, stand_in in names.items():
            if stand_in.encode("ascii") in stream:
                stream = stream.replace(stand_in.encode("ascii"), text.encode("cp932"))
                left.pop(text, None)
        if name == SUMMARY:
            stream = fix_summary(stream, package_code, filetime)
        package.write(at, stream)
    if left:
        sys.exit(f"make_msi: not in the package: {sorted(left)}")
    package.stamp_entries(filetime)
    with open(out, "wb") as f:
        f.write(package.data)
    print(out)


if __name__ == "__main__":
    main()
