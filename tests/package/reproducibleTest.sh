#!/bin/sh
# SPDX-License-Identifier: MIT
# Two release builds of the same sources in different directories give the same
# program and the same packages, byte for byte, and none holds a path of the
# machine that built it. The second build reaches the sources through a symbolic
# link, so that the source path differs as well as the build path.
#
# Usage: reproducibleTest.sh CMAKE CPACK SOURCE_DIR GENERATOR PACKAGE PROGRAM FIRST
#                            [CONFIGURE_OPTION...]
# PACKAGE is the CPack generator (DEB or ZIP), PROGRAM the program's file name in
# the build directory. FIRST is a build directory of these sources, brought up to
# date and compared with a fresh build, or "-" to make two fresh builds. Fresh
# builds get the CONFIGURE_OPTIONs (a compiler, a toolchain file) and leave the
# tests out: the program, the library and the packages, nothing else. Exits 77 (skipped)
# without dpkg-dev when PACKAGE is DEB.
set -eu

cmake=$1
cpack=$2
source=$3
generator=$4
package=$5
program=$6
first=$7
shift 7

. "$(dirname "$0")/common.sh"
case $package in
DEB) need_tools dpkg dpkg-deb dpkg-shlibdeps ;;
ZIP) ;;
*) fail "no package kind $package (DEB or ZIP)" ;;
esac

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
ln -s "$source" "$work/linked-source"

# build DIR SOURCE [CONFIGURE_OPTION...]: the program, nothing else.
build() {
    dir=$1
    src=$2
    shift 2
    if ! { "$cmake" -S "$src" -B "$dir" -G "$generator" -DCMAKE_BUILD_TYPE=Release \
        -DKESTRUNE_BUILD_TESTS=OFF "$@" && "$cmake" --build "$dir" -j 2; } >"$dir.log" 2>&1; then
        cat "$dir.log" >&2
        fail "release build in $dir failed"
    fi
}
# pack DIR: the package of the build in DIR, written to $work/packages/DIR's name.
pack() {
    out=$work/packages/$(basename "$1")
    if ! "$cpack" -G "$package" --config "$1/CPackConfig.cmake" -B "$out" >"$out.log" 2>&1; then
        cat "$out.log" >&2
        fail "cpack -G $package for $1 failed"
    fi
    ls "$out"/*."$(printf '%s' "$package" | tr '[:upper:]' '[:lower:]')"
}
mkdir "$work/packages"
if [ "$first" = - ]; then
    first=$work/first
    build "$first" "$source" "$@"
elif ! "$cmake" --build "$first" -j 2 >"$work/first.log" 2>&1; then
    # Brought up to date: a commit since it was built changes SOURCE_DATE_EPOCH.
    cat "$work/first.log" >&2
    fail "building $first failed"
fi
build "$work/second-build" "$work/linked-source" "$@"

cmp "$first/$program" "$work/second-build/$program" || fail "the two $program files differ"
# Every package of the first build (DEB: kestrune, libkestrune-dev, ...) equals the
# second build's of the same name.
pack "$first" >"$work/first-packages"
pack "$work/second-build" >"$work/second-packages"
[ "$(wc -l <"$work/first-packages")" = "$(wc -l <"$work/second-packages")" ] ||
    fail "the builds made different packages"
mkdir "$work/unpacked"
names=
while read -r first_package; do
    name=$(basename "$first_package")
    [ -f "$work/packages/second-build/$name" ] || fail "the second build made no $name"
    cmp "$first_package" "$work/packages/second-build/$name" || fail "the two $name differ"
    case $package in
    DEB) dpkg-deb -x "$first_package" "$work/unpacked" ;;
    ZIP) (cd "$work/unpacked" && "$cmake" -E tar xf "$first_package") ;;
    esac
    names="$names $name"
done <"$work/first-packages"
for path in "$source" "$work"; do
    if grep -rlF "$path" "$first/$program" "$work/unpacked"; then
        fail "the files above hold the build path $path"
    fi
done
echo "two builds: identical $program ($(wc -c <"$first/$program") bytes) and$names"
