// SPDX-License-Identifier: MIT
// Internal to the platform layer: the few system calls each system implements
// (platformPosix.cpp and outputFilePosix.cpp, or platformWindows.cpp and
// outputFileWindows.cpp) under which platformCommon.cpp writes the parts both share.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "base/platform.h"

namespace kestrune::platform::detail {

// Appends the escape of a byte that does not convert (see codePageToUtf8): U+DC00 +
// byte in UTF-8's three-byte form.
inline void appendByteEscape(std::string& out, unsigned char byte) {
    out.push_back(static_cast<char>(0xED));
    out.push_back(static_cast<char>(0xB0 | (byte >> 6)));
    out.push_back(static_cast<char>(0x80 | (byte & 0x3F)));
}

// A path the system can be asked about: not empty, no NUL inside.
inline bool usablePath(std::string_view path) {
    return !path.empty() && path.find('\0') == std::string_view::npos;
}

// What a usable path names: nothing the system finds, a directory, or another file.
enum class PathKind { Missing, Directory, File };
PathKind pathKind(std::string_view path);

// A descriptor of the file at `path` (a usable path) opened read-only, or -1.
int openInput(std::string_view path);
// Closes a descriptor of an input or output file (-1 is left alone); false when the
// system reports an error.
bool closeFile(int fd);
// Moves to the start of the file; false when it cannot seek.
bool rewindInput(int fd);
// Reads up to `count` bytes (interrupted reads are retried): the bytes read, 0 at
// the end (a pipe whose writer has gone included), -1 on an error.
long long readInput(int fd, char* dst, std::size_t count);

// Opens the output file for `path`, a usable path (see OutputFile), and fills in
// `place`: the descriptor to write to, or -1 (the system's error set).
int openOutput(std::string_view path, OutputPlace& place);
// Makes the system's last error the one for a path that is not usable.
void noteUnusablePath();
// Writes every byte to an output file's descriptor; false on an error.
bool writeOutput(int fd, const char* bytes, std::size_t count);
// Makes the system's last error "disk full", for the output fault of the tests.
void noteDiskFull();
// Puts the finished temporary file of `place` in the target's place, in one
// atomic step; false (the system's error set) when that fails.
bool moveIntoPlace(const OutputPlace& place);
// Removes the temporary file of `place`, which was not put in place.
void removeTemporary(const OutputPlace& place);
// Lets go of `place`: the temporary file is no longer removed on a signal, the
// directory is closed, and `place` is empty again.
void releasePlace(OutputPlace& place);

// Whether this allocation is to be refused, for the allocation fault of the tests
// (counts the call).
bool allocationRefused();

}  // namespace kestrune::platform::detail
