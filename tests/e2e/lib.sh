# SPDX-License-Identifier: GPL-3.0-or-later
# Sourced by the end-to-end scripts that drive the panel: the arguments
# ORVA_CONTROL ORVA_PROJECTOR_SIM [SHOT_DIR], a work folder and a settings
# folder of their own, an Xvfb display of their own from $first on (so parallel
# runs do not meet), and check/retry/window/sent.
set -uo pipefail
panel=$1 sim=$2 shots=${3:-/tmp} work=$(mktemp -d) pids=() failures=0
trap 'kill "${pids[@]}" 2>/dev/null; wait 2>/dev/null; rm -rf "$work"' EXIT
check() { if "${@:2}"; then echo "PASS: $1"; else echo "FAIL: $1"; failures=$((failures + 1)); fi; }
retry() { for _ in $(seq 100); do "$@" && return 0; sleep 0.1; done; return 1; }
window() { retry xdotool search --onlyvisible --name "$1" 2>/dev/null | head -1; }
sent() { grep -c -x -F "$1" "$work/${2:-sim.log}"; } # how often the simulator got a command
for n in $(seq "$first" $((first + 59))); do [ -e "/tmp/.X11-unix/X$n" ] || [ -e "/tmp/.X$n-lock" ] || break; done
Xvfb ":$n" -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 & pids+=($!)
export DISPLAY=:$n XDG_CONFIG_HOME=$work/config QT_QPA_PLATFORM=xcb
retry xdpyinfo >/dev/null 2>&1
mkdir -p "$XDG_CONFIG_HOME/ORVA/ports" "$shots"
