#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Under a headless weston of its own (pixman, so weston-screenshooter reads
# it back), the panel must be placed where its full view (507 px of client
# area) fits on the output, as a compositor keeps a window's top-left corner
# as it grows. Its client area is its grey, #C0C0C0, on the shot (an erosion
# drops the wallpaper's stray ones). Manual: it needs weston and qt6-wayland.
#   wayland_views.sh ORVA_CONTROL ORVA_PROJECTOR_SIM [WIDTHxHEIGHT]
set -uo pipefail
panel=$1 sim=$2 size=${3:-1024x600} work=$(mktemp -d) pids=()
trap 'kill "${pids[@]}" 2>/dev/null; wait 2>/dev/null; rm -rf "$work"' EXIT
export XDG_RUNTIME_DIR=$work WAYLAND_DISPLAY=orva-check XDG_CONFIG_HOME=$work/config QT_QPA_PLATFORM=wayland
chmod 700 "$work" && mkdir -p "$XDG_CONFIG_HOME/ORVA" "$work/shots"
printf '[StartUP]\nComPort=5\nBaudRate=96\n' >"$XDG_CONFIG_HOME/ORVA/ORVA.conf"
weston --backend=headless-backend.so --use-pixman --width="${size%x*}" --height="${size#*x}" \
    --socket="$WAYLAND_DISPLAY" --debug --idle-time=0 >"$work/weston.log" 2>&1 & pids+=($!)
"$sim" --com 5 --power-on >/dev/null 2>&1 & pids+=($!)
for _ in $(seq 50); do [ -e "$XDG_CONFIG_HOME/ORVA/ports/COM5" ] && break; sleep 0.1; done
"$panel" >"$work/panel.log" 2>&1 & pids+=($!)
for _ in $(seq 20); do
    sleep 0.5
    rm -f "$work"/shots/* && (cd "$work/shots" && weston-screenshooter) &&
        read -r height top < <(convert "$work"/shots/*.png -fill black +opaque '#C0C0C0' \
            -morphology Erode Square:1 -trim -format '%h %Y\n' info: 2>/dev/null | tr -d +)
    [ "${height:-0}" -ge 300 ] && break # the collapsed view, 353 px less the erosion
done
bottom=$((${top:-9999} - 1 + 507))
if [ "$bottom" -le "${size#*x}" ]; then
    echo "PASS: the full view fits where the window was placed (its client area from ${top} to $bottom)"
else
    echo "FAIL: the full view would run off the output (client area from ${top:-?} to $bottom of ${size#*x})"
    exit 1
fi
