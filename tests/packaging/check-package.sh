#!/bin/bash
# Checks the installed tree and the Debian package of a finished build, then
# starts the installed panel under Xvfb against the installed simulator.
#
#   tests/packaging/check-package.sh BUILD_DIR
#
# Runs as root: it installs the package and removes it again. Prints one
# PASS/FAIL line per check and exits non-zero if any check fails.
set -u

if [ $# -ne 1 ] || [ ! -f "$1/CMakeCache.txt" ]; then
    echo "usage: $0 BUILD_DIR (a configured and built build folder)" >&2
    exit 2
fi
build=$(cd "$1" && pwd)
started=$(date +%s)

passed=0
failed=0
pass() { passed=$((passed + 1)); echo "PASS: $*"; }
fail() { failed=$((failed + 1)); echo "FAIL: $*"; }
# check DESCRIPTION COMMAND...: one line for the outcome of COMMAND.
check() {
    local what=$1
    shift
    if "$@"; then pass "$what"; else fail "$what"; return 1; fi
}
finish() {
    echo "check-package: took $(($(date +%s) - started)) s"
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

work=$(mktemp -d /tmp/orva-check-package.XXXXXX)
# apt's download user must be able to read the .deb in here.
chmod 755 "$work"
panel_pid=
sim_pid=
xvfb_pid=
we_installed=no

stop_pid() {
    local pid=$1
    [ -n "$pid" ] || return 0
    kill -0 "$pid" 2>/dev/null || return 0
    kill -TERM "$pid" 2>/dev/null
    wait_for 5 bash -c "! kill -0 $pid 2>/dev/null" || kill -KILL "$pid" 2>/dev/null
    wait "$pid" 2>/dev/null
}
cleanup() {
    stop_pid "$panel_pid"
    stop_pid "$sim_pid"
    stop_pid "$xvfb_pid"
    # Leave the machine as it was, even when a check stopped the run early.
    if [ "$we_installed" = yes ] && dpkg -s orva-control >/dev/null 2>&1; then
        DEBIAN_FRONTEND=noninteractive timeout 300 apt-get remove -y orva-control >/dev/null 2>&1
    fi
    rm -rf "$work"
}
trap cleanup EXIT
trap 'exit 130' INT TERM

apt_updated=no
apt_install() {
    export DEBIAN_FRONTEND=noninteractive
    if timeout 600 apt-get install -y --no-install-recommends "$@" >"$work/apt.log" 2>&1; then
        return 0
    fi
    # A fresh machine may have no package lists yet.
    if [ "$apt_updated" = no ]; then
        apt_updated=yes
        timeout 300 apt-get update >>"$work/apt.log" 2>&1
        timeout 600 apt-get install -y --no-install-recommends "$@" >>"$work/apt.log" 2>&1 && return 0
    fi
    tail -20 "$work/apt.log"
    return 1
}

# --- Tools ----------------------------------------------------------------
check "running as root" [ "$(id -u)" -eq 0 ] || finish
missing=()
for tool in desktop-file-validate:desktop-file-utils appstreamcli:appstream Xvfb:xvfb \
    xdotool:xdotool xprop:x11-utils cpack:cmake; do
    command -v "${tool%%:*}" >/dev/null 2>&1 || missing+=("${tool#*:}")
done
if [ ${#missing[@]} -gt 0 ]; then
    check "tools installed (${missing[*]})" apt_install "${missing[@]}" || finish
fi

# --- Installed tree ---------------------------------------------------------
root=$work/root
# logged CMD...: runs CMD with its output into $log, so that only the
# PASS/FAIL line of the check around it shows.
logged() { "$@" >"$log" 2>&1; }
log=$work/install.log
check "cmake --install into a DESTDIR" \
    logged env DESTDIR="$root" timeout 120 cmake --install "$build" --prefix /usr ||
    { cat "$work/install.log"; finish; }

expected=(
    usr/bin/orva-control
    usr/bin/orva-projector-sim
    usr/share/applications/orva-control.desktop
    usr/share/icons/hicolor/32x32/apps/orva-control.png
    usr/share/icons/hicolor/scalable/apps/orva-control.svg
    usr/share/metainfo/io.github.orva.control.metainfo.xml
)
for file in "${expected[@]}"; do
    check "tree has /$file" [ -s "$root/$file" ]
done
check "/usr/bin/orva-control is executable" [ -x "$root/usr/bin/orva-control" ]
check "/usr/bin/orva-projector-sim is executable" [ -x "$root/usr/bin/orva-projector-sim" ]

# Width and height stand at bytes 16-23 of a PNG, in its IHDR chunk.
png_size() { od -An -tx1 -j16 -N8 "$1" | tr -d ' \n'; }
check "32x32 icon is a 32 x 32 PNG" [ "$(png_size "$root/usr/share/icons/hicolor/32x32/apps/orva-control.png")" = 0000002000000020 ]
check "scalable icon is an SVG" grep -q '<svg' "$root/usr/share/icons/hicolor/scalable/apps/orva-control.svg"

desktop=$root/usr/share/applications/orva-control.desktop
# desktop-file-validate exits 0 on warnings, so any output counts as a failure.
quiet_validate() {
    local out
    out=$(desktop-file-validate "$1" 2>&1) && [ -z "$out" ] || { echo "$out"; return 1; }
}
check "desktop-file-validate, no error and no warning" quiet_validate "$desktop"
desktop_key() { sed -n "s/^$1=//p" "$desktop" | head -1; }
check "desktop Exec names an installed program" [ -x "$root/usr/bin/$(desktop_key Exec | cut -d' ' -f1)" ]
check "desktop Icon names an installed icon" [ -f "$root/usr/share/icons/hicolor/32x32/apps/$(desktop_key Icon).png" ]
log=$work/appstream.log
check "appstreamcli validate --no-net" \
    logged appstreamcli validate --no-net "$root/usr/share/metainfo/io.github.orva.control.metainfo.xml" ||
    cat "$log"
# The tree form also finds the launchable's desktop file and the icon.
check "appstreamcli validate-tree --no-net" logged appstreamcli validate-tree --no-net "$root" ||
    cat "$log"

# --- Debian package ----------------------------------------------------------
rm -f "$build"/orva-control_*.deb
check "cpack -G DEB" bash -c "cd '$build' && timeout 300 cpack -G DEB >'$work/cpack.log' 2>&1" ||
    { tail -30 "$work/cpack.log"; finish; }
debs=("$build"/orva-control_*.deb)
check "cpack made one orva-control_*.deb" [ ${#debs[@]} -eq 1 ] && [ -f "${debs[0]}" ] || finish
deb=$work/$(basename "${debs[0]}")
cp "${debs[0]}" "$deb"
chmod 644 "$deb"

version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$build/CMakeCache.txt")
check "package name is orva-control" [ "$(dpkg-deb -f "$deb" Package)" = orva-control ]
check "package version is the project's ($version)" [ "$(dpkg-deb -f "$deb" Version)" = "$version" ]
check "package section is utils" [ "$(dpkg-deb -f "$deb" Section)" = utils ]
depends=$(dpkg-deb -f "$deb" Depends)
echo "      Depends: $depends"
for dep in libqt6core6 libqt6gui6 libqt6widgets6 libqt6serialport6 qt6-qpa-plugins fonts-ipafont-gothic; do
    check "package depends on $dep" grep -Eq "(^|, )$dep( |,|$)" <<<"$depends"
done

if dpkg -s orva-control >/dev/null 2>&1; then
    echo "note: orva-control was installed before this run; it is replaced and then removed"
fi
we_installed=yes
check "apt-get install the package with its dependencies" apt_install "$deb" || finish
check "dpkg reports it installed" \
    bash -c "dpkg-query -W -f='\${Status} \${Version}' orva-control | grep -qx 'install ok installed $version'"
listed=$(dpkg -L orva-control)
for file in "${expected[@]}"; do
    check "dpkg -L lists /$file" grep -qx "/$file" <<<"$listed"
done

# --- Installed panel under Xvfb against the installed simulator ----------------
config=$work/config
mkdir -p "$config/ORVA"
printf '[StartUP]\nComPort=5\nBaudRate=96\n' >"$config/ORVA/ORVA.conf"
export XDG_CONFIG_HOME=$config
export XDG_RUNTIME_DIR=$work/runtime
mkdir -m 700 "$XDG_RUNTIME_DIR"

/usr/bin/orva-projector-sim --com 5 >"$work/sim.log" 2>&1 &
sim_pid=$!
check "simulator links COM5 in the config folder" wait_for 10 test -L "$config/ORVA/ports/COM5" ||
    { cat "$work/sim.log"; finish; }

# Xvfb picks a free display itself and writes its number to fd 3.
Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$work/display" >"$work/xvfb.log" 2>&1 &
xvfb_pid=$!
check "Xvfb starts" wait_for 15 test -s "$work/display" || { cat "$work/xvfb.log"; finish; }
export DISPLAY=:$(head -1 "$work/display")

QT_QPA_PLATFORM=xcb /usr/bin/orva-control >"$work/panel.log" 2>&1 &
panel_pid=$!
find_panel() { xdotool search --name "ORVA   MV-TR58" 2>/dev/null | head -1; }
panel_shown() { [ -n "$(find_panel)" ]; }
if ! check "panel window \"ORVA   MV-TR58 ...\" shows" wait_for 30 panel_shown; then
    xdotool search --name "COM PORT" >/dev/null 2>&1 && echo "      the COM PORT dialog came up instead"
    cat "$work/panel.log"
    finish
fi
window=$(find_panel)
check "panel window's title is the full caption" \
    [ "$(xdotool getwindowname "$window")" = "ORVA   MV-TR58  CONTROL  Ver.1.1" ]

# The main window only shows once the port is open: the simulator's pty.
sim_pty=$(sed -n 's/.*listening on \(\/dev\/pts\/[0-9]*\).*/\1/p' "$work/sim.log")
open_pty() { [ -n "$sim_pty" ] && ls -l /proc/"$panel_pid"/fd 2>/dev/null | grep -q -- "-> $sim_pty\$"; }
check "panel holds the simulator's port ($sim_pty) open" wait_for 5 open_pty
check "panel's WM_CLASS matches the desktop entry" \
    bash -c "xprop -id '$window' WM_CLASS | grep -q '\"$(desktop_key StartupWMClass)\"'"
# The built-in icon reaches the window manager as 32 x 32 ARGB data.
check "panel window carries the built-in 32 x 32 icon" \
    bash -c "xprop -id '$window' -notype 32c _NET_WM_ICON | grep -Eq '= 32, 32, '"

# Without a window manager nothing sends the window a close request (xdotool
# windowclose only destroys the X window and leaves the program running), so
# the panel is ended by a signal, as a session logout would.
kill -TERM "$panel_pid" 2>/dev/null
check "panel ends on SIGTERM" wait_for 10 bash -c "! kill -0 $panel_pid 2>/dev/null" ||
    cat "$work/panel.log"
stop_pid "$panel_pid"
panel_pid=

# --- Removal ----------------------------------------------------------------------
log=$work/remove.log
check "apt-get remove -y orva-control" \
    logged env DEBIAN_FRONTEND=noninteractive timeout 300 apt-get remove -y orva-control ||
    tail -20 "$work/remove.log"
check "package is gone" bash -c "! dpkg-query -W -f='\${Status}' orva-control 2>/dev/null | grep -q 'ok installed'"
check "/usr/bin/orva-control is gone" [ ! -e /usr/bin/orva-control ]
we_installed=no

finish
