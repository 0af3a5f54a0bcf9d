#!/bin/sh
# SPDX-License-Identifier: MIT
# The Windows archive as a user gets it: built by CPack, unpacked, holding exactly
# the program, the README and the manual page as HTML, and the unpacked program run
# under Wine on the sample page.
# Usage: windowsZipTest.sh CPACK BUILD_DIR SOURCE_DIR ARCHIVE_NAME EMULATOR...
set -eu
cpack=$1
build=$2
source=$3
name=$4
shift 4
fail() {
    echo "FAIL: $*" >&2
    exit 1
}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
(cd "$build" && "$cpack" -G ZIP -B "$work/out" >/dev/null) || fail "cpack -G ZIP"
[ -f "$work/out/$name.zip" ] || fail "no $name.zip"
mkdir "$work/unpacked"
(cd "$work/unpacked" && cmake -E tar xf "$work/out/$name.zip") || fail "unpacking"
listing=$(cd "$work/unpacked" && find . -type f | LC_ALL=C sort | tr '\n' ' ')
[ "$listing" = "./README.md ./kestrune-select.exe ./kestrune-select.html ./kestrune.exe ./kestrune.html " ] ||
    fail "archive holds: $listing"
for page in kestrune kestrune-select; do
    grep -q '<html' "$work/unpacked/$page.html" || fail "$page.html is no HTML"
done
printf '<html><head><title>Sample page</title></head></html>' >"$work/page.html"
status=0
out=$("$@" "$work/unpacked/kestrune.exe" "$work/page.html" -tag title) || status=$?
[ "$status" -eq 1 ] || fail "status $status, output: $out"
printf '%s' "$out" | grep -q '^text=' || fail "output: $out"
out=$("$@" "$work/unpacked/kestrune-select.exe" title "$work/page.html") || fail "kestrune-select: $out"
[ "$out" = "Sample page" ] || fail "kestrune-select output: $out"
echo "$name.zip holds $listing and its program runs"
