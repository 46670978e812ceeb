#!/bin/bash
# Runs every program of a wine prefix (first argument) in a virtual desktop
# of the given size (second argument, e.g. 1024x768), or, without a size, in
# windows of the display's own again. In a virtual desktop wine draws the
# windows' frames itself (caption, system menu, close box): on a bare X
# server nobody else does. Stops the prefix's server, so that the next
# program starts the desktop anew.
set -eu
here=$(dirname "$0")
prefix=$1 size=${2:-}
key='HKCU\Software\Wine\Explorer'
if [ -n "$size" ]; then
  "$here/wine-run.sh" "$prefix" reg add "$key" /v Desktop /d Default /f >/dev/null
  "$here/wine-run.sh" "$prefix" reg add "$key\\Desktops" /v Default /d "$size" /f >/dev/null
  # The caption buttons' font; this wine does not look for it where Debian
  # puts it.
  cp /usr/share/wine/fonts/marlett.ttf "$prefix/drive_c/windows/Fonts/"
else
  "$here/wine-run.sh" "$prefix" reg delete "$key" /v Desktop /f >/dev/null 2>&1 || true
fi
export WINEPREFIX
WINEPREFIX=$(realpath "$prefix")
wineserver -k 2>/dev/null || true
wineserver -w
