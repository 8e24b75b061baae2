# SPDX-License-Identifier: GPL-3.0-or-later
# Sourced by the end-to-end scripts that drive the panel: the arguments
# ORVA_CONTROL ORVA_PROJECTOR_SIM [SHOT_DIR], a work folder and a settings
# folder of their own, an Xvfb display of their own, and check/retry/window/sent.
set -uo pipefail
panel=$1 sim=$2 shots=${3:-/tmp} work=$(mktemp -d) pids=() failures=0
trap 'kill "${pids[@]}" 2>/dev/null; wait 2>/dev/null; rm -rf "$work"' EXIT
check() { if "${@:2}"; then echo "PASS: $1"; else echo "FAIL: $1"; failures=$((failures + 1)); fi; }
retry() { for _ in $(seq 100); do "$@" && return 0; sleep 0.1; done; return 1; }
window() { retry xdotool search --onlyvisible --name "$1" 2>/dev/null | head -1; }
sent() { grep -c -x -F "$1" "$work/${2:-sim.log}"; } # how often the simulator got a command
# Xvfb takes a free display itself and names it once it accepts clients: a
# number chosen here could be taken by a parallel run in between.
Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$work/display" >/dev/null 2>&1 & pids+=($!)
retry test -s "$work/display"
export DISPLAY=:$(cat "$work/display") XDG_CONFIG_HOME=$work/config QT_QPA_PLATFORM=xcb
mkdir -p "$XDG_CONFIG_HOME/ORVA/ports" "$shots"
