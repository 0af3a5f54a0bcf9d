// SPDX-License-Identifier: MIT
// Strict UTF-8 decoding: every ill-formed sequence becomes U+FFFD, one per maximal
// ill-formed subpart (the longest prefix of a well-formed sequence that is cut short),
// as common decoders do. Overlong forms, surrogates and 5- or 6-byte forms are ill-formed.
#pragma once

#include <cstddef>
#include <string_view>

#include "base/byteScan.h"

namespace kestrune {

inline constexpr char32_t kReplacementChar = 0xFFFD;

// Decodes one code point from [p, end) (p < end) and moves p past the bytes it used.
inline char32_t decodeUtf8(const unsigned char*& p, const unsigned char* end) {
    unsigned char b0 = p[0];
    if (b0 < 0x80) {
        ++p;
        return b0;
    }
    // Second-byte range and sequence length by lead byte (Unicode table 3-7).
    unsigned char lo = 0x80, hi = 0xBF;
    int extra;
    char32_t cp;
    if (b0 >= 0xC2 && b0 <= 0xDF) {
        extra = 1;
        cp = b0 & 0x1F;
    } else if (b0 >= 0xE0 && b0 <= 0xEF) {
        extra = 2;
        cp = b0 & 0x0F;
        if (b0 == 0xE0) lo = 0xA0;
        if (b0 == 0xED) hi = 0x9F;
    } else if (b0 >= 0xF0 && b0 <= 0xF4) {
        extra = 3;
        cp = b0 & 0x07;
        if (b0 == 0xF0) lo = 0x90;
        if (b0 == 0xF4) hi = 0x8F;
    } else {
        ++p;  // continuation byte, C0, C1 or F5-FF: never the start of a character
        return kReplacementChar;
    }
    const unsigned char* q = p + 1;
    for (int i = 0; i < extra; ++i, ++q) {
        if (q == end || *q < lo || *q > hi) {
            p = q;  // the maximal subpart ends before the offending byte
            return kReplacementChar;
        }
        cp = (cp << 6) | (*q & 0x3F);
        lo = 0x80;
        hi = 0xBF;
    }
    p = q;
    return cp;
}

// True when decoding the text changes nothing: every sequence in it is well-formed
// UTF-8 (U+FFFD itself included). Runs of ASCII are passed over sixteen bytes at a time.
inline bool isWellFormedUtf8(std::string_view text) {
    auto* p = reinterpret_cast<const unsigned char*>(text.data());
    auto* end = p + text.size();
    while (p < end) {
        p += asciiRunLength(reinterpret_cast<const char*>(p), static_cast<std::size_t>(end - p));
        if (p == end) break;
        const unsigned char* from = p;
        if (decodeUtf8(p, end) == kReplacementChar && !(p - from == 3 && from[0] == 0xEF)) {
            return false;
        }
    }
    return true;
}

}  // namespace kestrune
