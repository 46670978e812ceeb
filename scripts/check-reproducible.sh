#!/bin/bash
# Builds the executable and the package's custom action DLL of a Windows
# preset (windows-x64 by default) a second time, from a copy of the sources
# in another folder into another build folder, and fails unless their bytes
# equal those of build/<preset>/: no time stamp and no folder may find its
# way into them.
set -eu
cd "$(dirname "$0")/.."
preset=${1:-windows-x64}
exe="app/Orvane設定ﾂｰﾙ.exe"
action="packaging/action/OrvaneSetupAction.dll"
test -f "build/$preset/$exe" && test -f "build/$preset/$action" || { echo "build $preset first"; exit 1; }
again=build/reproduce/$preset
rm -rf "$again"
mkdir -p "$again/source"
git ls-files -z | tar --null -T - -cf - | tar -xf - -C "$again/source"
(cd "$again/source" && cmake --preset "$preset" -B ../build >/dev/null &&
  cmake --build ../build --target netsetup setup_action >/dev/null)
for built in "$exe" "$action"; do
  if ! cmp "build/$preset/$built" "$again/build/$built"; then
    echo "$preset: two builds of the same sources differ"
    exit 1
  fi
  echo "$preset: two builds in different folders are byte for byte the same: $built" \
    "($(sha256sum <"$again/build/$built" | cut -c1-16)...)"
done
