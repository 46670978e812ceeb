#!/bin/bash
# Builds the executable of a Windows preset (windows-x64 by default) a second
# time, from a copy of the sources in another folder into another build
# folder, and fails unless its bytes equal those of build/<preset>/: no time
# stamp and no folder may find its way into the executable.
set -eu
cd "$(dirname "$0")/.."
preset=${1:-windows-x64}
exe="app/Orvane設定ﾂｰﾙ.exe"
test -f "build/$preset/$exe" || { echo "build $preset first"; exit 1; }
again=build/reproduce/$preset
rm -rf "$again"
mkdir -p "$again/source"
git ls-files -z | tar --null -T - -cf - | tar -xf - -C "$again/source"
(cd "$again/source" && cmake --preset "$preset" -B ../build >/dev/null && cmake --build ../build --target netsetup >/dev/null)
if ! cmp "build/$preset/$exe" "$again/build/$exe"; then
  echo "$preset: two builds of the same sources differ"
  exit 1
fi
echo "$preset: two builds in different folders are byte for byte the same ($(sha256sum <"$again/build/$exe" | cut -c1-16)...)"
