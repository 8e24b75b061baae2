#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# The panel's views under Wayland: a headless weston of its own (pixman, so
# weston-screenshooter can read it back) with a 1024 x 600 output (or the size
# given), on which tst_shell's Wayland check opens the full view and looks at
# what shows. A manual check (weston and qt6-wayland are not needed otherwise).
#   wayland_views.sh BUILD_DIR [WIDTHxHEIGHT]
set -uo pipefail
build=$1 size=${2:-1024x600} work=$(mktemp -d)
trap 'kill $weston 2>/dev/null; wait 2>/dev/null; rm -rf "$work"' EXIT
export XDG_RUNTIME_DIR=$work WAYLAND_DISPLAY=orva-check QT_QPA_PLATFORM=wayland
chmod 700 "$work"
weston --backend=headless-backend.so --use-pixman --width="${size%x*}" --height="${size#*x}" \
    --socket="$WAYLAND_DISPLAY" --debug --idle-time=0 >"$work/weston.log" 2>&1 &
weston=$!
for _ in $(seq 100); do [ -S "$work/$WAYLAND_DISPLAY" ] && break; sleep 0.1; done
"$build/tst_shell" waylandFullViewWhole
