#!/bin/bash
# Runs a Windows program under wine64 in a private prefix (first argument),
# making the prefix on first use. Never touches the user's own ~/.wine.
set -eu
prefix=$1; shift
export WINEPREFIX=$prefix WINEARCH=win64 LANG=ja_JP.UTF-8 LC_ALL=ja_JP.UTF-8
export WINEDLLOVERRIDES="mscoree,mshtml=" WINEDEBUG=${WINEDEBUG:--all}
mkdir -p "$(dirname "$prefix")"
(
  flock 9
  if [ ! -f "$prefix/system.reg" ]; then
    wineboot -i >/dev/null 2>&1
    wineserver -w
  fi
) 9>"$prefix.lock"
wineserver -p 30 >/dev/null 2>&1 || true
exec wine "$@"
