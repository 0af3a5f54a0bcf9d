// SPDX-License-Identifier: MIT
// Internal to the Windows sources of the platform layer (platformWindows.cpp and
// outputFileWindows.cpp): what both need of the system's handles.
#pragma once

namespace kestrune::platform::detail {

// The handle (a HANDLE) kept as a C runtime descriptor opened with `flags`
// (_O_RDONLY, _O_WRONLY, _O_BINARY); -1, the handle closed, when that fails or the
// handle is invalid.
int descriptorOf(void* handle, int flags);

}  // namespace kestrune::platform::detail
