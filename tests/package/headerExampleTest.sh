#!/bin/sh
# SPDX-License-Identifier: MIT
# The example at the top of each public header compiles as it stands: its lines (the
# first run of "///" comment lines indented by three spaces, blank ones among them)
# are put into a file of their own and compiled against the headers.
# Usage: headerExampleTest.sh COMPILER INCLUDE_DIR GENERATED_INCLUDE_DIR HEADER...
set -eu
compiler=$1 include=$2 generated=$3
shift 3
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
status=0
for header in "$@"; do
    name=$(basename "$header" .h)
    awk '/^\/\/\/   / { inside = 1 } inside && !/^\/\/\/(   |$)/ { exit } inside { sub(/^\/\/\/( {3})?/, ""); print }' \
        "$header" >"$work/$name.cpp"
    if [ ! -s "$work/$name.cpp" ]; then
        echo "FAIL: $header has no example"
        status=1
    elif ! "$compiler" -std=c++20 -Wall -Wextra -Werror -fsyntax-only -I"$include" -I"$generated" \
            "$work/$name.cpp"; then
        echo "FAIL: the example of $header does not compile:"
        cat "$work/$name.cpp"
        status=1
    fi
done
exit $status
