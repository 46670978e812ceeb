#!/bin/bash
# Sets up, builds both Windows executables in release mode and makes dist/:
# a zip per architecture (the executable, a readme for administrators, the
# deployment systems' scripts), a Windows Installer package per
# architecture, and SHA256SUMS. The version is that of the version record,
# res/NetSetup.rc.
#
# Signed with Authenticode when a certificate is given:
#   NETSETUP_SIGN_PKCS12     a PKCS#12 file (.p12, .pfx) with the signing key,
#                            its certificate and the chain up to the root
#   NETSETUP_SIGN_PASSWORD   that file's password (empty when unset)
#   NETSETUP_SIGN_TIMESTAMP  optional: an RFC 3161 time-stamp server's URL, so
#                            that the signature outlives the certificate
# Without NETSETUP_SIGN_PKCS12 the executables, the detection script and the
# packages are released unsigned. Only copies are signed (build/signed/);
# the build's own stay as built.
set -eu
# A relative path is the caller's: made whole before the change of folder.
[ -z "${NETSETUP_SIGN_PKCS12:-}" ] || NETSETUP_SIGN_PKCS12=$(realpath "$NETSETUP_SIGN_PKCS12")
cd "$(dirname "$0")/.."
scripts/setup.sh
exe="app/Orvane設定ﾂｰﾙ.exe"
action="packaging/action/OrvaneSetupAction.dll"
for preset in windows-x64 windows-x86; do
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset" --target netsetup setup_action
done

# sign IN OUT: OUT is IN with an Authenticode signature (SHA-256). The
# password goes through a file of our own, never on a command line; an
# empty one is given by giving none.
sign() {
  local options=(-pkcs12 "$NETSETUP_SIGN_PKCS12" -h sha256)
  [ -z "${NETSETUP_SIGN_PASSWORD:-}" ] || options+=(-readpass "$password")
  [ -z "${NETSETUP_SIGN_TIMESTAMP:-}" ] || options+=(-ts "$NETSETUP_SIGN_TIMESTAMP")
  rm -f "$2"
  osslsigncode sign "${options[@]}" -in "$1" -out "$2" >/dev/null
}

signed=build/signed
rm -rf "$signed"
if [ -n "${NETSETUP_SIGN_PKCS12:-}" ]; then
  password=$(mktemp)
  trap 'rm -f "$password"' EXIT
  printf '%s' "${NETSETUP_SIGN_PASSWORD:-}" >"$password"
fi
programs=()
for arch in x64 x86; do
  program="build/windows-$arch/$exe"
  if [ -n "${NETSETUP_SIGN_PKCS12:-}" ]; then
    mkdir -p "$signed/$arch"
    sign "$program" "$signed/$arch/$(basename "$exe")"
    program="$signed/$arch/$(basename "$exe")"
    echo "signed: $program"
  fi
  # The package's DLL goes unsigned into the package, which is signed whole.
  programs+=("$arch=$program,build/windows-$arch/$action")
done
detect=packaging/detect.ps1
if [ -n "${NETSETUP_SIGN_PKCS12:-}" ]; then
  sign "$detect" "$signed/detect.ps1"
  detect="$signed/detect.ps1"
fi
rm -rf dist
python3 scripts/make_dist.py dist "$detect" "${programs[@]}"
if [ -n "${NETSETUP_SIGN_PKCS12:-}" ]; then
  for package in dist/*.msi; do
    sign "$package" "$package.signed"
    mv "$package.signed" "$package"
    echo "signed: $package"
  done
fi
(cd dist && sha256sum -- *.zip *.msi >SHA256SUMS && sha256sum -c SHA256SUMS)
