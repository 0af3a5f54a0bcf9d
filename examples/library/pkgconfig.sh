#!/bin/sh
# SPDX-License-Identifier: MIT
# An example built against an installed Kestrune with pkg-config:
#   examples/library/pkgconfig.sh [OUTPUT [SOURCE]]   (default: ./links from main.cpp)
# PKG_CONFIG_PATH finds kestrune.pc outside the usual places; CXX names the compiler.
set -eu
here=$(dirname "$0")
${CXX:-c++} -std=c++20 -O2 $(pkg-config --cflags kestrune) -o "${1:-links}" "$here/${2:-main.cpp}" \
    $(pkg-config --libs kestrune)
