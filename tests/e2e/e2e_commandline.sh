#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# The command line with no display at all: help, version and usage errors of
# both programs, and `orva-control --send` against the simulator on a real
# pseudo-terminal: an answer, a reply in pieces and ports that do not exist. Then under Xvfb: the panel on a --port of its own,
# one that will not open, and at twice the scale on a 1280 x 1024 screen.
#   e2e_commandline.sh ORVA_CONTROL ORVA_PROJECTOR_SIM
panel=$1 sim=$2
source "$(dirname "$0")/base.sh"
unset DISPLAY WAYLAND_DISPLAY QT_QPA_PLATFORM

# run NAME PROGRAM ARGS...: exit code in $work/NAME.rc, output in NAME.out and NAME.err.
run() {
    local name=$1
    shift
    "$@" >"$work/$name.out" 2>"$work/$name.err"
    echo $? >"$work/$name.rc"
}
# ends NAME CODE STDOUT-LINE STDERR-LINE: the exit code, and a whole line of each stream
# ("" for a stream that must stay empty).
ends() {
    [ "$(cat "$work/$1.rc")" = "$2" ] || return 1
    if [ -n "$3" ]; then grep -qxF -- "$3" "$work/$1.out"; else [ ! -s "$work/$1.out" ]; fi || return 1
    if [ -n "$4" ]; then grep -qxF -- "$4" "$work/$1.err"; else [ ! -s "$work/$1.err" ]; fi
}

run help "$panel" --help
check "--help: usage on stdout, 0, no display" \
    ends help 0 "Usage: orva-control [--port COMn] [--rate 9600|19200] [--send TEXT]" ""
run version "$sim" --version
check "simulator --version: 0" ends version 0 "orva-projector-sim $(sed 's/.* //' <<<"$("$panel" -v)")" ""
run bogus "$panel" --bogus
check "unknown option: 2, on stderr only" ends bogus 2 "" "orva-control: Unknown option 'bogus'."
run simcom "$sim" --com 16
check "simulator --com 16: 2" ends simcom 2 "" "orva-projector-sim: --com wants 1 to 15, not '16'"
run simboth "$sim" --com 5 --link "$work/p"
check "simulator --com and --link: 2" ends simboth 2 "" "orva-projector-sim: give --link or --com, not both"

start_sim() { # start_sim N OPTIONS...: a simulator reachable as COM N
    "$sim" --com "$@" >"$work/sim$1.log" 2>&1 &
    pids+=($!)
    retry test -e "$XDG_CONFIG_HOME/ORVA/ports/.COM$1.sim"
}
start_sim 5 --power-on --log
start_sim 6 --power-on --split 3 --split-gap 300

run answer "$panel" --send CR0 --port COM5
check "--send CR0: trace, STATUS, 0" ends answer 0 "STATUS: Power ON" ""
printf '[StartUP]\nComPort=6\nBaudRate=96\n' >"$XDG_CONFIG_HOME/ORVA/ORVA.conf"
run pieces "$panel" --send "CR LAMPSTS"
check "the stored port; a reply in three pieces over 600 ms is read whole" \
    ends pieces 0 "RxD: 0 0 0   1 I  [CR] " ""
ln -s "$work/gone" "$XDG_CONFIG_HOME/ORVA/ports/COM9"
run missing "$panel" --send C00 --port 9
check "a port that does not exist: 2, reason and cure" \
    ends missing 2 "" "COM9 ($XDG_CONFIG_HOME/ORVA/ports/COM9 → $work/gone) does not exist: is the adapter plugged in?"
rm "$XDG_CONFIG_HOME/ORVA/ORVA.conf"
run unset "$panel" --send C00
check "no port stored or given: 2" \
    ends unset 2 "" "orva-control: no port chosen: give --port COMn, or choose one in COM PORT"

# --- The panel on a display -----------------------------------------------------
Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp -noreset 3>"$work/display" >/dev/null 2>&1 & # no reset when the last panel ends, or the next is refused meanwhile
pids+=($!)
retry test -s "$work/display"
export DISPLAY=:$(cat "$work/display") QT_QPA_PLATFORM=xcb
window() { retry xdotool search --onlyvisible --name "$1" 2>/dev/null | head -1; }
printf '[StartUP]\nComPort=6\nBaudRate=96\n' >"$XDG_CONFIG_HOME/ORVA/ORVA.conf"
cp "$XDG_CONFIG_HOME/ORVA/ORVA.conf" "$work/stored"

"$panel" --port COM5 & panel_pid=$! pids+=($!)
main=$(window "ORVA   MV-TR58  CONTROL")
check "--port COM5: the panel opens on it, no dialog" test -n "$main"
xdotool mousemove --window "$main" 40 50 click 1 # POWER ON
check "--port COM5: a button sends there" retry grep -qxF 'C00\r' "$work/sim5.log"
kill "$panel_pid" && wait "$panel_pid" 2>/dev/null
check "--port leaves the stored choice as it was" cmp -s "$work/stored" "$XDG_CONFIG_HOME/ORVA/ORVA.conf"

"$panel" -p 9 & panel_pid=$! pids+=($!)
check "--port that does not open: COM PORT dialog" test -n "$(window "  COM PORT")"
check "and the retry box with the reason" test -n "$(window "^Error$")"
kill "$panel_pid" && wait "$panel_pid" 2>/dev/null

# Twice the scale: the full view (1384 x 1014 pixels) is wider than the screen.
QT_SCALE_FACTOR=2 "$panel" --port COM5 & panel_pid=$! pids+=($!)
main=$(window "ORVA   MV-TR58  CONTROL")
xdotool windowfocus --sync "$main" 2>/dev/null; xdotool key --clearmodifiers ctrl+h
on_screen() {
    eval "$(xdotool getwindowgeometry --shell "$main")"
    [ "$HEIGHT" -ge 1000 ] && [ "$X" -ge 0 ] && [ "$Y" -ge 0 ] && [ $((Y + HEIGHT)) -le 1024 ]
}
check "2x, full view: the top-left corner and the lowest row on the screen" retry on_screen
kill "$panel_pid" && wait "$panel_pid" 2>/dev/null

echo "e2e_commandline: $failures failed"
[ "$failures" -eq 0 ]
