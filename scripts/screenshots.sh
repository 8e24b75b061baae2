#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Regenerates the README's pictures from the real program under Xvfb, talking
# to the simulator: the full view after a STATUS read, the COM PORT dialog and
# both consoles.   scripts/screenshots.sh [BUILD_DIR]
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$here/build}
out=$here/docs
mkdir -p "$out"
work=$(mktemp -d)
pids=()
cleanup() { for p in "${pids[@]}"; do kill "$p" 2>/dev/null || true; done; rm -rf "$work"; }
trap cleanup EXIT

export DISPLAY=:73 XDG_CONFIG_HOME=$work/config QT_QPA_PLATFORM=xcb
Xvfb "$DISPLAY" -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
pids+=($!)
sleep 1
mkdir -p "$XDG_CONFIG_HOME/ORVA"
printf '[StartUP]\nComPort=5\nBaudRate=96\n' >"$XDG_CONFIG_HOME/ORVA/ORVA.conf"
"$build/orva-projector-sim" --com 5 --power-on >/dev/null &
pids+=($!)
for _ in $(seq 50); do [ -e "$XDG_CONFIG_HOME/ORVA/ports/COM5" ] && break; sleep 0.1; done
"$build/orva-control" &
pids+=($!)

find_window() {
  for _ in $(seq 100); do
    xdotool search --name "$1" 2>/dev/null | head -1 && return 0
    sleep 0.1
  done
  echo "no window '$1'" >&2
  return 1
}
shot() { import -window "$1" "$out/$2"; echo "wrote docs/$2"; }

main=$(find_window "ORVA   MV-TR58")
xdotool windowfocus --sync "$main" 2>/dev/null || true
xdotool key --clearmodifiers ctrl+h
sleep 0.3
xdotool mousemove --window "$main" 464 408 click 1 # STATUS
sleep 0.3
shot "$main" full-view.png

xdotool mousemove --window "$main" 83 485 click 1 # Basic Command Table
basic=$(find_window "Basic  Command")
sleep 0.3
shot "$basic" basic-command.png
xdotool mousemove --window "$main" 567 485 click 1 # Expand Status Read Command
expand=$(find_window "Expand Read")
sleep 0.3
shot "$expand" expand-read.png

xdotool mousemove --window "$main" 575 332 click 1 # COM
dialog=$(find_window "  COM PORT")
sleep 0.3
shot "$dialog" com-port.png
