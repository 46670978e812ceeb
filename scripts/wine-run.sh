#!/bin/bash
# Runs a Windows program under wine64 in a private prefix (first argument),
# making the prefix on first use. Never touches the user's own ~/.wine.
# WINE_RUN_OVERRIDES adds to wine's DLL overrides (a test's own).
set -u
prefix=$(realpath -m "$1"); shift
export WINEPREFIX=$prefix WINEARCH=win64 LANG=ja_JP.UTF-8 LC_ALL=ja_JP.UTF-8
export WINEDLLOVERRIDES="mscoree,mshtml=${WINE_RUN_OVERRIDES:+;$WINE_RUN_OVERRIDES}" WINEDEBUG=${WINEDEBUG:--all}
mkdir -p "$(dirname "$prefix")"
(
  flock 9
  if [ ! -f "$prefix/system.reg" ]; then
    wineboot -i >/dev/null 2>&1 </dev/null 9>&-
    # The dialogs ask for this face; show them in the nearest installed one.
    wine reg add 'HKLM\Software\Microsoft\Windows NT\CurrentVersion\FontSubstitutes' \
      /v 'ＭＳ Ｐゴシック' /t REG_SZ /d IPAPGothic /f >/dev/null 2>&1 </dev/null 9>&-
  fi
  # A lasting server and its services, started apart from our output and
  # from the lock, which they would otherwise hold for as long as they live.
  wineserver -p 60 >/dev/null 2>&1 </dev/null 9>&-
  wineboot >/dev/null 2>&1 </dev/null 9>&-
) 9>"$prefix.lock"
# Wine's background processes inherit the program's output: send it through a
# file, so that whoever reads our output sees its end when the program ends.
out=$(mktemp)
trap 'rm -f "$out"' EXIT
wine "$@" >"$out" 2>&1 </dev/null
status=$?
cat "$out"
exit $status
