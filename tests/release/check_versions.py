#!/usr/bin/env python3
"""Checks the release's rule for version numbers (scripts/make_dist.py):
Windows Installer compares only the first three fields, so a version that
differs from a released one in its fourth field alone is refused; any other
is taken, the last released one again included.
Prints "N passed, M failed"; exits 1 on any failure.
"""
import os
import sys

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "scripts"))
import make_dist  # noqa: E402

# (version, released, taken)
CASES = [
    ("3.2.0.0", ["3.2.0.0"], True),
    ("3.2.0.1", ["3.2.0.0"], False),
    ("3.2.1.0", ["3.2.0.0"], True),
    ("3.3.0.0", ["3.2.0.0"], True),
    ("3.2.0.7", ["3.2.0.0", "3.3.0.0"], False),
    ("3.3.0.0", ["3.2.0.0", "3.3.0.0"], True),
]


def record(version):
    fields = version.replace(".", ",")
    return f'FILEVERSION {fields}\n VALUE "FileVersion", "{version.replace(".", ", ")}"\n'


def main():
    passed = failed = 0
    for version, released, taken in CASES:
        try:
            ok = make_dist.version(record(version), released) == version
        except SystemExit:
            ok = False
        if ok == taken:
            passed += 1
        else:
            failed += 1
            print(f"FAIL: {version} after {released}: {'refused' if taken else 'taken'}")
    print(f"{passed} passed, {failed} failed")
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
