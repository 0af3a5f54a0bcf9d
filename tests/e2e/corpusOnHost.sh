#!/bin/sh
# SPDX-License-Identifier: MIT
# The corpus case of a Windows build, with its JSON check made on this system: the
# case runs under the emulator and leaves its reports, and the list of the JSON
# ones, in a directory of this system; Python here then parses every listed file.
# Usage: corpusOnHost.sh PYTHON CHECK_SCRIPT TEST_PROGRAM EMULATOR...
# Exits 77 (skipped) when the case skips (no corpus here) or there is no Python.
set -eu
python=$1
check=$2
program=$3
shift 3
[ -x "$python" ] || { echo "SKIP: no $python to check the JSON"; exit 77; }
dir=$(mktemp -d)
trap 'rm -rf "$dir"' EXIT
# Wine sees this system's root as drive Z:.
status=0
KESTRUNE_TEST_REPORT_DIR="Z:$dir" "$@" "$program" --gtest_filter=CorpusTest.EveryPageInEveryMode \
    >"$dir/run.log" 2>&1 || status=$?
cat "$dir/run.log"
[ "$status" -eq 0 ] || exit "$status"
if grep -q '^\[  SKIPPED \]' "$dir/run.log"; then
    exit 77
fi
listed=$(grep -c . "$dir/json-files.txt") || { echo "FAIL: the case listed no JSON file" >&2; exit 1; }
checked=$("$python" "$check" "$dir/json-files.txt") || { echo "FAIL: a JSON file does not parse (above)" >&2; exit 1; }
[ "$checked" = "$listed" ] || { echo "FAIL: $checked of $listed JSON files checked" >&2; exit 1; }
echo "$checked JSON files written under the emulator parse here"
