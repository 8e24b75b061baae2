#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Regenerates the README's pictures from the real program under Xvfb, talking
# to the simulator: the full view after a STATUS read, the COM PORT dialog and
# both consoles.   scripts/screenshots.sh [BUILD_DIR [OUT_DIR]]
# OUT_DIR is docs/ unless given; tests/docs_pictures.sh gives a folder of its own.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$here/build}
out=${2:-$here/docs}
mkdir -p "$out"
work=$(mktemp -d)
pids=()
# The panel first, Xvfb last, so nothing is left talking to a display gone.
cleanup() {
  for ((i = ${#pids[@]} - 1; i >= 0; i--)); do kill "${pids[i]}" 2>/dev/null || true; wait "${pids[i]}" 2>/dev/null; done
  rm -rf "$work"
}
trap cleanup EXIT

# The pictures are those of a plain X session: no desktop's theme, style,
# scale or font settings reach the program.
unset XDG_CURRENT_DESKTOP DESKTOP_SESSION GTK_THEME QT_QPA_PLATFORMTHEME QT_STYLE_OVERRIDE \
    QT_SCALE_FACTOR QT_SCREEN_SCALE_FACTORS QT_FONT_DPI QT_ENABLE_HIGHDPI_SCALING
# Xvfb takes a free display itself and names it once it accepts clients.
Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$work/display" >/dev/null 2>&1 &
pids+=($!)
for _ in $(seq 100); do [ -s "$work/display" ] && break; sleep 0.1; done
export DISPLAY=:$(cat "$work/display") XDG_CONFIG_HOME=$work/config QT_QPA_PLATFORM=xcb \
    XDG_RUNTIME_DIR=$work/runtime
mkdir -m 700 "$XDG_RUNTIME_DIR"
mkdir -p "$XDG_CONFIG_HOME/ORVA"
printf '[StartUP]\nComPort=5\nBaudRate=96\n' >"$XDG_CONFIG_HOME/ORVA/ORVA.conf"
"$build/orva-projector-sim" --com 5 --power-on >/dev/null &
pids+=($!)
for _ in $(seq 50); do [ -e "$XDG_CONFIG_HOME/ORVA/ports/COM5" ] && break; sleep 0.1; done
"$build/orva-control" &
pids+=($!)

find_window() {
  for _ in $(seq 100); do
    xdotool search --onlyvisible --name "$1" 2>/dev/null | head -1 && return 0
    sleep 0.1
  done
  echo "no window '$1'" >&2
  return 1
}
# The pointer is parked where no window is, so no tooltip or hover shows.
shot() {
  xdotool mousemove 1023 767
  sleep 0.3
  import -window "$1" "$out/$2"
  echo "wrote $out/$2"
}

main=$(find_window "ORVA   MV-TR58")
xdotool windowfocus --sync "$main" 2>/dev/null || true
xdotool key --clearmodifiers ctrl+h
sleep 0.3
xdotool mousemove --window "$main" 464 408 click 1 # STATUS
sleep 0.2
import -window "$main" "$out/full-view.png" # within the second the answer shows
echo "wrote $out/full-view.png"

xdotool mousemove --window "$main" 83 485 click 1 # Basic Command Table
basic=$(find_window "Basic  Command")
shot "$basic" basic-command.png
xdotool mousemove --window "$main" 567 485 click 1 # Expand Status Read Command
expand=$(find_window "Expand Read")
shot "$expand" expand-read.png

xdotool mousemove --window "$main" 575 332 click 1 # COM
dialog=$(find_window "  COM PORT")
# The text cursor of the OTHER box blinks; with the keyboard in the main
# window the dialog shows it never, and looks the same otherwise.
sleep 0.3
xdotool windowfocus --sync "$main" 2>/dev/null || true
shot "$dialog" com-port.png
