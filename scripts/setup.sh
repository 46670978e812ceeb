#!/bin/bash
# Installs what building and testing need, from Debian's packages.
set -eu
packages=(
  cmake ninja-build g++ libgtest-dev libbenchmark-dev python3 valgrind clang-format clang-tidy
  clang-14 libclang-rt-14-dev
  g++-mingw-w64-x86-64-win32 g++-mingw-w64-i686-win32 binutils-mingw-w64
  wine64 xvfb xdotool imagemagick locales-all fonts-ipafont-gothic
)
if ! dpkg -s "${packages[@]}" >/dev/null 2>&1; then
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -q
  apt-get install -y -q --no-install-recommends "${packages[@]}"
fi
