#!/bin/sh
# SPDX-License-Identifier: MIT
# Two release builds of the same sources in different directories give the same
# program and the same Debian packages, byte for byte, and none holds a path of
# the machine that built it. The second build reaches the sources through a
# symbolic link, so that the source path differs as well as the build path.
#
# Usage: reproducibleTest.sh CMAKE CPACK SOURCE_DIR GENERATOR CXX_COMPILER
# Exits 77 (skipped) without dpkg-dev.
set -eu

cmake=$1
cpack=$2
source=$3
generator=$4
compiler=$5

. "$(dirname "$0")/common.sh"
need_tools dpkg dpkg-deb dpkg-shlibdeps

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
ln -s "$source" "$work/linked-source"

# build DIR SOURCE: the program, the library and the packages, nothing else.
build() {
    if ! { "$cmake" -S "$2" -B "$1" -G "$generator" -DCMAKE_BUILD_TYPE=Release \
        -DCMAKE_CXX_COMPILER="$compiler" -DKESTRUNE_BUILD_TESTS=OFF &&
        "$cmake" --build "$1" -j 2 &&
        "$cpack" -G DEB --config "$1/CPackConfig.cmake" -B "$1/out"; } >"$1.log" 2>&1; then
        cat "$1.log" >&2
        fail "release build in $1 failed"
    fi
}
build "$work/first" "$source"
build "$work/second-build" "$work/linked-source"

cmp "$work/first/kestrune" "$work/second-build/kestrune" || fail "the two kestrune binaries differ"
debs=$(cd "$work/first/out" && ls -- *.deb)
[ -n "$debs" ] || fail "the first build wrote no package"
[ "$(cd "$work/second-build/out" && ls -- *.deb)" = "$debs" ] || fail "the builds wrote other packages"
for deb in $debs; do
    cmp "$work/first/out/$deb" "$work/second-build/out/$deb" || fail "the two $deb differ"
    dpkg-deb -x "$work/first/out/$deb" "$work/unpacked"
done

for path in "$source" "$work"; do
    if grep -rlF "$path" "$work/first/kestrune" "$work/unpacked"; then
        fail "the files above hold the build path $path"
    fi
done
echo "two builds: identical kestrune ($(wc -c <"$work/first/kestrune") bytes) and" $debs
