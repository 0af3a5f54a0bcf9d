// SPDX-License-Identifier: MIT
// Internal to the platform layer: the few system calls each system implements
// (platformPosix.cpp, platformWindows.cpp) under which platformCommon.cpp writes
// the parts both share.
#pragma once

#include <cstddef>
#include <string_view>

namespace kestrune::platform::detail {

// A path the system can be asked about: not empty, no NUL inside.
inline bool usablePath(std::string_view path) {
    return !path.empty() && path.find('\0') == std::string_view::npos;
}

// A descriptor of the file at `path` (a usable path) opened read-only, or -1.
int openInput(std::string_view path);
// Closes a descriptor from openInput; -1 is left alone.
void closeInput(int fd);
// Moves to the start of the file; false when it cannot seek.
bool rewindInput(int fd);
// Reads up to `count` bytes (interrupted reads are retried): the bytes read, 0 at
// the end (a pipe whose writer has gone included), -1 on an error.
long long readInput(int fd, char* dst, std::size_t count);

// Writes every byte to an output file's descriptor; false on an error.
bool writeOutput(int fd, const char* bytes, std::size_t count);
// Makes the system's last error "disk full", for the output fault of the tests.
void noteDiskFull();

}  // namespace kestrune::platform::detail
