#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Builds a corpus of real pages from the HTML documentation a Debian machine has
# installed: for each documentation package, its largest pages and one of middle size,
# copied byte for byte into DEST with a MANIFEST.txt (file, bytes, sha256, package and
# version, installed path).
#
# Usage: bench/collectCorpus.sh [--install | --tree ROOT] DEST [PACKAGE...]
#   --install  first install the packages with apt-get (root; several hundred MB for
#              the default list, openjdk-17-doc and ghc-doc being the largest)
#   --tree ROOT  take the pages from the folders ROOT/PACKAGE instead of installed
#              packages (any machine; every folder of ROOT when no PACKAGE is named)
#   PACKAGE    documentation packages to take pages from (default: the list below);
#              a package that is not installed is skipped with a note.
# A page's name is its package and its path inside the package's documentation, with
# "-" for "/" (python3.11-doc-python3.11-html-library-os.html), so that pages of the same name in
# different folders stay apart; the count printed at the end is that of the pages written.
# The pages stay what they are: documentation under their packages' licences
# (/usr/share/doc/PACKAGE/copyright); keep the corpus out of the repository.
set -euo pipefail

install=0
tree=
case "${1:-}" in
--install) install=1 && shift ;;
--tree) tree=${2:?--tree needs a folder} && shift 2 ;;
esac
dest=${1:?usage: collectCorpus.sh [--install | --tree ROOT] DEST [PACKAGE...]}
shift
packages=("$@")
if [ -n "$tree" ] && [ ${#packages[@]} -eq 0 ]; then
    mapfile -t packages < <(find "$tree" -mindepth 1 -maxdepth 1 -type d -printf '%f\n' | sort)
elif [ ${#packages[@]} -eq 0 ]; then
    packages=(python3.11-doc bash-doc r-doc-html sqlite3-doc postgresql-doc-15 git-doc
              debian-reference-en apache2-doc libstdc++-12-doc openjdk-17-doc ghc-doc)
fi
per_package=${KBENCH_PAGES_PER_PACKAGE:-3}

if [ $install = 1 ]; then
    DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends "${packages[@]}"
fi

# The files of a package: those dpkg installed, or those of its folder under --tree.
files() {
    if [ -n "$tree" ]; then
        find "$tree/$1" -type f
    else
        dpkg -L "$1"
    fi
}

# A page's name: the package, then the path below /usr/share/doc (or /usr/share) without
# a first folder of the package's own name, "/" turned into "-".
pageName() {
    local package=$1 path=$2 inside
    if [ -n "$tree" ]; then
        inside=${path#"$tree/$package/"}
    else
        inside=${path#/usr/share/}
        inside=${inside#doc/}
        inside=${inside#"$package"/}
    fi
    printf '%s-%s' "$package" "${inside//\//-}"
}

mkdir -p "$dest"
manifest=$dest/MANIFEST.txt
echo "# file | bytes | sha256 | package=version | installed path" >"$manifest"
written=0
declare -A taken=()
for package in "${packages[@]}"; do
    if [ -n "$tree" ]; then
        version=tree
    elif [ "$(dpkg-query -W -f='${db:Status-Status}' "$package" 2>/dev/null)" != installed ]; then
        echo "note: $package is not installed, skipped" >&2
        continue
    else
        version=$(dpkg-query -W -f='${Version}' "$package")
    fi
    # The package's HTML pages, largest first (no symbolic links, nothing empty).
    mapfile -t pages < <(files "$package" | grep -E '\.html?$' | while read -r path; do
        [ -f "$path" ] && [ ! -L "$path" ] && [ -s "$path" ] && printf '%s %s\n' "$(stat -c %s "$path")" "$path"
    done | sort -k1,1nr -k2 | cut -d' ' -f2-)
    if [ ${#pages[@]} -eq 0 ]; then
        echo "note: $package has no HTML page" >&2
        continue
    fi
    chosen=("${pages[@]:0:$per_package}")
    middle=${pages[$((${#pages[@]} / 2))]}
    [[ " ${chosen[*]} " == *" $middle "* ]] || chosen+=("$middle")
    for path in "${chosen[@]}"; do
        name=$(pageName "$package" "$path")
        # "a-b/c.html" and "a/b-c.html" would still meet: number the later one.
        base=$name n=1
        while [ -n "${taken[$name]:-}" ]; do
            n=$((n + 1)) && name="${base%.*}-$n.${base##*.}"
        done
        taken[$name]=1
        cp "$path" "$dest/$name"
        chmod 644 "$dest/$name"
        printf '%s | %s | %s | %s=%s | %s\n' "$name" "$(stat -c %s "$path")" \
            "$(sha256sum <"$path" | cut -d' ' -f1)" "$package" "$version" "$path" >>"$manifest"
        written=$((written + 1))
    done
    echo "$package $version: ${#chosen[@]} of ${#pages[@]} pages" >&2
done
echo "corpus: $written pages in $dest" >&2
