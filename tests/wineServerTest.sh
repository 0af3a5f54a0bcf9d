#!/bin/sh
# SPDX-License-Identifier: MIT
# The Wine harness uses the wineserver installed beside the loader, never one on
# PATH: with a `wineserver` first on PATH that only records that it was started,
# a program still runs under the harness and that one is never started.
# Usage: wineServerTest.sh PROGRAM EMULATOR...
set -eu
program=$1
shift
dir=$(mktemp -d)
trap 'rm -rf "$dir"' EXIT
printf '#!/bin/sh\ntouch "%s/started"\nexit 1\n' "$dir" >"$dir/wineserver"
chmod +x "$dir/wineserver"
status=0
PATH=$dir:$PATH "$@" "$program" >/dev/null 2>&1 || status=$?
if [ -e "$dir/started" ]; then
    echo "FAIL: the harness started the wineserver found on PATH" >&2
    exit 1
fi
# The program without arguments prints its usage and ends with status 0.
[ "$status" -eq 0 ] || { echo "FAIL: the program ended with status $status" >&2; exit 1; }
echo "the harness ran the program without the wineserver on PATH"
