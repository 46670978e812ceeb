#!/bin/bash
# clang-format and clang-tidy over the product code (native build's sources).
set -eu
cd "$(dirname "$0")/.."
sources=$(git ls-files '*.cpp' '*.h' | grep -v -E '^(fuzz|bench)/')
clang-format --dry-run --Werror $sources
test -f build/native/compile_commands.json || cmake --preset native >/dev/null
clang-tidy -quiet -p build/native $(git ls-files 'platform/*.cpp' 'hosts/*.cpp' 'proxy/*.cpp' | grep -v '/win/') app/Action.cpp 2> >(grep -v 'warnings generated' >&2)
echo "lint: clean"
