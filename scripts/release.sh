#!/bin/bash
# Sets up, builds both Windows executables in release mode and makes dist/:
# a zip per architecture (the executable and a readme for administrators)
# and SHA256SUMS. The version is that of the version record, res/NetSetup.rc.
set -eu
cd "$(dirname "$0")/.."
scripts/setup.sh
exe="app/Orvane設定ﾂｰﾙ.exe"
for preset in windows-x64 windows-x86; do
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset" --target netsetup
done
rm -rf dist
python3 scripts/make_dist.py dist x64="build/windows-x64/$exe" x86="build/windows-x86/$exe"
(cd dist && sha256sum -c SHA256SUMS)
