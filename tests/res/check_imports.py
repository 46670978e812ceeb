#!/usr/bin/env python3
"""Checks that the executables start on the oldest Windows they are built for.

Usage: check_imports.py IMAGE...   (executables and DLLs)

The PE header's machine picks the system: x86 must start on Windows 2000
(5.0), x64 on Windows XP x64 / Server 2003 x64 (5.2). The header's OS and
subsystem versions must name that system, and every imported function must
be on the list of what it exports (imports-win2000.txt, imports-xp-x64.txt
beside this script) with a first version no later than it. Prints
"N passed, M failed"; exits 1 on any failure.
"""
import os
import struct
import sys

from check_resources import Checker

HERE = os.path.dirname(os.path.abspath(__file__))
# Machine type: the list of what the oldest system exports, and its version.
TARGETS = {0x014C: ("imports-win2000.txt", (5, 0)), 0x8664: ("imports-xp-x64.txt", (5, 2))}
VERSIONS = {"Windows NT 4.0": (4, 0), "Windows 2000": (5, 0), "Windows 2000 Server": (5, 0),
            "Windows XP": (5, 1), "Windows Server 2003": (5, 2), "Windows XP x64": (5, 2),
            "Windows Vista": (6, 0), "Windows 7": (6, 1), "Windows 8": (6, 2), "Windows 10": (10, 0)}
# The oldest systems Microsoft's reference still covers: it gives them for
# functions that are far older, and a list entry may say so.
FLOOR = {"Windows XP", "Windows Server 2003"}
FLOOR_MARK = " (floor)"


def cstring(buf, p):
    return buf[p:buf.index(b"\0", p)].decode("ascii")


def read_pe(buf):
    """Machine, OS version, subsystem version and {DLL: [function]} of a PE image."""
    pe = struct.unpack_from("<I", buf, 0x3C)[0]
    if buf[pe:pe + 4] != b"PE\0\0":
        raise ValueError("no PE signature")
    machine, sections, _, _, _, optional_size = struct.unpack_from("<HHIIIH", buf, pe + 4)
    opt = pe + 24
    pe32 = struct.unpack_from("<H", buf, opt)[0] == 0x10B
    os_version = struct.unpack_from("<HH", buf, opt + 40)
    subsystem_version = struct.unpack_from("<HH", buf, opt + 48)
    import_rva = struct.unpack_from("<I", buf, opt + (96 if pe32 else 112) + 8)[0]
    table = [struct.unpack_from("<IIII", buf, opt + optional_size + 40 * i + 8) for i in range(sections)]

    def offset(rva):
        for virtual_size, address, raw_size, raw in table:
            if address <= rva < address + max(virtual_size, raw_size):
                return raw + rva - address
        raise ValueError(f"address {rva:#x} in no section")

    width, by_ordinal = (4, 1 << 31) if pe32 else (8, 1 << 63)
    imports, p = {}, offset(import_rva)
    while True:
        lookup, _, _, name, first_thunk = struct.unpack_from("<IIIII", buf, p)
        if name == 0:
            return machine, os_version, subsystem_version, imports
        functions, q = [], offset(lookup or first_thunk)
        while entry := int.from_bytes(buf[q:q + width], "little"):
            functions.append(f"#{entry & 0xFFFF}" if entry & by_ordinal else cstring(buf, offset(entry & 0x7FFFFFFF) + 2))
            q += width
        imports[cstring(buf, offset(name))] = functions
        p += 20


def read_list(path):
    """{(DLL in upper case, function): first version text} of a list file."""
    entries = {}
    for line in open(path, encoding="utf-8"):
        if line.strip() and not line.startswith("#"):
            dll, function, version = line.split(maxsplit=2)
            entries[(dll.upper(), function)] = version.strip()
    return entries


def check_list(t, entries, name, target):
    """Each entry's first version is known and no later than the system, or a marked floor."""
    for (dll, function), text in sorted(entries.items()):
        version = text.removesuffix(FLOOR_MARK)
        if not t.check(version in VERSIONS, f"{name}: {function}: a known version", repr(text)):
            continue
        if text.endswith(FLOOR_MARK):
            t.check(version in FLOOR, f"{name}: {function}: floor mark", f"{version} is not the reference's floor")
        else:
            t.check(VERSIONS[version] <= target, f"{name}: {function}: on the system", f"first in {version}")


def check_exe(t, path, imported):
    """Adds to imported[list file] what the image imports."""
    exe = os.path.basename(path)
    try:
        machine, os_version, subsystem_version, imports = read_pe(open(path, "rb").read())
    except (OSError, ValueError, struct.error, UnicodeDecodeError) as e:
        t.check(False, f"{exe}: readable PE image", str(e))
        return
    if not t.check(machine in TARGETS, f"{exe}: x86 or x64", f"machine {machine:#x}"):
        return
    list_name, target = TARGETS[machine]
    t.equal(os_version, target, f"{exe}: OS version in the PE header")
    t.equal(subsystem_version, target, f"{exe}: subsystem version in the PE header")
    entries = read_list(os.path.join(HERE, list_name))
    check_list(t, entries, list_name, target)
    for dll, functions in sorted(imports.items()):
        for function in functions:
            t.check((dll.upper(), function) in entries, f"{exe}: {dll} {function}", f"not in {list_name}")
    imported.setdefault(list_name, set()).update((dll.upper(), f) for dll, functions in imports.items() for f in functions)


def main(argv):
    if len(argv) < 2:
        sys.exit(__doc__)
    t = Checker()
    imported = {}
    for path in argv[1:]:
        check_exe(t, path, imported)
    # An entry that no image checked against its list imports (with every
    # image of that system given).
    for list_name, names in sorted(imported.items()):
        for dll, function in sorted(read_list(os.path.join(HERE, list_name)).keys() - names):
            print(f"note: {list_name}: {dll} {function} is no longer imported")
    print(f"{t.passed} passed, {t.failed} failed")
    return 1 if t.failed else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
