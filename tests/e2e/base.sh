# SPDX-License-Identifier: GPL-3.0-or-later
# Sourced by every end-to-end script: a work folder and a settings folder of
# its own, the processes it started ended on exit, and check/retry.
set -uo pipefail
work=$(mktemp -d) pids=() failures=0
trap 'kill "${pids[@]}" 2>/dev/null; wait 2>/dev/null; rm -rf "$work"' EXIT
check() { if "${@:2}"; then echo "PASS: $1"; else echo "FAIL: $1"; failures=$((failures + 1)); fi; }
retry() { for _ in $(seq 100); do "$@" && return 0; sleep 0.1; done; return 1; }
export XDG_CONFIG_HOME=$work/config
mkdir -p "$XDG_CONFIG_HOME/ORVA/ports"
