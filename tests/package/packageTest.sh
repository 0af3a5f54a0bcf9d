#!/bin/sh
# SPDX-License-Identifier: MIT
# The Debian packages as a user gets them, kestrune and libkestrune-dev: built by
# CPack from the build directory, their control fields and file lists checked,
# lintian run on them when installed, unpacked into a temporary root, their
# documentation compared with the sources, and the installed program run on the
# sample page, output compared byte for byte (examples/library/check.sh builds
# programs against the installed library).
#
# Usage: packageTest.sh CPACK BUILD_DIR SOURCE_DIR VERSION LINKAGE [REFERENCE]
# VERSION is the program's; the package's is VERSION-REVISION. LINKAGE is how the
# program was linked: "static" (it needs no library, so the package depends on
# nothing), "runtime" (it carries its own C++ runtime and needs libc6 alone) or
# "dynamic". REFERENCE is "cpp" (or a list holding it) when the build makes the C++
# API reference: libkestrune-dev then holds it, as built in BUILD_DIR/reference/cpp,
# a page for each public header among it. Exits 77 (skipped) without dpkg-dev.
set -eu

cpack=$1
build=$2
source=$3
version=$4
linkage=$5
reference=${6:-}

. "$(dirname "$0")/common.sh"
need_tools dpkg dpkg-deb dpkg-shlibdeps gzip

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# The package goes to the temporary directory, not next to the one the README's
# `cpack` makes in the build directory.
if ! "$cpack" -G DEB --config "$build/CPackConfig.cmake" -B "$work/out" >"$work/cpack.log" 2>&1; then
    cat "$work/cpack.log" >&2
    fail "cpack -G DEB failed"
fi
arch=$(dpkg --print-architecture)
# Besides python3-kestrune, when the Python module is built (tests/python checks it).
[ "$(ls "$work/out"/*.deb | grep -cv '/python3-kestrune_')" = 2 ] ||
    fail "cpack should write two packages: $(ls "$work/out")"

# package NAME SECTION: prints the path of package NAME after checking its control
# fields and its file name (NAME_VERSION-REVISION_ARCH.deb).
package() {
    found=$(ls "$work"/out/"$1"_"$version"-*_"$arch".deb 2>/dev/null) ||
        fail "cpack did not write $1_${version}-REVISION_ARCH.deb: $(ls "$work/out")"
    [ "$(dpkg-deb --field "$found" Package)" = "$1" ] || fail "$found: Package is not $1"
    [ "$(dpkg-deb --field "$found" Section)" = "$2" ] || fail "$found: Section is not $2"
    found_version=$(dpkg-deb --field "$found" Version)
    case $found_version in
    "$version"-[0-9]*) ;;
    *) fail "$1: Version is '$found_version', not $version-REVISION" ;;
    esac
    [ "$(basename "$found")" = "$1_${found_version}_$arch.deb" ] ||
        fail "file name $(basename "$found") does not carry the version $found_version"
    echo "$found"
}
deb=$(package kestrune utils)
dev_deb=$(package libkestrune-dev libdevel)
package_version=$(dpkg-deb --field "$deb" Version)
depends=$(dpkg-deb --field "$deb" Depends)
case $linkage:$depends in
static:) ;;
static:*) fail "Depends is '$depends': a static program needs no package" ;;
runtime:*,*) fail "Depends is '$depends': the program should need libc6 alone" ;;
runtime:libc6\ \(\>=\ *\) | dynamic:libc6\ \(\>=\ *\)*) ;;
*) fail "Depends is '$depends': dependencies were not computed from the binary" ;;
esac

# reference_listing DIR DESTINATION: the package's lines for the folder DIR installed
# as DESTINATION, in name order.
reference_listing() {
    echo "drwxr-xr-x root/root $2/"
    (cd "$1" && find . -mindepth 1 \( -type d -printf '%p/\n' -o -printf '%p\n' \)) |
        LC_ALL=C sort | sed -e "s|^\./|$2/|" \
        -e '/\/$/{s|^|drwxr-xr-x root/root |;b' -e '}' -e 's|^|-rw-r--r-- root/root |'
}

# Exactly these files, owned by root, with the usual modes.
# contents DEB: its list compared with $work/expected-contents.
contents() {
    dpkg-deb --contents "$1" | awk '{ print $1, $2, $6 }' >"$work/contents"
    if ! cmp -s "$work/contents" "$work/expected-contents"; then
        diff "$work/expected-contents" "$work/contents" >&2 || true
        fail "unexpected contents of $(basename "$1")"
    fi
}
cat >"$work/expected-contents" <<'EOF'
drwxr-xr-x root/root ./usr/
drwxr-xr-x root/root ./usr/bin/
-rwxr-xr-x root/root ./usr/bin/kestrune
-rwxr-xr-x root/root ./usr/bin/kestrune-select
drwxr-xr-x root/root ./usr/share/
drwxr-xr-x root/root ./usr/share/doc/
drwxr-xr-x root/root ./usr/share/doc/kestrune/
-rw-r--r-- root/root ./usr/share/doc/kestrune/changelog.Debian.gz
-rw-r--r-- root/root ./usr/share/doc/kestrune/changelog.gz
-rw-r--r-- root/root ./usr/share/doc/kestrune/copyright
drwxr-xr-x root/root ./usr/share/lintian/
drwxr-xr-x root/root ./usr/share/lintian/overrides/
-rw-r--r-- root/root ./usr/share/lintian/overrides/kestrune
drwxr-xr-x root/root ./usr/share/man/
drwxr-xr-x root/root ./usr/share/man/man1/
-rw-r--r-- root/root ./usr/share/man/man1/kestrune-select.1.gz
-rw-r--r-- root/root ./usr/share/man/man1/kestrune.1.gz
EOF
contents "$deb"

# The library: every public header of include/kestrune (and its detail/) and the generated version.h,
# the archive, the CMake package and the pkg-config file in the multiarch directory.
multiarch=$(dpkg-architecture -qDEB_HOST_MULTIARCH 2>/dev/null)
lib=./usr/lib/$multiarch
{
    echo "drwxr-xr-x root/root ./usr/"
    echo "drwxr-xr-x root/root ./usr/include/"
    echo "drwxr-xr-x root/root ./usr/include/kestrune/"
    (cd "$source/include/kestrune" && ls -- *.h detail/*.h && echo version.h && echo detail/) |
        LC_ALL=C sort | sed -e '/\/$/{s|^|drwxr-xr-x root/root ./usr/include/kestrune/|;b' -e '}' \
        -e 's|^|-rw-r--r-- root/root ./usr/include/kestrune/|'
    echo "drwxr-xr-x root/root ./usr/lib/"
    echo "drwxr-xr-x root/root $lib/"
    echo "drwxr-xr-x root/root $lib/cmake/"
    echo "drwxr-xr-x root/root $lib/cmake/Kestrune/"
    for file in KestruneConfig.cmake KestruneConfigVersion.cmake KestruneTargets-release.cmake \
        KestruneTargets.cmake; do
        echo "-rw-r--r-- root/root $lib/cmake/Kestrune/$file"
    done
    echo "-rw-r--r-- root/root $lib/libkestrune.a"
    echo "drwxr-xr-x root/root $lib/pkgconfig/"
    echo "-rw-r--r-- root/root $lib/pkgconfig/kestrune.pc"
    echo "drwxr-xr-x root/root ./usr/share/"
    echo "drwxr-xr-x root/root ./usr/share/doc/"
    echo "drwxr-xr-x root/root ./usr/share/doc/libkestrune-dev/"
    for file in changelog.Debian.gz changelog.gz copyright; do
        echo "-rw-r--r-- root/root ./usr/share/doc/libkestrune-dev/$file"
    done
    case ";$reference;" in
    *";cpp;"*) reference_listing "$build/reference/cpp" ./usr/share/doc/libkestrune-dev/reference ;;
    esac
    echo "drwxr-xr-x root/root ./usr/share/lintian/"
    echo "drwxr-xr-x root/root ./usr/share/lintian/overrides/"
    echo "-rw-r--r-- root/root ./usr/share/lintian/overrides/libkestrune-dev"
} >"$work/expected-contents"
contents "$dev_deb"
[ -z "$(dpkg-deb --field "$dev_deb" Depends)" ] || fail "libkestrune-dev should depend on nothing"

# lintian: no error and no warning (informational tags are printed, not failed on).
if command -v lintian >/dev/null 2>&1; then
    lintian --info --fail-on error,warning "$deb" "$dev_deb" >&2 ||
        fail "lintian reports errors or warnings (above)"
    lint="lintian clean"
else
    lint="lintian not installed, not run"
fi

root=$work/root
dpkg -x "$deb" "$root"
dpkg -x "$dev_deb" "$root"

# The library's files name the installed prefix and version, and the archive holds
# the product's objects without the command line's.
lib=$root/usr/lib/$multiarch
grep -qx "prefix=/usr" "$lib/pkgconfig/kestrune.pc" || fail "kestrune.pc does not name the prefix /usr"
grep -qx "Version: $version" "$lib/pkgconfig/kestrune.pc" || fail "kestrune.pc does not name $version"
grep -q "^#define KESTRUNE_VERSION_STRING \"$version\"$" "$root/usr/include/kestrune/version.h" ||
    fail "version.h does not name version $version"
ar t "$lib/libkestrune.a" >"$work/objects"
[ -s "$work/objects" ] || fail "libkestrune.a is empty"
for cli in "$source"/src/cli/*.cpp; do
    ! grep -qx "$(basename "$cli").o" "$work/objects" || fail "libkestrune.a holds $(basename "$cli").o"
done
for doc in copyright changelog.Debian.gz changelog.gz; do
    cmp -s "$root/usr/share/doc/kestrune/$doc" "$root/usr/share/doc/libkestrune-dev/$doc" ||
        fail "libkestrune-dev's $doc differs from kestrune's"
done
# The C++ reference as built, with a page for every public header and version.h.
case ";$reference;" in
*";cpp;"*)
    installed=$root/usr/share/doc/libkestrune-dev/reference
    diff -r "$build/reference/cpp" "$installed" >&2 || fail "the installed C++ reference differs"
    for header in "$source"/include/kestrune/*.h version.h; do
        name=$(basename "$header" .h)
        grep -q "<div class=\"title\">$name.h File Reference</div>" "$installed/${name}_8h.html" \
            2>/dev/null || fail "the C++ reference has no page for kestrune/$name.h"
    done
    ;;
esac

bin=$root/usr/bin/kestrune
page=$root/usr/share/man/man1/kestrune.1.gz

# The manual page: our page, compressed.
gzip -dc "$page" | cmp -s - "$source/man/kestrune.1" || fail "installed manual page differs from man/kestrune.1"
gzip -dc "$root/usr/share/man/man1/kestrune-select.1.gz" | cmp -s - "$source/man/kestrune-select.1" ||
    fail "installed manual page differs from man/kestrune-select.1"

# The documentation: the program's changelog, the package's changelog of this
# version, and the copyright file carrying the text of LICENSE.
doc=$root/usr/share/doc/kestrune
gzip -dc "$doc/changelog.gz" | cmp -s - "$source/CHANGELOG.md" || fail "changelog.gz differs from CHANGELOG.md"
gzip -dc "$doc/changelog.Debian.gz" | head -n 1 | grep -q "^kestrune ($package_version) " ||
    fail "changelog.Debian.gz does not begin with version $package_version"
sed -n 's/^ //p' "$doc/copyright" | sed 's/^\.$//' >"$work/licence"
tail -n +5 "$source/LICENSE" | cmp -s - "$work/licence" || fail "copyright does not hold the text of LICENSE"

# The installed program, run from a directory that is not its own.
[ -x "$bin" ] || fail "usr/bin/kestrune is not executable"
mkdir "$work/cwd"
cd "$work/cwd"

# run EXPECTED_STATUS EXPECTED_OUTPUT ARGS...: the output is compared byte for byte.
run() {
    want_status=$1
    want_output=$2
    shift 2
    printf '%s' "$want_output" >"$work/want"
    status=0
    "$bin" "$@" >"$work/got" 2>"$work/errors" || status=$?
    [ "$status" = "$want_status" ] || fail "kestrune $*: status $status, expected $want_status"
    [ ! -s "$work/errors" ] || fail "kestrune $*: wrote to standard error: $(cat "$work/errors")"
    if ! cmp -s "$work/got" "$work/want"; then
        od -c "$work/got" >&2
        fail "kestrune $*: unexpected output (above)"
    fi
}

cr=$(printf '\r')
sample=$source/examples/sample.html

run 1 "text=Home$cr
href=/$cr
title=$cr
text=News&events$cr
href=/news.html$cr
title=Latest$cr
text=Contact$cr
href=mailto:team@example.org$cr
title=$cr
" "$sample" -tag a -attr href,title

run 1 "$cr
Output File: ./links.json$cr
" "$sample" -tag a -attr href -o ./links.json
printf '%s' '{"a":[{"href":"/", "text":"Home"}, {"href":"/news.html", "text":"News&events"}, {"href":"mailto:team@example.org", "text":"Contact"}]}' >"$work/want"
cmp -s links.json "$work/want" || fail "links.json: $(cat links.json)"

# A bare name means the installed program's own directory, not the current one.
cp "$sample" "$root/usr/bin/page.html"
run 1 "doctype=html$cr
" page.html -tag '!doctype'

# The installed selector program.
printf '<html><body><p>One</p><p>Two</p></body></html>' >"$work/page.html"
got=$("$root/usr/bin/kestrune-select" p "$work/page.html") || fail "kestrune-select: status $?"
[ "$got" = "One
Two" ] || fail "kestrune-select: unexpected output: $got"

echo "packages $(basename "$deb") (Depends: $depends) and $(basename "$dev_deb"): $lint; files and installed program as expected"
