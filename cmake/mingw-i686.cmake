# SPDX-License-Identifier: MIT
# 32-bit Windows (x86) with MinGW-w64, run through 32-bit Wine (wine32:i386).
set(KESTRUNE_MINGW_TRIPLE i686-w64-mingw32)
set(CMAKE_SYSTEM_PROCESSOR x86)
set(KESTRUNE_WINE_LOADER /usr/lib/wine/wine)
include(${CMAKE_CURRENT_LIST_DIR}/mingw.cmake)
