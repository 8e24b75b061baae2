#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# What the Orca screen reader says while the panel is used from the keyboard,
# read from Orca's debug log ("SPEECH OUTPUT" lines), under Xvfb with a D-Bus
# session and accessibility bus of its own, on the simulator. A manual check,
# not run by CTest: Orca takes seconds to start and its timing varies.
#   a11y_orca.sh ORVA_CONTROL ORVA_PROJECTOR_SIM [gtk3]
# gtk3: Qt's GTK platform theme with GTK's dark Adwaita, as on a GNOME desktop.
set -uo pipefail
# Orca starts only where no other Orca of this user runs; ending that one is
# the user's call, and checking beside it would fail every step.
if other=$(pgrep -u "$(id -u)" -x orca); then
    echo "Another screen reader runs for this user (Orca, PID $(echo $other)): Orca will not start"
    echo "beside it. End it, or run this check as another user. Nothing was checked."
    exit 2
fi
[ -n "${ORCA_CHECK_BUS:-}" ] || exec env ORCA_CHECK_BUS=1 dbus-run-session -- "$0" "$@"
panel=$1 sim=$2 theme=${3:-} work=$(mktemp -d) pids=() failures=0
# ORCA_LOG=FILE keeps Orca's whole debug log.
trap 'kill "${pids[@]}" 2>/dev/null; wait 2>/dev/null; cp "$work/orca.log" "${ORCA_LOG:-/dev/null}" 2>/dev/null; rm -rf "$work"' EXIT
retry() { for _ in $(seq 150); do "$@" && return 0; sleep 0.1; done; return 1; }
window() { retry xdotool search --name "$1" 2>/dev/null | head -1; }
click() { xdotool mousemove --window "$1" "$2" "$3" click 1; }
key() { xdotool key --clearmodifiers "$@"; }
# No window manager: the pointer's window has the keyboard.
focus() { xdotool mousemove --window "$1" 2 2 windowfocus --sync "$1" 2>/dev/null; }
# Orca's speech since the last step, one utterance a line.
said() { tail -n +"$mark" "$work/orca.log" | sed -n "s/.*SPEECH OUTPUT: '\([^']*\)'.*/\1/p"; }
# Orca is slower than xdotool: each Tab waits for what it says. Tabs until
# Orca names a widget matching $1 (at most $2 times).
spoken() { grep "SPEECH OUTPUT" "$work/orca.log" | grep -vc "OUTPUT: 'tab "; }
tab_until() {
    for _ in $(seq "$2"); do
        local before
        before=$(spoken)
        key Tab
        retry bash -c "[ \$(grep 'SPEECH OUTPUT' '$work/orca.log' | grep -vc \"OUTPUT: 'tab \") -gt $before ]"
        sleep 0.3
        said | grep -v "^tab " | grep -v "^Repeats\|^Reads\|panel\.$" | tail -1 | grep -q -- "$1" && return 0
    done
    return 1
}
step() { echo "== $1"; mark=$(($(wc -l <"$work/orca.log") + 1)); }
# Waits for Orca to say a line holding $2, then prints all it said in the step.
hear() {
    retry bash -c "tail -n +$mark '$work/orca.log' | grep -q \"SPEECH OUTPUT: '.*$2\""
    local ok=$?
    said | sed 's/^/   orca: /'
    if [ $ok = 0 ]; then echo "PASS: $1"; else echo "FAIL: $1"; failures=$((failures + 1)); fi
}
never() {
    if said | grep -q -- "$2"; then echo "FAIL: $1"; failures=$((failures + 1)); else echo "PASS: $1"; fi
}

Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$work/display" >/dev/null 2>&1 & pids+=($!)
retry test -s "$work/display"
export DISPLAY=:$(cat "$work/display") HOME=$work XDG_CONFIG_HOME=$work/config XDG_DATA_HOME=$work/data \
    XDG_RUNTIME_DIR=$work/runtime QT_QPA_PLATFORM=xcb
# A speech-dispatcher of its own (its socket in the private runtime folder)
# that speaks into libao's null driver: with no sound device to play to, the
# system's configuration stalls Orca after its first words.
mkdir -p -m 700 "$XDG_RUNTIME_DIR" && mkdir -p "$XDG_CONFIG_HOME"
cp -r /etc/speech-dispatcher "$XDG_CONFIG_HOME/"
echo 'AudioOutputMethod "libao"' >>"$XDG_CONFIG_HOME/speech-dispatcher/speechd.conf"
echo default_driver=null >"$HOME/.libao"
[ "$theme" = gtk3 ] && export QT_QPA_PLATFORMTHEME=gtk3 GTK_THEME=Adwaita:dark
/usr/libexec/at-spi-bus-launcher --launch-immediately >/dev/null 2>&1 & pids+=($!)
retry gdbus call --session --dest org.a11y.Bus --object-path /org/a11y/bus --method \
    org.freedesktop.DBus.Properties.Set org.a11y.Status IsEnabled '<true>' >/dev/null
# Orca writes its log through a buffer unless it writes to a terminal.
script -qfc 'orca --debug-file /dev/stdout' "$work/orca.log" >/dev/null 2>&1 & pids+=($!)
retry grep -q "OUTPUT: 'Screen reader on" "$work/orca.log" 2>/dev/null

mkdir -p "$XDG_CONFIG_HOME/ORVA" && printf '[StartUP]\nComPort=5\nBaudRate=96\n' >"$XDG_CONFIG_HOME/ORVA/ORVA.conf"
"$sim" --com 5 --power-on --log >"$work/sim.log" 2>&1 & sim_pid=$! pids+=($!)
retry test -e "$XDG_CONFIG_HOME/ORVA/ports/COM5"
step "the panel starts"
"$panel" >"$work/panel.log" 2>&1 & pids+=($!)
main=$(window "ORVA   MV-TR58  CONTROL")
focus "$main"
hear "the panel's window is on the accessibility bus" "POWER ON"

step "Tab through the buttons-only view, once round"
tab_until "^POWER ON push button" 80
hear "a hold button names its Basic Command row" "From the keyboard: row"
never "nothing below the window's edge takes the focus" "STATUS push button\|Expand Status"

step "Ctrl+H, then STATUS clicked"
key ctrl+h && sleep 0.5 && click "$main" 464 408
hear "the STATUS answer is spoken" "Power ON"
step "Space on the focused STATUS"
sleep 1.5 && key space
hear "Space on STATUS speaks the answer, not only the key" "Power ON"
step "TEMP, LAMP-TIME"
sleep 1.5 && click "$main" 533 408
hear "temperatures are spoken as whole numbers" "[0-9][0-9]\.[0-9] deg C"
sleep 1.5 && click "$main" 620 408
hear "lamp hours are spoken as a whole number" "[0-9][0-9]* Hour Use"

step "Basic Command console: a row chosen with Down, then SEND"
click "$main" 91 486
basic=$(window "Basic  Command")
focus "$basic"
sleep 1 && key Down
hear "the row chosen from the keyboard is spoken" "C01"
never "opening the console tells no empty notification" "^notification\.$"
key Tab && sleep 0.5 && key space
hear "the console's answer is spoken" "notification ACK"
key Tab && sleep 0.5 && key space && sleep 0.5
focus "$main" && sleep 1

step "the projector goes away"
kill "$sim_pid"
hear "the lost port is spoken" "Port lost"
step "Tab to COM"
tab_until "^COM" 80
hear "COM is named with the lost port, as plain text" "COM, Port lost"
never "no markup is read" "<p>"

step "COM pressed: the COM PORT dialog, Tab into the port options"
key space
dialog=$(window "  COM PORT")
focus "$dialog" && sleep 1
tab_until "^COM[0-9]" 6
hear "Tab enters the port options at the checked COM5" "COM5"
never "no markup is read" "<p>"
never "the unchecked COM1 is not where Tab lands" "COM1"
[ -n "$dialog" ] && xdotool windowclose "$dialog" 2>/dev/null
[ "$failures" -eq 0 ]
