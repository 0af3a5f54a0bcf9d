# SPDX-License-Identifier: MIT
# Sourced by the package tests: fail MESSAGE, and need_tools TOOL... which exits 77
# (skipped) when one is missing; the tools asked for come with dpkg-dev.
fail() {
    echo "FAIL: $*" >&2
    exit 1
}

need_tools() {
    for tool in "$@"; do
        if ! command -v "$tool" >/dev/null 2>&1; then
            echo "SKIP: $tool is missing (apt-get install dpkg-dev)"
            exit 77
        fi
    done
}
