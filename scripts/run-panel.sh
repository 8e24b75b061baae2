#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Builds the panel and starts it. With a USB-serial adapter plugged in it uses
# the port stored in your settings (or asks for one); with none, or with
# --sim, it starts the bundled projector simulator and points the panel at it.
#   scripts/run-panel.sh [--sim | --real] [simulator options...]
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
source "$here/scripts/deps.sh"
orva_install_deps

build="$here/build"
cmake -S "$here" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build" -j"$(nproc)" --target orva-control orva-projector-sim

mode=auto
case "${1:-}" in
  --sim) mode=sim; shift ;;
  --real) mode=real; shift ;;
esac
if [ "$mode" = auto ]; then
  if compgen -G "/dev/ttyUSB*" >/dev/null || compgen -G "/dev/ttyACM*" >/dev/null; then
    mode=real
  else
    mode=sim
  fi
fi

pids=()
cleanup() { for p in "${pids[@]}"; do kill "$p" 2>/dev/null || true; done; }
trap cleanup EXIT

if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
  export DISPLAY=:71
  Xvfb "$DISPLAY" -screen 0 1280x1024x24 >/dev/null 2>&1 &
  pids+=($!)
  echo "No display found: the panel runs on a virtual one, $DISPLAY (xdotool and import work there)."
  sleep 1
fi

if [ "$mode" = sim ]; then
  # The simulator's settings live beside the build, so trying the panel never
  # changes the port you chose for a real projector.
  export XDG_CONFIG_HOME="$build/sim-home"
  mkdir -p "$XDG_CONFIG_HOME/ORVA"
  printf '[StartUP]\nComPort=5\nBaudRate=96\n' >"$XDG_CONFIG_HOME/ORVA/ORVA.conf"
  "$build/orva-projector-sim" --com 5 "$@" &
  pids+=($!)
  for _ in $(seq 50); do [ -e "$XDG_CONFIG_HOME/ORVA/ports/COM5" ] && break; sleep 0.1; done
  echo "Panel on the simulated projector (COM5). Ctrl+H shows the trace and STATUS lines."
fi

"$build/orva-control"
