#!/bin/sh
# SPDX-License-Identifier: MIT
# wineRun.sh PREFIX LOADER PROGRAM [ARGUMENTS...]: runs a Windows program under Wine
# in the prefix PREFIX, the emulator of the cross builds.
# The first run of a session starts one persistent wineserver and the Wine services
# (making the prefix when it is new), detached from the caller's output: a server
# or service holding CTest's pipe open would make it wait for ever. Later runs find
# the server and start in tens of milliseconds. "wineRun.sh PREFIX LOADER --stop"
# ends it.
#
# The server is the one installed beside the loader (its real path, past the links
# of /usr/bin and the alternatives), never a `wineserver` found on PATH: a server of
# another Wine would not speak the loader's protocol, and without a persistent
# server every program starts and stops its own, racing the previous one's exit.
set -eu
prefix=$1
loader=$2
shift 2
export WINEPREFIX="$prefix" WINEDEBUG=-all WINEDLLOVERRIDES=mscoree,mshtml=

fail() {
    echo "wineRun.sh: $*" >&2
    exit 1
}

real_loader=$(readlink -f "$loader" 2>/dev/null) || real_loader=
[ -n "$real_loader" ] && [ -x "$real_loader" ] ||
    fail "no Wine loader $loader (apt-get install wine64, or wine32:i386 for 32-bit programs)"
dir=${real_loader%/*}
# `wineserver` is what the loader itself would start (Debian's picks wineserver64 or
# wineserver32, whichever is installed); the others are that choice made here.
server=
for candidate in "$dir/wineserver" "$dir/wineserver64" "$dir/wineserver32"; do
    if [ -x "$candidate" ]; then
        server=$candidate
        break
    fi
done
[ -n "$server" ] || fail "no wineserver beside $real_loader (looked for wineserver, wineserver64, wineserver32 in $dir)"

if [ "${1-}" = --stop ]; then
    # Ends the server and waits until it has gone, so that the next run's server
    # does not meet it on its way out.
    "$server" -k </dev/null >/dev/null 2>&1 || true
    "$server" -w </dev/null >/dev/null 2>&1 || true
    exit 0
fi
mkdir -p "$prefix"
(
    flock 9
    # Status 0: no server was running and this one now is; 2: one is running.
    # Neither may keep the lock: it would be held for as long as they run. Any
    # other status is a server still shutting down, or one that cannot start:
    # tried again for a few seconds.
    tries=0
    while :; do
        status=0
        "$server" -p </dev/null >/dev/null 2>&1 9>&- || status=$?
        case $status in
        0)
            "$loader" wineboot </dev/null >/dev/null 2>&1 9>&- || true
            break
            ;;
        2) break ;;
        esac
        tries=$((tries + 1))
        [ "$tries" -lt 20 ] || fail "$server -p failed with status $status"
        sleep 0.5
    done
) 9>"$prefix/.session-lock"
# The programs end with 0, 1 or 255 (GoogleTest with 0 or 1): any other status is
# Wine's or a crash's, and a crashed program may have lost its buffered output, so
# the status is said.
status=0
"$loader" "$@" || status=$?
case $status in
0 | 1 | 255) ;;
*) echo "wineRun.sh: $1 ended with status $status under $loader" >&2 ;;
esac
exit "$status"
