#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# The line pulled and plugged back, on the real programs: the simulator hangs
# up after one command, COM5 stays a link that leads nowhere, a new simulator
# at the same link is reopened by the panel without a click, and SIGTERM ends
# the panel with its lock file gone.
#   e2e_replug.sh ORVA_CONTROL ORVA_PROJECTOR_SIM SHOT_DIR
. "${0%/*}/lib.sh"
printf '[StartUP]\nComPort=5\nBaudRate=96\n' >"$XDG_CONFIG_HOME/ORVA/ORVA.conf"
link=$XDG_CONFIG_HOME/ORVA/ports/COM5
start_sim() { "$sim" --com 5 --power-on --log "${@:2}" >"$1" 2>&1 & pids+=($!); retry grep -q listening "$1"; }

start_sim "$work/sim1.log" --hangup-after 1
"$panel" >"$work/panel.log" 2>&1 & panel_pid=$! pids+=($!)
main=$(window "ORVA   MV-TR58  CONTROL")
xdotool mousemove --window "$main" 40 50 click 1
check "the simulator hangs up after ON" retry grep -q "hung up" "$work/sim1.log"
kill "${pids[-2]}"
check "COM5 stays a link when the simulator ends" retry test -L "$link" -a ! -e "$link"
import -window root "$shots/e2e-port-lost.png"
start_sim "$work/sim2.log"
pty=$(sed -n 's/.*listening on \([^,]*\).*/\1/p' "$work/sim2.log")
dev=${pty#/dev/} && lock=/var/lock/LCK..${dev//\//_}
check "the panel reopens COM5 by itself" retry test -e "$lock"
xdotool mousemove --window "$main" 40 50 click 1
check "ON goes to the new simulator" retry grep -q -x -F 'C00\r' "$work/sim2.log"
kill -TERM "$panel_pid"
check "SIGTERM ends the panel" retry bash -c "! kill -0 $panel_pid 2>/dev/null"
check "and leaves no lock file" test ! -e "$lock"
[ "$failures" -eq 0 ]
