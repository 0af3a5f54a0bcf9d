#!/bin/sh
# SPDX-License-Identifier: MIT
# The project's version (CMakeLists.txt) is the one the manual pages, the README's
# install commands and the changelog name.
# Usage: versionTest.sh VERSION SOURCE_DIR
set -eu
version=$1
source=$2
status=0

for page in kestrune kestrune-select; do
    title=$(echo "$page" | tr a-z A-Z)
    grep -q "^\.TH $title 1 [0-9-]* \"Kestrune $version\" " "$source/man/$page.1" ||
        { echo "FAIL: the .TH line of man/$page.1 does not name Kestrune $version" >&2; status=1; }
done
grep -q "^## \[$version\] - " "$source/CHANGELOG.md" ||
    { echo "FAIL: CHANGELOG.md has no section for $version" >&2; status=1; }
stale=$(grep -o 'kestrune_[0-9][^_ ]*_' "$source/README.md" | grep -v "^kestrune_$version-[0-9]*_\$" || true)
[ -z "$stale" ] || { echo "FAIL: README.md names other versions: $stale" >&2; status=1; }
grep -q "kestrune_$version-" "$source/README.md" ||
    { echo "FAIL: README.md's install commands do not name version $version" >&2; status=1; }

[ $status = 0 ] && echo "man page, README and changelog name version $version"
exit $status
