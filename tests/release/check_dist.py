#!/usr/bin/env python3
"""Checks the release folder that scripts/release.sh made.

Usage: check_dist.py DIST BUILD [CA]   (BUILD holds windows-x64/ and windows-x86/)

Each zip holds exactly the executable, named in code page 932, byte for byte
the one built, for the machine its name says, with the version record that
its name says; the readme, in both languages with that version; the install
and uninstall scripts in code page 932 naming the executable; and the
detection script. Each Windows Installer package carries that version, the
product code of that version and the upgrade code of its machine.
SHA256SUMS lists exactly the zips and the packages. With CA, the
certificate of the root that signed the release: each executable, detection
script and package carries an Authenticode signature that verifies up to
that root, and the executable is the one built with nothing but the
signature added.
Prints "N passed, M failed"; exits 1 on any failure.
"""
import hashlib
import os
import re
import struct
import subprocess
import sys
import tempfile
import zipfile

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "scripts"))
from make_msi import code  # noqa: E402  the codes as the packages are made with them

EXE = "Orvane設定ﾂｰﾙ.exe"
MACHINES = {"x64": 0x8664, "x86": 0x014C}
FIXED_FILE_INFO = struct.pack("<I", 0xFEEF04BD)
VERSION_KEY = "VS_VERSION_INFO".encode("utf-16-le")
passed = failed = 0


def check(ok, what):
    global passed, failed
    passed, failed = passed + bool(ok), failed + (not ok)
    if not ok:
        print(f"FAIL: {what}")


def pe_machine(exe):
    header = struct.unpack_from("<I", exe, 0x3C)[0]
    return struct.unpack_from("<H", exe, header + 4)[0] if exe[header:header + 4] == b"PE\0\0" else None


def file_version(exe):
    """The fixed part's file version of the version record, as "a.b.c.d":
    the signature after the record's key (the code may hold the signature's
    value too)."""
    key = exe.find("VS_VERSION_INFO".encode("utf-16-le"))
    at = exe.find(FIXED_FILE_INFO, key) if key >= 0 else -1
    if at < 0:
        return None
    ms, ls = struct.unpack_from("<II", exe, at + 8)
    return f"{ms >> 16}.{ms & 0xFFFF}.{ls >> 16}.{ls & 0xFFFF}"


def only_signature_added(signed, built):
    """Whether `signed` is `built` with an Authenticode signature and nothing
    else: its certificate table at the end (after zeros up to a multiple of 8
    bytes), the table's directory entry, and the checksum made anew."""
    header = struct.unpack_from("<I", built, 0x3C)[0] + 24
    pe32 = struct.unpack_from("<H", built, header)[0] == 0x10B
    security = header + (128 if pe32 else 144)  # the fifth data directory
    at, size = struct.unpack_from("<II", signed, security)

    def without_fields(image):
        image = bytearray(image)
        image[header + 64:header + 68] = bytes(4)  # checksum
        image[security:security + 8] = bytes(8)
        return bytes(image)

    return (size > 0 and at + size == len(signed) and at == (len(built) + 7) // 8 * 8
            and not signed[len(built):at].strip(b"\0") and without_fields(signed[:len(built)]) == without_fields(built))


def package_properties(path):
    """The Property table of a Windows Installer package: {name: value}."""
    exported = subprocess.run(["msiinfo", "export", path, "Property"], capture_output=True).stdout
    rows = [line.split(b"\t", 1) for line in exported.split(b"\r\n")[3:] if b"\t" in line]
    return {name.decode("ascii"): value for name, value in rows}


def verified(exe, ca, suffix=".exe"):
    """Whether osslsigncode finds the signature sound and leading up to the root `ca`."""
    with tempfile.NamedTemporaryFile(suffix=suffix) as f:
        f.write(exe)
        f.flush()
        result = subprocess.run(["osslsigncode", "verify", "-CAfile", ca, "-TSA-CAfile", ca, "-in", f.name],
                                capture_output=True, text=True)
    return result.returncode == 0 and "Signature verification: ok" in result.stdout


def main():
    dist, build = sys.argv[1], sys.argv[2]
    ca = sys.argv[3] if len(sys.argv) > 3 else None
    zips = sorted(name for name in os.listdir(dist) if name.endswith(".zip"))
    packages = sorted(name for name in os.listdir(dist) if name.endswith(".msi"))
    check(sorted(os.listdir(dist)) == sorted(zips + packages + ["SHA256SUMS"]),
          f"dist holds the zips, the packages and SHA256SUMS: {os.listdir(dist)}")
    check([name[:-4] for name in packages] == [name[:-4] for name in zips], f"a package per zip: {packages}")
    check([re.sub(r"-[\d.]+-", "-V-", name) for name in zips] == ["Orvane設定ﾂｰﾙ-V-x64.zip", "Orvane設定ﾂｰﾙ-V-x86.zip"],
          f"one zip per architecture: {zips}")
    sums = {}
    with open(os.path.join(dist, "SHA256SUMS"), encoding="utf-8") as f:
        for line in f:
            digest, name = line.rstrip("\n").split("  ", 1)
            sums[name] = digest
    for name in zips:
        version, arch = re.fullmatch(r"Orvane設定ﾂｰﾙ-([\d.]+)-(x64|x86)\.zip", name).groups()
        with open(os.path.join(dist, name), "rb") as f:
            check(sums.get(name) == hashlib.sha256(f.read()).hexdigest(), f"{name}: SHA256SUMS")
        with zipfile.ZipFile(os.path.join(dist, name), metadata_encoding="cp932") as archive:
            entries = archive.infolist()
            check(sorted(e.filename for e in entries) ==
                  sorted([EXE, "readme.txt", "install.cmd", "uninstall.cmd", "detect.ps1"]), f"{name}: entries")
            check(all(not e.flag_bits & 0x800 for e in entries), f"{name}: no UTF-8 flag")
            exe = archive.read(EXE)
            readme = archive.read("readme.txt")
            scripts = [archive.read(script) for script in ("install.cmd", "uninstall.cmd")]
            detect = archive.read("detect.ps1")
        check(all(EXE.encode("cp932") in script and b"\n" not in script.replace(b"\r\n", b"") for script in scripts),
              f"{name}: install and uninstall in code page 932 with CR LF")
        check(detect.isascii() and b"/detect /quiet 2>&1 | Out-Null" in detect, f"{name}: the detection script")
        with open(os.path.join(build, f"windows-{arch}", "app", EXE), "rb") as f:
            built = f.read()
        package = os.path.join(dist, name[:-4] + ".msi")
        properties = package_properties(package)
        check(properties.get("ProductVersion") == version.encode(), f"{name}: the package's version")
        check(properties.get("ProductCode") == code("product", version, arch).encode(), f"{name}: the product code")
        check(properties.get("UpgradeCode") == code("upgrade", arch).encode(), f"{name}: the upgrade code")
        if ca:
            check(verified(exe, ca), f"{name}: the signature verifies up to {ca}")
            check(only_signature_added(exe, built), f"{name}: the executable as built, signed")
            check(verified(detect, ca, ".ps1"), f"{name}: the detection script's signature")
            with open(package, "rb") as f:
                check(verified(f.read(), ca, ".msi"), f"{name}: the package's signature")
        else:
            check(exe == built, f"{name}: the executable as built")
        check(pe_machine(exe) == MACHINES[arch], f"{name}: machine {pe_machine(exe)!r} for {arch}")
        check(file_version(exe) == version, f"{name}: version record {file_version(exe)} for {version}")
        text = readme.decode("utf-8-sig")
        check(readme.startswith(b"\xef\xbb\xbf") and "\n" not in text.replace("\r\n", ""), f"{name}: readme BOM and CR LF")
        check(f"{version} ({arch})" in text and "【日本語】" in text and "[English]" in text and "{" not in text,
              f"{name}: readme in both languages, for {version} ({arch})")
    for name in packages:
        with open(os.path.join(dist, name), "rb") as f:
            check(sums.get(name) == hashlib.sha256(f.read()).hexdigest(), f"{name}: SHA256SUMS")
    check(sorted(sums) == sorted(zips + packages), f"SHA256SUMS lists the zips and the packages: {sorted(sums)}")
    print(f"{passed} passed, {failed} failed")
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
