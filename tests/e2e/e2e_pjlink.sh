#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# orva-pjlink end to end on the simulator over a real pseudo-terminal: the npm
# package "pjlink" (0.2.8, installed into the build folder) runs every class 1
# command with the right password and one with a wrong one; a class 2 search;
# the line let go for orva-control --send; a connection that says nothing is
# closed after PJLink's 30 s; the refusals of the command line.
#   e2e_pjlink.sh ORVA_PJLINK ORVA_PROJECTOR_SIM ORVA_CONTROL BUILD_DIR
bridge=$1 sim=$2 panel=$3 build=$4 here=$(dirname "$0")
source "$here/base.sh"
unset DISPLAY WAYLAND_DISPLAY QT_QPA_PLATFORM

module=$build/npm/node_modules/pjlink
[ -f "$module/package.json" ] ||
    npm install --silent --no-audit --no-fund --prefix "$build/npm" pjlink@0.2.8 >/dev/null
check "npm package pjlink 0.2.8 at hand" grep -q '"version": "0.2.8"' "$module/package.json"

printf 'JBMIAProjectorLink\n' >"$work/password"
chmod 644 "$work/password"
"$bridge" --port 5 --password-file "$work/password" 2>"$work/open.err"
check "a password file others may read is refused" \
    test $? = 2 -a -n "$(grep 'read or written by others' "$work/open.err")"
"$bridge" --port 5 2>/dev/null
check "neither --password-file nor --no-password: refused" test $? = 2
chmod 600 "$work/password"

"$sim" --com 5 --log >"$work/sim.log" 2>&1 & pids+=($!)
retry test -e "$XDG_CONFIG_HOME/ORVA/ports/COM5"
port=$(node -e 'const s=require("net").createServer().listen(0,"127.0.0.1",()=>{console.log(s.address().port);s.close()})')
"$bridge" --port COM5 --listen "127.0.0.1:$port" --password-file "$work/password" --name Hall-A \
    2>"$work/bridge.err" & pids+=($!)
retry node -e "require('net').connect($port,'127.0.0.1').on('connect',()=>process.exit(0)).on('error',()=>process.exit(1))"

# A controller that connects and says nothing, from now on.
exec 3<>"/dev/tcp/127.0.0.1/$port"
silent_from=$SECONDS

timeout 60 node "$here/pjlink_npm.js" "$module" "$port" JBMIAProjectorLink >"$work/npm.out"
check "npm pjlink: every class 1 command, a wrong password" \
    diff -u "$here/../data/pjlink-npm.txt" "$work/npm.out"
# 23 serial commands by the mapping: none for a request refused, nothing else.
check "the line got the mapped commands and nothing for the refused input or password" \
    test "$(grep -c '\\r$' "$work/sim.log")" = 23

timeout 10 node -e "
const s=require('dgram').createSocket('udp4');
s.on('message',m=>{console.log(String(m).trim());process.exit(0)});
s.bind(0,'127.0.0.1',()=>s.send('%2SRCH\r',$port,'127.0.0.1'))" >"$work/search.out"
check "class 2 search answered with ACKN and a MAC address" \
    grep -qxE '%2ACKN=([0-9a-f]{2}:){5}[0-9a-f]{2}' "$work/search.out"

# Let go within 3 s of the last request: the panel's --send gets the line.
sleep 3
"$panel" --port 5 --send CR0 >"$work/send.out" 2>&1
check "orva-control --send has the line once the bridge let it go" test $? = 0

timeout 40 cat <&3 >"$work/silent.out"
check "a silent connection got the greeting and was closed after 30 s" \
    test "$(head -c 8 "$work/silent.out")" = "PJLINK 1" -a $((SECONDS - silent_from)) -ge 29
check "still serving" bash -c "timeout 10 node -e \"
const P=require('$module');const b=new P('127.0.0.1',$port,'JBMIAProjectorLink');
b.getClass((e,c)=>{console.log(c);b.disconnect()})\" | grep -qx 2"

echo "$failures failure(s)"
[ "$failures" -eq 0 ]
