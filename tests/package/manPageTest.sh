#!/bin/sh
# SPDX-License-Identifier: MIT
# The manual page renders without a single groff warning.
# Usage: manPageTest.sh GROFF PAGE
set -eu
out=$("$1" -ww -z -man "$2" 2>&1)
if [ -n "$out" ]; then
    printf '%s\n' "$out" >&2
    echo "FAIL: groff warns about $2" >&2
    exit 1
fi
echo "$2 renders without warnings"
