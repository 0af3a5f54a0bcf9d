# SPDX-License-Identifier: MIT
# 64-bit Windows (x64) with MinGW-w64, run through 64-bit Wine (wine64).
set(KESTRUNE_MINGW_TRIPLE x86_64-w64-mingw32)
set(CMAKE_SYSTEM_PROCESSOR AMD64)
set(KESTRUNE_WINE_LOADER /usr/lib/wine/wine64)
include(${CMAKE_CURRENT_LIST_DIR}/mingw.cmake)
