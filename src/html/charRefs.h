// SPDX-License-Identifier: MIT
// Character references: &lt; &amp; &gt; &apos; &quot; (case significant, ";" required)
// and numeric references &#NNN; / &#xHHH;. Used inside src/html and src/query.
#pragma once

#include <string>
#include <string_view>

namespace kestrune {

// The decoded form of `length` bytes at `bytes` (-1: up to the first NUL). The
// result is never longer than the input. A numeric reference needs its ";" within
// 8 bytes of the first digit and a non-zero value read as strtol reads it; its
// value is written as up to three UTF-8-style bytes of its low 16 bits, whatever the
// code page of the rest (values below 128, negative ones included, as one byte).
// Anything that is not a reference is copied unchanged.
std::string decodeReferences(const char* bytes, long length);

// Appends the decoded form of `text` to `out`.
void appendDecoded(std::string& out, std::string_view text);

}  // namespace kestrune
