#!/bin/bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Builds the Debian package of a finished build, runs lintian and the desktop
# validators on it, installs it with apt, starts the installed panel under
# Xvfb against the installed simulator, and removes the package again.
#
#   tests/packaging/check-package.sh BUILD_DIR
#
# Runs as root. Prints one PASS/FAIL line per check and exits non-zero if any
# check fails.
set -u

if [ $# -ne 1 ] || [ ! -f "$1/CMakeCache.txt" ]; then
    echo "usage: $0 BUILD_DIR (a configured and built build folder)" >&2
    exit 2
fi
build=$(cd "$1" && pwd)
here=$(cd "$(dirname "$0")/../.." && pwd)

passed=0 failed=0
# check DESCRIPTION COMMAND...: one PASS/FAIL line for the outcome of COMMAND.
check() {
    local what=$1
    shift
    if "$@"; then
        passed=$((passed + 1)) && echo "PASS: $what"
    else
        failed=$((failed + 1)) && echo "FAIL: $what" && return 1
    fi
}
finish() {
    echo "check-package: $passed passed, $failed failed"
    [ "$failed" -eq 0 ]
    exit
}
# wait_for SECONDS COMMAND...: polls COMMAND until it succeeds or time is up.
wait_for() {
    local deadline=$(($(date +%s) + $1))
    shift
    until "$@"; do
        [ "$(date +%s)" -ge "$deadline" ] && return 1
        sleep 0.2
    done
}
# logged NAME COMMAND...: runs COMMAND quietly, shows its output if it fails.
logged() {
    local log=$work/$1.log
    shift
    "$@" >"$log" 2>&1 || { tail -30 "$log"; return 1; }
}

work=$(mktemp -d /tmp/orva-check-package.XXXXXX)
chmod 755 "$work" # apt's download user reads the .deb in here
pids=()
cleanup() {
    for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null; done
    wait 2>/dev/null
    # Leave the machine as it was, even when a check stopped the run early.
    [ -n "${installing:-}" ] && dpkg -s orva-control >/dev/null 2>&1 && logged purge apt-get remove -y orva-control
    rm -rf "$work"
}
trap cleanup EXIT
trap 'exit 130' INT TERM
export DEBIAN_FRONTEND=noninteractive

check "running as root" [ "$(id -u)" -eq 0 ] || finish
check "tools installed" logged deps bash -c "source '$here/scripts/deps.sh' && orva_install_deps" || finish

# --- The package as built -----------------------------------------------------
rm -f "$build"/orva-control_*.deb
check "cpack -G DEB" logged cpack bash -c "cd '$build' && cpack -G DEB" || finish
deb=("$build"/orva-control_*.deb)
cp "${deb[0]}" "$work/orva-control.deb" && chmod 644 "$work/orva-control.deb" && deb=$work/orva-control.deb
check "lintian: no error, no warning" logged lintian lintian --fail-on error,warning --info "$deb"
root=$work/root
dpkg-deb -x "$deb" "$root"
check "desktop-file-validate: no error, no warning" \
    bash -c "[ -z \"\$(desktop-file-validate '$root/usr/share/applications/orva-control.desktop' 2>&1)\" ]"
# The tree form also checks the launchable's desktop entry and the icon.
check "appstreamcli validate-tree" logged appstream appstreamcli validate-tree --no-net "$root"
# icon_sizes: "NxN" for each hicolor PNG whose picture is as large as its folder says.
icon_sizes() {
    for png in "$root"/usr/share/icons/hicolor/*/apps/orva-control.png; do
        size=$(basename "$(dirname "$(dirname "$png")")")
        [ "$(identify -format '%wx%h' "$png")" = "$size" ] && echo "$size"
    done | sort -n | tr '\n' ' '
}
check "hicolor icons at 16 to 256 px, each its folder's size" \
    [ "$(icon_sizes)" = "16x16 22x22 24x24 32x32 48x48 64x64 128x128 256x256 " ]
completions=$root/usr/share/bash-completion/completions
check "bash completion under both programs' names" \
    bash -c "bash -n '$completions/orva-control' && [ \"\$(readlink '$completions/orva-projector-sim')\" = orva-control ]"

# --- Installed ------------------------------------------------------------------
installing=yes
check "apt-get install the package with its dependencies" \
    logged install apt-get install -y --no-install-recommends "$deb" || finish
export XDG_CONFIG_HOME=$work/config XDG_RUNTIME_DIR=$work/runtime
mkdir -p "$XDG_CONFIG_HOME/ORVA" && mkdir -m 700 "$XDG_RUNTIME_DIR"
printf '[StartUP]\nComPort=5\nBaudRate=96\n' >"$XDG_CONFIG_HOME/ORVA/ORVA.conf"

/usr/bin/orva-projector-sim --com 5 >"$work/sim.log" 2>&1 &
pids+=($!)
check "installed simulator links COM5" wait_for 10 test -L "$XDG_CONFIG_HOME/ORVA/ports/COM5" || finish
# No display: a script's send through the installed programs.
check "installed orva-control --send CR0 answers on the simulator's port" \
    bash -c "env -u DISPLAY /usr/bin/orva-control --send CR0 | grep -qx 'STATUS: Stand by'"
# Only the network module, loaded from the package's folder, can say this.
echo socket://127.0.0.1:1 >"$XDG_CONFIG_HOME/ORVA/ports/COM7"
check "installed orva-control loads its network module for a network port" \
    bash -c "env -u DISPLAY /usr/bin/orva-control --port 7 --send CR0 2>&1 | grep -q 'connection refused'"
# The PJLink bridge's unit as systemd reads it, an instance for COM5, and its sandbox.
units=$work/units && mkdir -p "$units" && cp /usr/lib/systemd/system/orva-pjlink@.service "$units/orva-pjlink@5.service"
check "systemd-analyze verify orva-pjlink@5.service" \
    logged verify systemd-analyze verify --man=no "$units/orva-pjlink@5.service"
exposure() { systemd-analyze security --offline=true "$units/orva-pjlink@5.service" 2>/dev/null |
    sed -nE 's/.*Overall exposure level for [^:]*: ([0-9.]+).*/\1/p'; }
exposure_ok() { local e && e=$(exposure) && [ -n "$e" ] && awk -v e="$e" 'BEGIN { exit !(e + 0 <= 3.0) }'; }
check "orva-pjlink@5.service exposure 3.0 or less ($(exposure))" exposure_ok
# The installed bridge answers a PJLink request from the installed simulator.
pjlink_port=$((20000 + RANDOM % 20000))
/usr/bin/orva-pjlink --port 5 --no-password --listen "127.0.0.1:$pjlink_port" 2>"$work/pjlink.log" &
pids+=($!)
pjlink_power() {
    exec 4<>"/dev/tcp/127.0.0.1/$pjlink_port" || return 1
    printf '%%1POWR ?\r' >&4
    timeout 5 head -c 18 <&4 | tr '\r' '\n' >"$work/pjlink.out"
    exec 4>&-
    grep -qx '%1POWR=0' "$work/pjlink.out"
}
check "installed orva-pjlink answers POWR ? from the simulator" wait_for 10 pjlink_power
# Xvfb picks a free display itself and writes its number to fd 3.
Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$work/display" >/dev/null 2>&1 &
pids+=($!)
check "Xvfb starts" wait_for 15 test -s "$work/display" || finish
export DISPLAY=:$(head -1 "$work/display")

QT_QPA_PLATFORM=xcb /usr/bin/orva-control >"$work/panel.log" 2>&1 &
panel=$!
pids+=($panel)
find_panel() { window=$(xdotool search --name "ORVA   MV-TR58" 2>/dev/null | head -1) && [ -n "$window" ]; }
# The main window only shows once the stored port, the simulator's, is open.
check "installed panel shows its main window on the simulator's port" wait_for 30 find_panel ||
    { cat "$work/panel.log"; finish; }
check "window class matches the desktop entry's StartupWMClass" \
    bash -c "xprop -id $window WM_CLASS | grep -q '\"orva-control\"'"
# The built-in icon reaches the window manager as 32 x 32 ARGB data.
check "window carries the built-in 32 x 32 icon" \
    bash -c "xprop -id $window -notype 32c _NET_WM_ICON | grep -Eq '= 32, 32, '"
kill -TERM "$panel"
check "panel ends on SIGTERM" wait_for 10 bash -c "! kill -0 $panel 2>/dev/null"

# --- Removal ----------------------------------------------------------------------
check "apt-get remove orva-control" logged remove apt-get remove -y orva-control
check "package and programs are gone" \
    bash -c "! dpkg -s orva-control >/dev/null 2>&1 && [ ! -e /usr/bin/orva-control ] && [ ! -e /usr/bin/orva-projector-sim ] && [ ! -e /usr/bin/orva-pjlink ] && [ ! -e /usr/lib/systemd/system/orva-pjlink@.service ]"
finish
