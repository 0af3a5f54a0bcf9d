#!/bin/sh
# SPDX-License-Identifier: MIT
# The package python3-kestrune as CPack makes it: its control fields (the Python
# version range it was built for, Dask suggested), its files in Debian's Python layout, lintian clean
# where lintian is installed, and the module unpacked from it importable by PYTHON and
# giving the documented first result. With REFERENCE "python" (or a list holding it)
# the package also holds the Python API reference as built in BUILD_DIR/reference/python,
# pages that load no script.
#
# Usage: packageTest.sh CPACK BUILD_DIR SOURCE_DIR PYTHON [REFERENCE]. Exits 77 (skipped)
# without dpkg-dev.
set -eu

cpack=$1
build=$2
source=$3
python=$4
reference=${5:-}

. "$source/tests/package/common.sh"
need_tools dpkg dpkg-deb dpkg-shlibdeps

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

if ! "$cpack" -G DEB --config "$build/CPackConfig.cmake" -B "$work/out" >"$work/cpack.log" 2>&1; then
    cat "$work/cpack.log" >&2
    fail "cpack -G DEB failed"
fi
deb=$(ls "$work"/out/python3-kestrune_*_"$(dpkg --print-architecture)".deb 2>/dev/null) ||
    fail "cpack did not write python3-kestrune_VERSION_ARCH.deb: $(ls "$work/out")"

field() { dpkg-deb --field "$deb" "$1"; }
[ "$(field Section)" = python ] || fail "Section is '$(field Section)'"
version=$("$python" -c 'import sys; print("%d.%d" % sys.version_info[:2])')
next=$("$python" -c 'import sys; print("%d.%d" % (sys.version_info[0], sys.version_info[1] + 1))')
case $(field Depends) in
"python3 (>= $version), python3 (<< $next), libc6 (>= "*) ;;
*) fail "Depends is '$(field Depends)', not the Python $version range and the libraries" ;;
esac
[ "$(field Suggests)" = python3-distributed ] || fail "Suggests is '$(field Suggests)'"

dpkg-deb --contents "$deb" | awk '$1 ~ /^-/ { print $1, $2, $6 }' |
    sed 's/cpython-[0-9]*-[a-z0-9_-]*\.so$/TAG.so/' | LC_ALL=C sort -k3 >"$work/contents"
docdir=./usr/share/doc/python3-kestrune
{
    cat <<'LIST'
-rw-r--r-- root/root ./usr/lib/python3/dist-packages/kestrune/__init__.py
-rw-r--r-- root/root ./usr/lib/python3/dist-packages/kestrune/__init__.pyi
-rw-r--r-- root/root ./usr/lib/python3/dist-packages/kestrune/_kestrune.TAG.so
-rw-r--r-- root/root ./usr/lib/python3/dist-packages/kestrune/dask.py
-rw-r--r-- root/root ./usr/lib/python3/dist-packages/kestrune/py.typed
-rw-r--r-- root/root ./usr/share/doc/python3-kestrune/changelog.Debian.gz
-rw-r--r-- root/root ./usr/share/doc/python3-kestrune/changelog.gz
-rw-r--r-- root/root ./usr/share/doc/python3-kestrune/copyright
-rw-r--r-- root/root ./usr/share/lintian/overrides/python3-kestrune
LIST
    case ";$reference;" in
    *";python;"*)
        (cd "$build/reference/python" && find . -type f) |
            sed "s|^\./|-rw-r--r-- root/root $docdir/reference/|"
        ;;
    esac
} | LC_ALL=C sort -k3 >"$work/expected"
diff -u "$work/expected" "$work/contents" || fail "the package's files differ"

if command -v lintian >/dev/null 2>&1; then
    lintian --fail-on error,warning "$deb" || fail "lintian finds fault with $(basename "$deb")"
fi

dpkg-deb -x "$deb" "$work/root"
found=$(cd "$work" && PYTHONPATH="$work/root/usr/lib/python3/dist-packages" "$python" -c \
    "import kestrune; print(kestrune.extract(b'<html><a href=x>y</a></html>', 'a', ['href']))")
[ "$found" = "[{'text': 'y', 'href': 'x'}]" ] || fail "the unpacked module printed '$found'"
case ";$reference;" in
*";python;"*)
    pages=$work/root/${docdir#./}/reference
    diff -r "$build/reference/python" "$pages" >&2 || fail "the installed Python reference differs"
    grep -q 'kestrune.Element' "$pages/index.html" || fail "the Python reference lacks kestrune.Element"
    ! grep -rl '<script' "$pages" >&2 || fail "Python reference pages load scripts (above)"
    ;;
esac
echo "python3-kestrune: fields, files, lintian and the unpacked module as expected"
