#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# The panel on a network port: ser2net, started here with a configuration of
# our own, serves the simulator's pseudo-terminal over RFC 2217; ports/COM7
# names it. The rate chosen reaches the pty and a status read is answered.
#   e2e_network.sh ORVA_CONTROL ORVA_PROJECTOR_SIM SHOT_DIR
. "${0%/*}/lib.sh"
listening() { (exec 3<>"/dev/tcp/127.0.0.1/$port") 2>/dev/null; }

"$sim" --link "$work/projector" --power-on --log >"$work/sim.log" 2>&1 & pids+=($!)
retry test -e "$work/projector"
for port in $(seq $((20000 + RANDOM % 20000)) 65000); do listening || break; done
printf '%s\n' '%YAML 1.1' --- 'connection: &projector' \
  "  accepter: telnet(rfc2217),tcp,127.0.0.1,$port" \
  "  connector: serialdev,$work/projector,9600n81,local" >"$work/ser2net.yaml"
ser2net -d -u -c "$work/ser2net.yaml" >"$work/ser2net.log" 2>&1 & pids+=($!)
retry listening
echo "rfc2217://localhost:$port" >"$XDG_CONFIG_HOME/ORVA/ports/COM7"
printf '[StartUP]\nComPort=7\nBaudRate=19\n' >"$XDG_CONFIG_HOME/ORVA/ORVA.conf"
check "a status read through ser2net is answered (--send at 9600)" bash -c \
  "'$panel' --port 7 --rate 9600 --send CR0 2>&1 | grep -q 'STATUS: Power ON'"

"$panel" >"$work/panel.log" 2>&1 & panel_pid=$! pids+=($!)
main=$(window "ORVA   MV-TR58  CONTROL")
check "the panel opens COM7 through ser2net" test -n "$main"
check "the panel links no network part; a network port loads it" bash -c \
  "! ldd '$panel' | grep -q Qt6Network && grep -q libQt6Network /proc/$panel_pid/maps"
check "the stored 19200 is the rate of the far pty" test "$(stty -F "$work/projector" speed)" = 19200
xdotool windowfocus --sync "$main" 2>/dev/null; xdotool key --clearmodifiers ctrl+h
sleep 0.3
xdotool mousemove --window "$main" 464 408 click 1
check "STATUS sends CR0 to the simulator" retry test "$(sent 'CR0\r')" -ge 2
xdotool mousemove --window "$main" 576 332 click 1
dialog=$(window "  COM PORT")
xdotool mousemove --window "$dialog" 42 40 click 1 mousemove --window "$dialog" 160 108 click 1
check "COM, 9600, OK: 9600 is the rate of the far pty" \
  retry test "$(stty -F "$work/projector" speed)" = 9600
check "and OK stored it" retry grep -q "BaudRate=96" "$XDG_CONFIG_HOME/ORVA/ORVA.conf"
check "while the window holds the port, --send is told busy" bash -c \
  "'$panel' --port 7 --send CR0 2>&1 | grep -q 'busy'"

kill -TERM "$panel_pid"
check "SIGTERM ends the panel" retry bash -c "! kill -0 $panel_pid 2>/dev/null"

# A server that takes the connection and says nothing keeps the start waiting:
# a window says so at once, then the reason stays in sight beside COM PORT.
port=$((port + 1)) && while listening; do port=$((port + 1)); done
socat -u "TCP-LISTEN:$port,bind=127.0.0.1,reuseaddr,fork" /dev/null >/dev/null 2>&1 & pids+=($!)
retry listening
echo "rfc2217://127.0.0.1:$port" >"$XDG_CONFIG_HOME/ORVA/ports/COM9"
"$panel" --port 9 >"$work/panel9.log" 2>&1 & panel_pid=$! pids+=($!)
check "a start on a silent server shows that it is connecting" test -n "$(window '^Connecting$')"
check "and then why it failed, beside COM PORT" \
  bash -c "[ -n \"\$(xdotool search --sync --onlyvisible --name '^Port not open$')\" ] && [ -n \"\$(xdotool search --onlyvisible --name '  COM PORT')\" ]"
kill -TERM "$panel_pid"
"$panel" --port 9 >"$work/panel9.log" 2>&1 & panel_pid=$! pids+=($!)
sleep 1.5 && kill -TERM "$panel_pid"
check "SIGTERM while the start waits for a network port ends the panel" \
  retry bash -c "! kill -0 $panel_pid 2>/dev/null"

mkdir "$work/alone" && cp "$panel" "$work/alone/"
check "no network module: the port fails naming the missing part" bash -c \
  "'$work/alone/orva-control' --port 9 --send CR0 2>&1 | grep -q 'network part of orva-control is missing'"
[ "$failures" -eq 0 ]
