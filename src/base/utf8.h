// SPDX-License-Identifier: MIT
// Strict UTF-8 decoding: every ill-formed sequence becomes U+FFFD, one per maximal
// ill-formed subpart (the longest prefix of a well-formed sequence that is cut short),
// as common decoders do. Overlong forms, surrogates and 5- or 6-byte forms are ill-formed.
#pragma once

#include <cstddef>
#include <string>
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
    if (b0 < 0xC2 || b0 > 0xF4) {
        ++p;  // continuation byte, C0, C1 or F5-FF: never the start of a character
        return kReplacementChar;
    }
    // Sequence length and second-byte range by lead byte (Unicode table 3-7). The
    // range is tested in branches: in a run of characters of one script they are
    // always taken the same way.
    const int extra = b0 >= 0xF0 ? 3 : b0 >= 0xE0 ? 2 : 1;
    char32_t cp = b0 & (0x3F >> extra);
    unsigned char lo = 0x80, hi = 0xBF;
    if (b0 == 0xE0) lo = 0xA0;
    if (b0 == 0xED) hi = 0x9F;
    if (b0 == 0xF0) lo = 0x90;
    if (b0 == 0xF4) hi = 0x8F;
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

// Moves p past one sequence of [p, end) (p < end); false when the sequence is
// ill-formed (a U+FFFD written out in the text is well-formed).
inline bool passUtf8Sequence(const unsigned char*& p, const unsigned char* end) {
    const unsigned char* from = p;
    return decodeUtf8(p, end) != kReplacementChar || (p - from == 3 && from[0] == 0xEF);
}

// True when decoding the text changes nothing: every sequence in it is well-formed
// UTF-8 (U+FFFD itself included). Runs of ASCII are passed over sixteen bytes at a time.
inline bool isWellFormedUtf8(std::string_view text) {
    auto* p = reinterpret_cast<const unsigned char*>(text.data());
    auto* end = p + text.size();
    while (p < end) {
        p += asciiRunLength(reinterpret_cast<const char*>(p), static_cast<std::size_t>(end - p));
        if (p == end) break;
        if (!passUtf8Sequence(p, end)) return false;
    }
    return true;
}

// Appends the UTF-8 form of `cp`; a surrogate, zero or a value beyond U+10FFFF is
// written as U+FFFD.
inline void appendUtf8(std::string& out, char32_t cp) {
    if (cp == 0 || (cp >= 0xD800 && cp <= 0xDFFF) || cp > 0x10FFFF) cp = kReplacementChar;
    if (cp < 0x80) {
        out.push_back(static_cast<char>(cp));
        return;
    }
    char bytes[4];
    int n = cp < 0x800 ? 2 : cp < 0x10000 ? 3 : 4;
    for (int i = n - 1; i > 0; --i, cp >>= 6) bytes[i] = static_cast<char>(0x80 | (cp & 0x3F));
    bytes[0] = static_cast<char>((0xF00u >> n) | cp);
    out.append(bytes, static_cast<std::size_t>(n));
}

}  // namespace kestrune
