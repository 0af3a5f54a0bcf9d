// SPDX-License-Identifier: MIT
// Internal to src/html: UTF-8 to code page 936 (GBK) by table lookup, in place.
#pragma once

#include <cstddef>

namespace kestrune {

// Converts the UTF-8 text of `length` bytes at `text` in place and returns its new
// length (never larger). Each character the code page lacks, and each maximal
// ill-formed subpart of a sequence, becomes "?". The bytes are those the system
// converter gives (the table is generated from it).
std::size_t convertUtf8ToCodePage936(char* text, std::size_t length);

}  // namespace kestrune
