// SPDX-License-Identifier: MIT
// Internal to src/html: UTF-8 to code page 936 (GBK) by table lookup, in place.
#pragma once

#include <cstddef>

#include "base/platform.h"

namespace kestrune {

// Converts the UTF-8 text of `length` bytes at `text` in place and returns its new
// length (never larger). Each character the code page lacks, and each maximal
// ill-formed subpart of a sequence, becomes "?". The bytes are those the system
// converter gives (the table is generated from it).
std::size_t convertUtf8ToCodePage936(char* text, std::size_t length);

// The table is that of the converter of the system it was generated on (glibc
// iconv); where the system converts with its own tables, the defined behaviour
// follows those.
inline constexpr bool kCodePage936TableIsSystemConverter = platform::kConverterIsIconv;

}  // namespace kestrune
