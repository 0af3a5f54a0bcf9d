// SPDX-License-Identifier: MIT
// Internal to the POSIX sources of the platform layer (platformPosix.cpp and
// outputFilePosix.cpp): the file helpers both use.
#pragma once

#include <sys/stat.h>

#include <cstddef>
#include <string>
#include <string_view>

namespace kestrune::platform::detail {

// Both describe the same file.
inline bool sameFile(const struct stat& a, const struct stat& b) {
    return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

// The real path of a file, empty when it cannot be found.
std::string realPath(const std::string& path);

// What the symbolic link `link` holds, never cut short: a result that fills the
// buffer is read again with a larger one, up to `largest` bytes. Empty when the
// system does not say, or when the result is longer.
std::string linkTarget(const std::string& link, std::size_t largest);

// The descriptor a path names by the system's names for the process's own
// descriptors: /dev/stdin, /dev/stdout and /dev/stderr (0, 1, 2), /dev/fd/N and
// /proc/self/fd/N, N in decimal digits without a leading zero, as the system lists
// them. -1 for every other path, a number past the largest descriptor included.
int descriptorNamed(std::string_view path);

}  // namespace kestrune::platform::detail
