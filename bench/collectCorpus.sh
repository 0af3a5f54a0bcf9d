#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Builds a corpus of real pages from the HTML documentation a Debian machine has
# installed: for each documentation package, its largest pages and one of middle size,
# copied byte for byte into DEST with a MANIFEST.txt (file, bytes, sha256, package and
# version, installed path).
#
# Usage: bench/collectCorpus.sh [--install] DEST [PACKAGE...]
#   --install  first install the packages with apt-get (root; several hundred MB for
#              the default list, openjdk-17-doc and ghc-doc being the largest)
#   PACKAGE    documentation packages to take pages from (default: the list below);
#              a package that is not installed is skipped with a note.
# The pages stay what they are: documentation under their packages' licences
# (/usr/share/doc/PACKAGE/copyright); keep the corpus out of the repository.
set -euo pipefail

install=0
if [ "${1:-}" = --install ]; then
    install=1
    shift
fi
dest=${1:?usage: collectCorpus.sh [--install] DEST [PACKAGE...]}
shift
packages=("$@")
if [ ${#packages[@]} -eq 0 ]; then
    packages=(python3.11-doc bash-doc r-doc-html sqlite3-doc postgresql-doc-15 git-doc
              debian-reference-en apache2-doc libstdc++-12-doc openjdk-17-doc ghc-doc)
fi
per_package=${KBENCH_PAGES_PER_PACKAGE:-3}

if [ $install = 1 ]; then
    DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends "${packages[@]}"
fi

mkdir -p "$dest"
manifest=$dest/MANIFEST.txt
echo "# file | bytes | sha256 | package=version | installed path" >"$manifest"
for package in "${packages[@]}"; do
    if [ "$(dpkg-query -W -f='${db:Status-Status}' "$package" 2>/dev/null)" != installed ]; then
        echo "note: $package is not installed, skipped" >&2
        continue
    fi
    version=$(dpkg-query -W -f='${Version}' "$package")
    # The package's HTML pages, largest first (no symbolic links, nothing empty).
    mapfile -t pages < <(dpkg -L "$package" | grep -E '\.html?$' | while read -r path; do
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
        name="$package-$(basename "$(dirname "$path")")-$(basename "$path")"
        cp "$path" "$dest/$name"
        chmod 644 "$dest/$name"
        printf '%s | %s | %s | %s=%s | %s\n' "$name" "$(stat -c %s "$path")" \
            "$(sha256sum <"$path" | cut -d' ' -f1)" "$package" "$version" "$path" >>"$manifest"
    done
    echo "$package $version: ${#chosen[@]} of ${#pages[@]} pages" >&2
done
echo "corpus: $(($(wc -l <"$manifest") - 1)) pages in $dest" >&2
