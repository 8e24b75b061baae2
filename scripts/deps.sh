#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Installs the Debian 12 packages the panel needs to build, run and be tested,
# skipping those already there. Sourced by the other scripts.
set -euo pipefail

orva_packages=(
  cmake g++ make pkg-config
  qt6-base-dev qt6-serialport-dev qt6-qpa-plugins libgl-dev
  fonts-ipafont-gothic
  librsvg2-bin # rsvg-convert renders the icons at build time
  xvfb xdotool x11-utils imagemagick socat ser2net
  desktop-file-utils appstream dpkg-dev lintian bash-completion
  systemd # systemd-analyze checks the bridge's unit in the package check
)

# The PJLink bridge's end-to-end test runs the npm package "pjlink" against it. A Node.js
# from elsewhere (NodeSource) carries its own npm and conflicts with Debian's npm package,
# so Debian's are asked for only when there is no npm at all.
command -v npm >/dev/null 2>&1 || orva_packages+=(nodejs npm)

orva_install_deps() {
  local missing=()
  for p in "${orva_packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
  done
  [ ${#missing[@]} -eq 0 ] && return 0
  echo "Installing: ${missing[*]}"
  local sudo=""
  [ "$(id -u)" -eq 0 ] || sudo="sudo"
  $sudo apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
}
