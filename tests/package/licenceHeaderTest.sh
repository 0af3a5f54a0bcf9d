#!/bin/sh
# SPDX-License-Identifier: MIT
# Every tracked source file begins with the licence identifier line, in its own
# comment form (after the #! line of a script). Lists the files that lack it.
# Usage: licenceHeaderTest.sh SOURCE_DIR. Exits 77 (skipped) outside a git checkout.
set -eu
cd "$1"
if ! git ls-files --error-unmatch CMakeLists.txt >/dev/null 2>&1; then
    echo "SKIP: $1 is not a git checkout"
    exit 77
fi

missing=$(git ls-files -- '*.cpp' '*.h' '*CMakeLists.txt' '*.cmake' '*.cmake.in' '*.sh' '*.py' \
    '.ci/run' '*.1' | while read -r file; do
    case $file in
    *.cpp | *.h) want='// SPDX-License-Identifier: MIT' ;;
    *.1) want='.\" SPDX-License-Identifier: MIT' ;;
    *) want='# SPDX-License-Identifier: MIT' ;;
    esac
    line=$(head -n 1 "$file")
    case $line in
    '#!'*) line=$(sed -n 2p "$file") ;;
    esac
    [ "$line" = "$want" ] || echo "  $file: $want"
done)
if [ -n "$missing" ]; then
    echo "FAIL: these files lack their first line (the second after #!):" >&2
    echo "$missing" >&2
    exit 1
fi
echo "every tracked source file carries the licence identifier"
