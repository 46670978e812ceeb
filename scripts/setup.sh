#!/bin/bash
# Installs what building, testing and releasing need, from Debian's packages.
# scripts/check-setup.sh proves that this list holds every command called.
set -eu
packages=(
  git cmake ninja-build g++ libgtest-dev libbenchmark-dev python3 valgrind clang-format clang-tidy
  clang-14 libclang-rt-14-dev llvm-14
  g++-mingw-w64-x86-64-win32 g++-mingw-w64-i686-win32 binutils-mingw-w64
  wine wine64 fonts-wine xvfb xdotool imagemagick locales-all fonts-ipafont-gothic
  osslsigncode openssl wixl msitools
)
if ! dpkg -s "${packages[@]}" >/dev/null 2>&1; then
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -q
  apt-get install -y -q --no-install-recommends "${packages[@]}"
fi
