#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Installs what the benchmarks compare Kestrune with, from Debian and npm only:
#   apt  libxml2, gumbo and MyHTML (libmodest) with their headers and a C compiler,
#        for the peer programs of bench/peers/ and the in-process benchmark; xmllint;
#        lxml and BeautifulSoup for Python; Google Benchmark and pkg-config; node
#   npm  htmlparser2 and cheerio, pinned, into NPM_DIR
# Usage (as root): bench/setupPeers.sh [NPM_DIR]
#   NPM_DIR  where npm installs (default: $KBENCH_NPM_DIR, else ${TMPDIR:-/tmp}/kestrune-npm);
#            bench/compare.py looks there too.
# A peer that does not install is reported and left out of the comparisons.
set -uo pipefail
npm_dir=${1:-${KBENCH_NPM_DIR:-${TMPDIR:-/tmp}/kestrune-npm}}
apt_packages=(gcc libc6-dev pkg-config libxml2-dev libgumbo-dev libmodest-dev libxml2-utils
              python3-lxml python3-cssselect python3-bs4 libbenchmark-dev)
npm_packages=(htmlparser2@12.0.0 cheerio@1.2.0)
# node and npm from Debian unless some other node (which brings its own npm) is there.
command -v node >/dev/null || apt_packages+=(nodejs)
command -v npm >/dev/null || apt_packages+=(npm)

missing=()
for package in "${apt_packages[@]}"; do
    dpkg -s "$package" >/dev/null 2>&1 || missing+=("$package")
done
if [ ${#missing[@]} -gt 0 ]; then
    export DEBIAN_FRONTEND=noninteractive
    apt-get update -q && apt-get install -y -q --no-install-recommends "${missing[@]}" ||
        echo "warning: apt-get could not install all of: ${missing[*]}" >&2
fi
if command -v npm >/dev/null; then
    mkdir -p "$npm_dir" &&
        npm install --prefix "$npm_dir" --no-audit --no-fund --silent "${npm_packages[@]}" ||
        echo "warning: npm could not install ${npm_packages[*]}; they are left out" >&2
fi

for package in libxml2-dev libgumbo-dev libmodest-dev libxml2-utils python3-lxml python3-cssselect python3-bs4 nodejs; do
    printf '%-16s %s\n' "$package" "$(dpkg-query -W -f='${Version}' "$package" 2>/dev/null || echo missing)"
done
for module in htmlparser2 cheerio; do
    printf '%-16s %s\n' "$module" \
        "$(node -p "require('$npm_dir/node_modules/$module/package.json').version" 2>/dev/null || echo missing)"
done
