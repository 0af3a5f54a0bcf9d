#!/bin/sh
# SPDX-License-Identifier: MIT
# The library as a user gets it: the build directory installed into a staged root
# (DESTDIR), each installed header compiled on its own, the links and matches examples
# built against that root with find_package and with pkg-config, and the programs run
# on the sample page, their output compared.
# Usage: examples/library/check.sh [BUILD_DIR]   (default: build, after a build)
set -eu
here=$(cd "$(dirname "$0")" && pwd)
source=$(cd "$here/../.." && pwd)
build=$(cd "${1:-$source/build}" && pwd)
fail() {
    echo "FAIL: $*" >&2
    exit 1
}

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
stage=$work/stage
DESTDIR=$stage cmake --install "$build" >"$work/install.log" || { cat "$work/install.log"; fail "install"; }
prefix=$(sed -n 's/^CMAKE_INSTALL_PREFIX:PATH=//p' "$build/CMakeCache.txt")
compiler=$(sed -n 's/^CMAKE_CXX_COMPILER:[A-Z]*=//p' "$build/CMakeCache.txt")

# Every installed header compiles on its own, with nothing but the installed tree.
for header in "$stage$prefix"/include/kestrune/*.h; do
    printf '#include <kestrune/%s>\n' "$(basename "$header")" |
        "$compiler" -std=c++20 -fsyntax-only -I"$stage$prefix/include" -x c++ - ||
        fail "$(basename "$header") does not compile on its own"
done

printf '/\tHome\n/news.html\tNews & events\nmailto:team@example.org\tContact\n' >"$work/want"
printf 'a\tHome\na\tNews & events\n' >"$work/want-matches"
# run PROGRAM [SELECTOR]: its output on the sample page is the expected one (that of
# matches with a selector).
run() {
    want=$work/want
    [ $# -gt 1 ] && want=$work/want-matches
    "$1" "$source/examples/sample.html" ${2+"$2"} >"$work/got" || fail "$1 failed"
    cmp -s "$work/got" "$want" || { diff "$want" "$work/got" >&2; fail "$1: unexpected output"; }
}

# find_package, with the staged prefix as the only place to look.
generator=$(sed -n 's/^CMAKE_GENERATOR:INTERNAL=//p' "$build/CMakeCache.txt")
cmake -S "$here" -B "$work/cmake" -G "$generator" -DCMAKE_PREFIX_PATH="$stage$prefix" -DCMAKE_BUILD_TYPE=Release \
    -DCMAKE_CXX_COMPILER="$compiler" -DCMAKE_FIND_USE_SYSTEM_PACKAGE_REGISTRY=OFF \
    >"$work/cmake.log" 2>&1 || { cat "$work/cmake.log"; fail "configuring with find_package"; }
cmake --build "$work/cmake" >>"$work/cmake.log" 2>&1 || { cat "$work/cmake.log"; fail "building with find_package"; }
run "$work/cmake/links"
run "$work/cmake/matches" 'p.nav > a[href^="/"]'

# pkg-config: its paths are those of the real prefix, found below the stage.
pc=$(find "$stage$prefix" -name kestrune.pc)
[ -n "$pc" ] || fail "no kestrune.pc installed"
PKG_CONFIG_PATH=$(dirname "$pc") PKG_CONFIG_SYSROOT_DIR=$stage CXX=$compiler \
    "$here/pkgconfig.sh" "$work/links" >"$work/pkgconfig.log" 2>&1 ||
    { cat "$work/pkgconfig.log"; fail "building with pkg-config"; }
PKG_CONFIG_PATH=$(dirname "$pc") PKG_CONFIG_SYSROOT_DIR=$stage CXX=$compiler \
    "$here/pkgconfig.sh" "$work/matches" matches.cpp >>"$work/pkgconfig.log" 2>&1 ||
    { cat "$work/pkgconfig.log"; fail "building matches with pkg-config"; }
run "$work/links"
run "$work/matches" 'p.nav > a[href^="/"]'

echo "the links and matches examples, built against the staged install with find_package and with pkg-config, read the sample page"
