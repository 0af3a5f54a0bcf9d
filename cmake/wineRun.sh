#!/bin/sh
# SPDX-License-Identifier: MIT
# wineRun.sh PREFIX LOADER PROGRAM [ARGUMENTS...]: runs a Windows program under Wine
# in the prefix PREFIX, the emulator of the cross builds.
# The first run of a session starts one persistent wineserver and the Wine services
# (making the prefix when it is new), detached from the caller's output: a server
# or service holding CTest's pipe open would make it wait for ever. Later runs find
# the server and start in tens of milliseconds. "wineRun.sh PREFIX stop" ends it.
set -eu
prefix=$1
loader=$2
shift 2
export WINEPREFIX="$prefix" WINEDEBUG=-all WINEDLLOVERRIDES=mscoree,mshtml=
if [ "$loader" = stop ]; then
    wineserver -k </dev/null >/dev/null 2>&1 || true
    exit 0
fi
mkdir -p "$prefix"
(
    flock 9
    # Status 0: no server was running and this one now is; 2: one is running.
    # Neither may keep the lock: it would be held for as long as they run.
    if wineserver -p </dev/null >/dev/null 2>&1 9>&-; then
        "$loader" wineboot </dev/null >/dev/null 2>&1 9>&- || true
    fi
) 9>"$prefix/.session-lock"
exec "$loader" "$@"
