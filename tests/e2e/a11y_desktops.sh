#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Screenshots of every designed window (main, COM PORT, both consoles) under
# Xvfb on the simulator: with Qt's own look, with Qt's GTK theme in GTK's dark
# Adwaita and a 16-point GTK font, and with a qt6ct dark scheme and a 16-point
# font. Prints how many pixels differ from the first; all must be 0. A manual
# check, not run by CTest (it needs the GTK and qt6ct platform themes).
#   a11y_desktops.sh ORVA_CONTROL ORVA_PROJECTOR_SIM OUTDIR
set -uo pipefail
panel=$1 sim=$2 out=$3 work=$(mktemp -d) pids=() failures=0
trap 'kill "${pids[@]}" 2>/dev/null; wait 2>/dev/null; rm -rf "$work"' EXIT
retry() { for _ in $(seq 100); do "$@" && return 0; sleep 0.1; done; return 1; }
window() { retry xdotool search --name "$1" 2>/dev/null | head -1; }
click() { xdotool mousemove --window "$1" "$2" "$3" click 1; }
mkdir -p "$out"

for n in $(seq 200 239); do [ -e "/tmp/.X11-unix/X$n" ] || [ -e "/tmp/.X$n-lock" ] || break; done
Xvfb ":$n" -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 & pids+=($!)
export DISPLAY=:$n QT_QPA_PLATFORM=xcb XDG_CONFIG_HOME=$work/config
retry xdpyinfo >/dev/null 2>&1
mkdir -p "$XDG_CONFIG_HOME/ORVA" "$XDG_CONFIG_HOME/gtk-3.0" "$XDG_CONFIG_HOME/qt6ct"
printf '[Settings]\ngtk-font-name=DejaVu Sans 16\n' >"$XDG_CONFIG_HOME/gtk-3.0/settings.ini"
cat >"$XDG_CONFIG_HOME/qt6ct/qt6ct.conf" <<EOF
[Appearance]
color_scheme_path=/usr/share/qt6ct/colors/darker.conf
custom_palette=true
[Fonts]
general="DejaVu Sans,16,-1,5,50,0,0,0,0,0"
fixed="DejaVu Sans Mono,16,-1,5,50,0,0,0,0,0"
EOF
"$sim" --com 5 --power-on >/dev/null 2>&1 & pids+=($!)
retry test -e "$XDG_CONFIG_HOME/ORVA/ports/COM5"

shoot() { # DESKTOP [environment]: the four windows as DESKTOP-*.png
    local name=$1
    shift
    printf '[StartUP]\nComPort=5\nBaudRate=96\n' >"$XDG_CONFIG_HOME/ORVA/ORVA.conf"
    env "$@" "$panel" >/dev/null 2>&1 &
    local pid=$!
    main=$(window "ORVA   MV-TR58  CONTROL")
    xdotool mousemove --window "$main" 2 2 windowfocus --sync "$main" key ctrl+h 2>/dev/null
    sleep 0.5 && click "$main" 91 486 && click "$main" 567 485
    sleep 1 && click "$main" 576 332
    sleep 1 && xdotool mousemove 1279 1023
    for title in "ORVA   MV-TR58  CONTROL" "  COM PORT" "Basic  Command" "Expand Read"; do
        import -window "$(window "$title")" "$out/$name-${title// /}.png"
    done
    kill "$pid" && wait "$pid" 2>/dev/null
}
shoot qt
shoot gtk-dark QT_QPA_PLATFORMTHEME=gtk3 GTK_THEME=Adwaita:dark
shoot qt6ct-dark QT_QPA_PLATFORMTHEME=qt6ct
for f in "$out"/qt-*.png; do
    for desktop in gtk-dark qt6ct-dark; do
        other=${f/\/qt-//$desktop-}
        diff=$(compare -metric AE "$f" "$other" /dev/null 2>&1)
        echo "$(basename "$other"): $diff pixels differ"
        [ "$diff" = 0 ] || failures=$((failures + 1))
    done
done
[ "$failures" -eq 0 ]
