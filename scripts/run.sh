#!/bin/bash
# Sets up, builds and starts the tool under wine, in a private prefix under
# build/; given an executable (a release's, say), starts that one instead.
# Without a display it starts a virtual one, saves a picture of the dialog
# and closes the tool again, failing unless it ends as closed.
set -eu
given=${1:+$(realpath "$1")}
cd "$(dirname "$0")/.."
scripts/setup.sh
cmake --preset windows-x64 >/dev/null
cmake --build --preset windows-x64 --target netsetup e2e_driver
build=build/windows-x64
exe=${given:-"$build/app/Orvane設定ﾂｰﾙ.exe"}
prefix=$build/run-prefix
echo "Executables: $exe (and, after the test command, build/windows-x86/app/)"

if [ -n "${DISPLAY:-}" ]; then
  scripts/wine-desktop.sh "$prefix"
  exec scripts/wine-run.sh "$prefix" "$exe"
fi

display=90
while [ -e "/tmp/.X11-unix/X$display" ] || [ -e "/tmp/.X$display-lock" ]; do display=$((display + 1)); done
Xvfb ":$display" -screen 0 1024x768x24 >/dev/null 2>&1 &
xvfb=$!
trap 'WINEPREFIX=$(realpath "$prefix") wineserver -k 2>/dev/null; kill $xvfb' EXIT
export DISPLAY=":$display"
sleep 1
# No window manager: a virtual desktop as large as the screen draws the frame.
scripts/wine-desktop.sh "$prefix" 1024x768
scripts/wine-run.sh "$prefix" "$exe" &
tool=$!
read -r _ x y w h < <(scripts/wine-run.sh "$prefix" "$build/tests/e2e_driver.exe" wait rect | grep '^rect' | tr -d '\r')
shot=$build/screenshot.png
import -window root -crop "${w}x${h}+${x}+${y}" +repage "$shot"
scripts/wine-run.sh "$prefix" "$build/tests/e2e_driver.exe" wait click:2 gone >/dev/null
# Closed with Cancel: nothing changed, which the tool tells by status 1.
status=0
wait $tool || status=$?
[ $status = 1 ] || { echo "the tool ended with status $status, not 1"; exit 1; }
echo "No display: the dialog was shown on a virtual one, and its picture saved to $shot"
