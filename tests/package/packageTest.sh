#!/bin/sh
# SPDX-License-Identifier: MIT
# The Debian package as a user gets it: built by CPack from the build directory,
# its control fields and file list checked, lintian run on it when installed,
# unpacked into a temporary root, its documentation compared with the sources,
# and the installed program run on the sample page, output compared byte for byte.
#
# Usage: packageTest.sh CPACK BUILD_DIR SOURCE_DIR VERSION LINKAGE
# VERSION is the program's; the package's is VERSION-REVISION. LINKAGE is how the
# program was linked: "static" (it needs no library, so the package depends on
# nothing), "runtime" (it carries its own C++ runtime and needs libc6 alone) or
# "dynamic". Exits 77 (skipped) without dpkg-dev.
set -eu

cpack=$1
build=$2
source=$3
version=$4
linkage=$5

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
deb=$(ls "$work"/out/kestrune_"$version"-*_"$(dpkg --print-architecture)".deb 2>/dev/null) ||
    fail "cpack did not write kestrune_${version}-REVISION_ARCH.deb: $(ls "$work/out")"

# Control fields.
field() { dpkg-deb --field "$deb" "$1"; }
[ "$(field Package)" = kestrune ] || fail "Package is '$(field Package)'"
package_version=$(field Version)
case $package_version in
"$version"-[0-9]*) ;;
*) fail "Version is '$package_version', not $version-REVISION" ;;
esac
[ "$(basename "$deb")" = "kestrune_${package_version}_$(dpkg --print-architecture).deb" ] ||
    fail "file name $(basename "$deb") does not carry the version $package_version"
depends=$(field Depends)
case $linkage:$depends in
static:) ;;
static:*) fail "Depends is '$depends': a static program needs no package" ;;
runtime:*,*) fail "Depends is '$depends': the program should need libc6 alone" ;;
runtime:libc6\ \(\>=\ *\) | dynamic:libc6\ \(\>=\ *\)*) ;;
*) fail "Depends is '$depends': dependencies were not computed from the binary" ;;
esac

# Exactly these files, owned by root, with the usual modes.
dpkg-deb --contents "$deb" | awk '{ print $1, $2, $6 }' >"$work/contents"
cat >"$work/expected-contents" <<'EOF'
drwxr-xr-x root/root ./usr/
drwxr-xr-x root/root ./usr/bin/
-rwxr-xr-x root/root ./usr/bin/kestrune
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
-rw-r--r-- root/root ./usr/share/man/man1/kestrune.1.gz
EOF
if ! cmp -s "$work/contents" "$work/expected-contents"; then
    diff "$work/expected-contents" "$work/contents" >&2 || true
    fail "unexpected package contents"
fi

# lintian: no error and no warning (informational tags are printed, not failed on).
if command -v lintian >/dev/null 2>&1; then
    lintian --info --fail-on error,warning "$deb" >&2 || fail "lintian reports errors or warnings (above)"
    lint="lintian clean"
else
    lint="lintian not installed, not run"
fi

root=$work/root
dpkg -x "$deb" "$root"
bin=$root/usr/bin/kestrune
page=$root/usr/share/man/man1/kestrune.1.gz

# The manual page: our page, compressed.
gzip -dc "$page" | cmp -s - "$source/man/kestrune.1" || fail "installed manual page differs from man/kestrune.1"

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

echo "package $(basename "$deb"): Depends: $depends; $lint; files and installed program as expected"
