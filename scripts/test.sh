#!/bin/bash
# Sets up, builds every preset and runs every test: natively, natively under
# ASan/UBSan, and on Windows under wine (unit and end-to-end tests); then the
# fuzz targets with a fixed seed, lint, memcheck, the executables' imports and
# reproducibility, the release folder (signed and unsigned, its zips and
# packages made twice alike), and the set-up list.
set -eu
cd "$(dirname "$0")/.."
scripts/setup.sh
for preset in native native-asan windows-x64 windows-x86; do
  echo "== $preset"
  cmake --workflow --preset "$preset"
done
echo "== fuzzing: the corpus replayed, then a fixed seed"
scripts/fuzz.sh --fixed
echo "== lint"
scripts/lint.sh
echo "== valgrind (memcheck) on the native unit tests"
valgrind -q --error-exitcode=1 --leak-check=full --errors-for-leak-kinds=definite,indirect,possible \
  build/native/tests/unit_tests --gtest_brief=1
# The 32-bit build cannot run here; its headers and imports are checked all the same.
python3 tests/res/check_imports.py "build/windows-x86/app/Orvane設定ﾂｰﾙ.exe" build/windows-x86/packaging/action/OrvaneSetupAction.dll
echo "== reproducible: each executable built again elsewhere, compared byte for byte"
scripts/check-reproducible.sh windows-x64
scripts/check-reproducible.sh windows-x86
echo "== release, signed with a throwaway certificate: the signature verifies, the signed executable runs"
certificate=build/test-certificate
scripts/test-certificate.sh "$certificate" throwaway
NETSETUP_SIGN_PKCS12=$certificate/signer.p12 NETSETUP_SIGN_PASSWORD=throwaway scripts/release.sh
python3 tests/release/check_dist.py dist build "$certificate/ca.pem"
env -u DISPLAY scripts/run.sh "build/signed/x64/Orvane設定ﾂｰﾙ.exe"
echo "== release without a certificate: dist/ as an administrator gets it"
scripts/release.sh
python3 tests/release/check_dist.py dist build
echo "== reproducible: the zips and the packages made again are byte for byte the same"
exe="app/Orvane設定ﾂｰﾙ.exe"
action="packaging/action/OrvaneSetupAction.dll"
rm -rf build/dist-again
python3 scripts/make_dist.py build/dist-again packaging/detect.ps1 "x64=build/windows-x64/$exe,build/windows-x64/$action" \
  "x86=build/windows-x86/$exe,build/windows-x86/$action" >/dev/null
for made in dist/*.zip dist/*.msi; do cmp "$made" "build/dist-again/$(basename "$made")"; done
echo "== set-up: every command called comes with scripts/setup.sh"
scripts/check-setup.sh
