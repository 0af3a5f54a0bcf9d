# SPDX-License-Identifier: MIT
# Shared part of the MinGW-w64 cross toolchains (Debian's g++-mingw-w64-*-posix):
# the including file sets KESTRUNE_MINGW_TRIPLE and KESTRUNE_WINE_LOADER first.
# Programs are linked statically, so no DLL of the toolchain has to sit beside them,
# and run through Wine wherever CMake runs them (tests, test discovery).
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_C_COMPILER ${KESTRUNE_MINGW_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${KESTRUNE_MINGW_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER ${KESTRUNE_MINGW_TRIPLE}-windres)
set(CMAKE_FIND_ROOT_PATH /usr/${KESTRUNE_MINGW_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")

# One Wine prefix per build directory, made on first use, served by one persistent
# wineserver (cmake/wineRun.sh). The locale (LC_ALL) decides Wine's ANSI code page
# and is left to the caller: the test presets set zh_CN.UTF-8 (936).
set(KESTRUNE_WINEPREFIX "${CMAKE_BINARY_DIR}/wineprefix" CACHE PATH "Wine prefix of the tests")
set(CMAKE_CROSSCOMPILING_EMULATOR
    sh ${CMAKE_CURRENT_LIST_DIR}/wineRun.sh ${KESTRUNE_WINEPREFIX} ${KESTRUNE_WINE_LOADER})
