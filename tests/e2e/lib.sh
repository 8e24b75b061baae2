# SPDX-License-Identifier: GPL-3.0-or-later
# Sourced by the end-to-end scripts that drive the panel: the arguments
# ORVA_CONTROL ORVA_PROJECTOR_SIM [SHOT_DIR], base.sh, an Xvfb display of
# their own, and window/sent.
panel=$1 sim=$2 shots=${3:-/tmp}
source "$(dirname "${BASH_SOURCE[0]}")/base.sh"
window() { retry xdotool search --onlyvisible --name "$1" 2>/dev/null | head -1; }
sent() { grep -c -x -F "$1" "$work/${2:-sim.log}"; } # how often the simulator got a command
# Xvfb takes a free display itself and names it once it accepts clients: a
# number chosen here could be taken by a parallel run in between.
Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$work/display" >/dev/null 2>&1 & pids+=($!)
retry test -s "$work/display"
export DISPLAY=:$(cat "$work/display") QT_QPA_PLATFORM=xcb
mkdir -p "$shots"
