#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Installs what the benchmarks compare Kestrune with: the peer libraries of the
# in-process benchmark (libxml2, gumbo, MyHTML from libmodest) with Google Benchmark
# and pkg-config, xmllint, and node's htmlparser2 from npm for the whole-run comparison.
# Usage (as root): bench/setupPeers.sh [NPM_DIR]
#   NPM_DIR  where npm installs htmlparser2 (default: $KBENCH_NPM_DIR, else
#            ${TMPDIR:-/tmp}/kestrune-npm); bench/compare.py looks there too.
# A peer that does not install is reported and left out of the comparisons.
set -uo pipefail
npm_dir=${1:-${KBENCH_NPM_DIR:-${TMPDIR:-/tmp}/kestrune-npm}}
apt_packages=(libxml2-dev libgumbo-dev libmodest-dev libbenchmark-dev pkg-config libxml2-utils)
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
        npm install --prefix "$npm_dir" --no-audit --no-fund --silent htmlparser2@12.0.0 ||
        echo "warning: npm could not install htmlparser2; it is left out" >&2
fi

for package in libxml2-dev libgumbo-dev libmodest-dev libxml2-utils nodejs; do
    printf '%-16s %s\n' "$package" "$(dpkg-query -W -f='${Version}' "$package" 2>/dev/null || echo missing)"
done
printf '%-16s %s\n' htmlparser2 \
    "$(node -p "require('$npm_dir/node_modules/htmlparser2/package.json').version" 2>/dev/null || echo missing)"
