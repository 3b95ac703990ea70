#!/usr/bin/env bash
# Builds Duomira.exe and starts it under Wine with one picked path, as the
# Explorer menu entry does. Call it once with a first path (the window waits at
# the top right), then again with a second path to start the comparison.
#   scripts/run.sh 'C:\windows\win.ini'
#   scripts/run.sh 'C:\windows\system.ini'
# The comparison opens in meld: the demo prefix stores bridges to meld and to
# GNU diff as the tool paths, unless tool paths are stored there already
# (scripts/demo/setup-prefix.sh).
set -euo pipefail
cd "$(dirname "$0")/.."

if [ $# -ne 1 ]; then
  echo "usage: $0 PATH   (a Windows path such as 'C:\\windows\\win.ini')" >&2
  exit 2
fi

scripts/install-deps.sh meld
cmake --preset windows >/dev/null
cmake --build --preset windows --target Duomira >/dev/null

WINEPREFIX=$(realpath -m "${WINEPREFIX:-$HOME/.local/share/duomira/wineprefix}")
export WINEPREFIX
export WINEDEBUG="${WINEDEBUG:--all}" WINEDLLOVERRIDES="${WINEDLLOVERRIDES:-mscoree=;mshtml=}"
export LANG=ja_JP.UTF-8 LC_ALL=ja_JP.UTF-8

if [ -z "${DISPLAY:-}" ]; then
  # No display: use a virtual one, shared by later calls of this script.
  export DISPLAY=:87
  if ! xdpyinfo -display "$DISPLAY" >/dev/null 2>&1 && [ ! -e /tmp/.X11-unix/X87 ]; then
    nohup Xvfb "$DISPLAY" -screen 0 1920x1080x24 >/dev/null 2>&1 &
    sleep 1
  fi
  echo "No DISPLAY was set: running on the virtual display $DISPLAY (screenshot: import -display $DISPLAY -window root shot.png)"
fi

if [ ! -d "$WINEPREFIX" ]; then
  mkdir -p "$(dirname "$WINEPREFIX")"
  wineboot -i >/dev/null 2>&1
fi
scripts/demo/setup-prefix.sh

# The program ends by itself: a first start waits for the second pick (or for
# its window to be closed); a second start launches the tool and ends. It runs
# in C:\demo, where the FC script writes diff_tmp.bat and diff_tmp.txt.
exe=$PWD/build/windows/Duomira.exe
cd "$WINEPREFIX/drive_c/demo"
nohup wine "$exe" "$1" >/dev/null 2>&1 &
echo "Started Duomira.exe with: $1"
