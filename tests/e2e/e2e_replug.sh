#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# The line pulled and plugged back, on the real programs: the simulator hangs
# up after one command, COM5 stays a link that leads nowhere, a new simulator
# at the same link is reopened by the panel without a click, and SIGTERM ends
# the panel with its lock file gone.
#   e2e_replug.sh ORVA_CONTROL ORVA_PROJECTOR_SIM SHOT_DIR
set -uo pipefail
panel=$1 sim=$2 shots=${3:-/tmp} work=$(mktemp -d) pids=() failures=0
trap 'kill "${pids[@]}" 2>/dev/null; wait 2>/dev/null; rm -rf "$work"' EXIT
check() { if "${@:2}"; then echo "PASS: $1"; else echo "FAIL: $1"; failures=$((failures + 1)); fi; }
until_true() { for _ in $(seq 50); do "$@" && return 0; sleep 0.1; done; return 1; }
for n in $(seq 200 259); do [ -e "/tmp/.X11-unix/X$n" ] || [ -e "/tmp/.X$n-lock" ] || break; done
Xvfb ":$n" -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 &
pids+=($!)
export DISPLAY=:$n XDG_CONFIG_HOME=$work/config QT_QPA_PLATFORM=xcb
until_true xdpyinfo >/dev/null 2>&1
mkdir -p "$XDG_CONFIG_HOME/ORVA" "$shots"
printf '[StartUP]\nComPort=5\nBaudRate=96\n' >"$XDG_CONFIG_HOME/ORVA/ORVA.conf"
link=$XDG_CONFIG_HOME/ORVA/ports/COM5
start_sim() { "$sim" --com 5 --power-on --log "${@:2}" >"$1" 2>&1 & pids+=($!); until_true grep -q listening "$1"; }

start_sim "$work/sim1.log" --hangup-after 1
"$panel" >"$work/panel.log" 2>&1 &
panel_pid=$!
pids+=($panel_pid)
main=$(until_true xdotool search --name "ORVA   MV-TR58  CONTROL" | head -1)
xdotool mousemove --window "$main" 40 50 click 1
check "the simulator hangs up after ON" until_true grep -q "hung up" "$work/sim1.log"
kill "${pids[-2]}"
check "COM5 stays a link when the simulator ends" until_true test -L "$link" -a ! -e "$link"
import -window root "$shots/e2e-port-lost.png"
start_sim "$work/sim2.log"
pty=$(sed -n 's/.*listening on \([^,]*\).*/\1/p' "$work/sim2.log")
dev=${pty#/dev/} && lock=/var/lock/LCK..${dev//\//_}
check "the panel reopens COM5 by itself" until_true test -e "$lock"
xdotool mousemove --window "$main" 40 50 click 1
check "ON goes to the new simulator" until_true grep -q -x -F 'C00\r' "$work/sim2.log"
kill -TERM "$panel_pid"
check "SIGTERM ends the panel" until_true bash -c "! kill -0 $panel_pid 2>/dev/null"
check "and leaves no lock file" test ! -e "$lock"
[ "$failures" -eq 0 ]
