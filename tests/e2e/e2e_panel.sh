#!/usr/bin/env bash
# Drives the real panel under Xvfb with real input (xdotool) over a real
# pseudo-terminal, with the simulator on the far side, and checks what the
# simulator received.
#   e2e_panel.sh ORVA_CONTROL ORVA_PROJECTOR_SIM SHOT_DIR
set -uo pipefail
panel=$1 sim=$2 shots=${3:-/tmp}
mkdir -p "$shots"
work=$(mktemp -d)
pids=()
cleanup() { for p in "${pids[@]}"; do kill "$p" 2>/dev/null; done; wait 2>/dev/null; rm -rf "$work"; }
trap cleanup EXIT
failures=0
passes=0
check() { # name, command...
  local name=$1; shift
  if "$@"; then echo "PASS: $name"; passes=$((passes + 1)); else echo "FAIL: $name"; failures=$((failures + 1)); fi
}

# A display of our own, so parallel runs do not meet.
for n in $(seq 140 199); do
  [ -e "/tmp/.X11-unix/X$n" ] || [ -e "/tmp/.X$n-lock" ] || { display=":$n"; break; }
done
Xvfb "$display" -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 &
pids+=($!)
export DISPLAY=$display
for _ in $(seq 50); do xdpyinfo >/dev/null 2>&1 && break; sleep 0.1; done

export XDG_CONFIG_HOME=$work/config
export QT_QPA_PLATFORM=xcb
mkdir -p "$XDG_CONFIG_HOME/ORVA"
"$sim" --com 5 --power-on --log >"$work/sim.log" 2>&1 &
pids+=($!)
for _ in $(seq 50); do [ -e "$XDG_CONFIG_HOME/ORVA/ports/COM5" ] && break; sleep 0.1; done

wait_window() { # title
  for _ in $(seq 100); do
    xdotool search --name "$1" 2>/dev/null | head -1 && return 0
    sleep 0.1
  done
  return 1
}
received() { grep -c -x -F "$1" "$work/sim.log"; }
wait_received() { # line, count
  for _ in $(seq 50); do [ "$(received "$1")" -ge "$2" ] && return 0; sleep 0.1; done
  return 1
}
# Positions in the panel, in pixels of its client area (the design's twips / 15).
click_at() { xdotool mousemove --window "$1" "$2" "$3" click "${4:-1}"; }

# First start: nothing stored, so the COM PORT dialog comes first.
"$panel" >"$work/panel.log" 2>&1 &
panel_pid=$!
pids+=($panel_pid)
dialog=$(wait_window "  COM PORT")
check "first start shows the COM PORT dialog" test -n "$dialog"
import -window root "$shots/e2e-com-dialog.png"
# COM5, then OK.
click_at "$dialog" 56 196
click_at "$dialog" 160 108
main=$(wait_window "ORVA   MV-TR58  CONTROL")
check "OK on COM5 shows the panel" test -n "$main"
check "OK stored the choice" grep -q "ComPort=5" "$XDG_CONFIG_HOME/ORVA/ORVA.conf"

# POWER ON, then MENU OFF: each click sends its command once.
click_at "$main" 40 50
check "ON sends C00" wait_received 'C00\r' 1
click_at "$main" 84 141
check "MENU OFF sends C1D" wait_received 'C1D\r' 1

# Ctrl+H shows the trace; STATUS asks for the power state.
xdotool windowfocus --sync "$main" 2>/dev/null
xdotool key --clearmodifiers ctrl+h
sleep 0.3
click_at "$main" 464 408
check "STATUS sends CR0" wait_received 'CR0\r' 1
sleep 0.2
import -window root "$shots/e2e-full-view.png"

# Holding VOL + with the right button repeats until the release.
xdotool mousemove --window "$main" 240 192 mousedown 3
sleep 1
xdotool mouseup 3
sleep 0.3
holds=$(received 'C09\r')
check "a 1 s right-button hold on VOL + repeats (sent $holds times)" test "$holds" -ge 6 -a "$holds" -le 13
sleep 0.3
check "nothing repeats after the release" test "$(received 'C09\r')" -eq "$holds"

# Both consoles: their first row goes out on SEND.
click_at "$main" 83 485
basic=$(wait_window "Basic  Command")
check "Basic Command Table opens its console" test -n "$basic"
click_at "$basic" 404 36
check "SEND on the first basic row sends C00" wait_received 'C00\r' 2
click_at "$main" 567 485
expand=$(wait_window "Expand Read")
check "Expand Status Read Command opens its console" test -n "$expand"
click_at "$expand" 484 28
check "SEND on the first expand row sends CR STATUS" wait_received 'CR STATUS\r' 1
import -window root "$shots/e2e-consoles.png"

# END closes the panel and ends the program, consoles open or not.
click_at "$main" 648 332
for _ in $(seq 50); do kill -0 "$panel_pid" 2>/dev/null || break; sleep 0.1; done
check "END ends the program" bash -c "! kill -0 $panel_pid 2>/dev/null"

echo "$passes passed, $failures failed"
[ "$failures" -eq 0 ]
