// SPDX-License-Identifier: MIT
// Internal to the Windows sources of the platform layer (platformWindows.cpp and
// outputFileWindows.cpp): the system's header, without its min and max macros and
// its rarely used parts, and what both need of the system's handles.
#pragma once

#ifndef NOMINMAX
#define NOMINMAX
#endif
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

namespace kestrune::platform::detail {

// The handle kept as a C runtime descriptor opened with `flags` (_O_RDONLY,
// _O_WRONLY, _O_BINARY); -1, the handle closed, when that fails or the handle is
// invalid.
int descriptorOf(HANDLE handle, int flags);

}  // namespace kestrune::platform::detail
