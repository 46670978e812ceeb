#!/bin/bash
# Sets up, builds every preset and runs every test: natively, natively under
# ASan/UBSan, and on Windows under wine (unit and end-to-end tests).
set -eu
cd "$(dirname "$0")/.."
scripts/setup.sh
for preset in native native-asan windows-x64 windows-x86; do
  echo "== $preset"
  cmake --workflow --preset "$preset"
done
echo "== fuzzing"
FUZZ_SECONDS=${FUZZ_SECONDS:-60} scripts/fuzz.sh
echo "== lint"
scripts/lint.sh
echo "== valgrind (memcheck) on the native unit tests"
valgrind -q --error-exitcode=1 --leak-check=full --errors-for-leak-kinds=definite,indirect,possible \
  build/native/tests/unit_tests --gtest_brief=1
# The 32-bit build cannot run here; its header and imports are checked all the same.
python3 tests/res/check_imports.py "build/windows-x86/app/Orvane設定ﾂｰﾙ.exe"
