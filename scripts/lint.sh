#!/bin/bash
# clang-format over every C++ source of the tree. clang-tidy over what ships,
# as it ships: every source of the Windows executable and of the package's
# custom action DLL, with the mingw target and the mingw headers of the
# windows-x64 build; then over the fake of Windows that the native builds of
# the tests run on, natively.
set -eu
cd "$(dirname "$0")/.."
clang-format --dry-run --Werror $(git ls-files '*.cpp' '*.h')

# clang-tidy on the files read from standard input, a few at a time on
# every core; the arguments go before them.
tidy() { xargs -P "$(nproc)" -n 3 clang-tidy -quiet "$@" 2> >(grep -v 'warnings generated' >&2); }

windows=build/windows-x64
test -f $windows/compile_commands.json || cmake --preset windows-x64 >/dev/null
# The compiler the build uses, and the folders of its C++ library and of
# the Windows headers; not its own builtin headers, which clang has its own of.
compiler=$(python3 -c 'import json, sys; print(json.load(sys.stdin)[0]["command"].split()[0])' <$windows/compile_commands.json)
target=$(basename "$compiler" | grep -oE '^[a-z0-9_]+-w64-mingw32')
headers=()
for folder in $("$compiler" -E -x c++ -v - </dev/null 2>&1 | sed -n '/^#include <...>/,/^End of search list/{/^ /p}' |
                xargs -n1 realpath | grep -v '/lib/gcc/.*/include\(-fixed\)\?$'); do
  headers+=(--extra-arg=-isystem"$folder")
done
git ls-files 'platform/*.cpp' 'deployment/*.cpp' 'hosts/*.cpp' 'proxy/*.cpp' 'users/*.cpp' 'app/*.cpp' 'packaging/*.cpp' |
  tidy -p $windows --extra-arg=--target="$target" --extra-arg=-nostdinc++ "${headers[@]}"

test -f build/native/compile_commands.json || cmake --preset native >/dev/null
git ls-files 'tests/fakewin/*.cpp' | tidy -p build/native
echo "lint: clean"
