#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Drives the real panel under Xvfb with real input (xdotool) over a real
# pseudo-terminal to the simulator, and checks what the simulator received.
#   e2e_panel.sh ORVA_CONTROL ORVA_PROJECTOR_SIM
. "${0%/*}/lib.sh"
sent_at_least() { [ "$(sent "$1")" -ge "$2" ]; }
click() { xdotool mousemove --window "$1" "$2" "$3" click 1; } # client pixels: twips / 15
"$sim" --com 5 --power-on --log >"$work/sim.log" 2>&1 & pids+=($!)
retry test -e "$XDG_CONFIG_HOME/ORVA/ports/COM5"

# Nothing stored: the COM PORT dialog comes first; COM5, then OK.
"$panel" >"$work/panel.log" 2>&1 & panel_pid=$! pids+=($!)
dialog=$(window "  COM PORT")
check "first start shows the COM PORT dialog" test -n "$dialog"
click "$dialog" 56 196 && click "$dialog" 160 108
main=$(window "ORVA   MV-TR58  CONTROL")
check "OK on COM5 shows the panel and stores it" grep -q "ComPort=5" "$XDG_CONFIG_HOME/ORVA/ORVA.conf"

xdotool windowfocus --sync "$main" 2>/dev/null; xdotool key --clearmodifiers ctrl+h
sleep 0.3
click "$main" 464 408
check "Ctrl+H, then STATUS sends CR0" retry sent_at_least 'CR0\r' 1

# A 1 s hold of VOL + with the right button repeats until the release.
xdotool mousemove --window "$main" 240 192 mousedown 3 sleep 1 mouseup 3 sleep 0.3
holds=$(sent 'C09\r')
check "a 1 s hold repeats ($holds sends)" test "$holds" -ge 6 -a "$holds" -le 13
sleep 0.3
check "nothing repeats after the release" test "$(sent 'C09\r')" -eq "$holds"

click "$main" 567 485
expand=$(window "Expand Read")
click "$expand" 484 28
check "the Expand Read console sends its first row" retry sent_at_least 'CR STATUS\r' 1

# END ends the program; a sanitizer build also fails it here on a leak.
click "$main" 648 332
status=running
retry bash -c "! kill -0 $panel_pid 2>/dev/null" && { wait "$panel_pid"; status=$?; }
check "END ends the program cleanly (status $status)" test "$status" = 0

# At twice the scale on this 1280 x 1024 screen the designed place of COM PORT
# (462, 315) would run off the right and the bottom: it is moved in, whole.
QT_SCALE_FACTOR=2 "$panel" >"$work/panel2.log" 2>&1 & pids+=($!)
main=$(window "ORVA   MV-TR58  CONTROL")
click "$main" 1150 664
dialog=$(window "  COM PORT")
eval "$(xdotool getwindowgeometry --shell "$dialog")"
check "at twice the scale COM PORT is whole on the screen (${X:-?},${Y:-?} ${WIDTH:-?}x${HEIGHT:-?})" \
    test $((${X:-9999} + ${WIDTH:-0})) -le 1280 -a $((${Y:-9999} + ${HEIGHT:-0})) -le 1024
[ "$failures" -eq 0 ]
