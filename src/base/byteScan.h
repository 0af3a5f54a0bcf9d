// SPDX-License-Identifier: MIT
// Scanning text for a few byte values at once, sixteen bytes per step where the
// processor has SSE2 (every x86-64 does), one byte per step elsewhere.
#pragma once

#include <bit>
#include <cstddef>

#include "base/asciiTable.h"
#include "base/compiler.h"

#if KESTRUNE_HAS_SSE2
#include <emmintrin.h>
#endif

namespace kestrune {

namespace byte_scan_detail {

// Visits the places of the sixteen-byte block at `base` whose bits are set in
// `mask`, in order, as long as visit resumes inside the block; returns where
// scanning goes on.
template <typename Visit>
std::size_t visitBlock(std::size_t base, unsigned mask, Visit& visit) {
    while (mask != 0) {
        std::size_t resume = visit(base + static_cast<std::size_t>(std::countr_zero(mask)));
        if (resume >= base + 16) return resume;
        mask &= ~0u << (resume - base);
    }
    return base + 16;
}

}  // namespace byte_scan_detail

// Calls visit(i) for every i in [0, n), in increasing order, where s[i] is a, b or
// c. visit returns the index from which scanning goes on (at least i + 1), so a
// caller can skip bytes it has dealt with itself.
template <typename Visit>
void forEachByteOf(const char* s, std::size_t n, char a, char b, char c, Visit&& visit) {
    std::size_t i = 0;
#if KESTRUNE_HAS_SSE2
    const __m128i va = _mm_set1_epi8(a);
    const __m128i vb = _mm_set1_epi8(b);
    const __m128i vc = _mm_set1_epi8(c);
    while (i + 16 <= n) {
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s + i));
        const __m128i hits = _mm_or_si128(
            _mm_or_si128(_mm_cmpeq_epi8(v, va), _mm_cmpeq_epi8(v, vb)), _mm_cmpeq_epi8(v, vc));
        i = byte_scan_detail::visitBlock(i, static_cast<unsigned>(_mm_movemask_epi8(hits)), visit);
    }
#endif
    while (i < n) {
        char x = s[i];
        i = (x == a || x == b || x == c) ? visit(i) : i + 1;
    }
}

// Calls visit(i) for every i in [0, n - 1), in increasing order, where s[i] is "<"
// and s[i + 1] is `letter` (lower case) in either case, or CR, LF or TAB: the
// places where a tag whose name starts with that letter may begin (a tag name
// drops CR, LF and TAB). visit returns the index from which scanning goes on (at
// least i + 1).
template <typename Visit>
void forEachTagOpening(const char* s, std::size_t n, char letter, Visit&& visit) {
    std::size_t i = 0;
#if KESTRUNE_HAS_SSE2
    const __m128i lt = _mm_set1_epi8('<');
    const __m128i caseBit = _mm_set1_epi8(0x20);
    const __m128i lower = _mm_set1_epi8(letter);
    const __m128i cr = _mm_set1_epi8('\r');
    const __m128i lf = _mm_set1_epi8('\n');
    const __m128i tab = _mm_set1_epi8('\t');
    while (i + 17 <= n) {
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s + i));
        const __m128i next = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s + i + 1));
        const __m128i follows =
            _mm_or_si128(_mm_or_si128(_mm_cmpeq_epi8(_mm_or_si128(next, caseBit), lower),
                                      _mm_cmpeq_epi8(next, cr)),
                         _mm_or_si128(_mm_cmpeq_epi8(next, lf), _mm_cmpeq_epi8(next, tab)));
        const __m128i hits = _mm_and_si128(_mm_cmpeq_epi8(v, lt), follows);
        i = byte_scan_detail::visitBlock(i, static_cast<unsigned>(_mm_movemask_epi8(hits)), visit);
    }
#endif
    while (i + 1 < n) {
        const char x = s[i + 1];
        const bool follows = (x | 0x20) == letter || x == '\r' || x == '\n' || x == '\t';
        i = (s[i] == '<' && follows) ? visit(i) : i + 1;
    }
}

// The length of the run of bytes below 0x80, NUL excluded, at the start of [s, s + n).
inline std::size_t asciiRunLength(const char* s, std::size_t n) {
    std::size_t i = 0;
#if KESTRUNE_HAS_SSE2
    const __m128i zero = _mm_setzero_si128();
    while (i + 16 <= n) {
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s + i));
        unsigned mask = static_cast<unsigned>(_mm_movemask_epi8(v)) |
                        static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(v, zero)));
        if (mask != 0) return i + static_cast<std::size_t>(std::countr_zero(mask));
        i += 16;
    }
#endif
    while (i < n && static_cast<unsigned char>(s[i]) < 0x80 && s[i] != '\0') ++i;
    return i;
}

// The index of the first CR, LF or TAB (or space, when withSpace) in [s, s + n), or n.
inline std::size_t findCleanupByte(const char* s, std::size_t n, bool withSpace) {
    std::size_t i = 0;
#if KESTRUNE_HAS_SSE2
    const __m128i cr = _mm_set1_epi8('\r');
    const __m128i lf = _mm_set1_epi8('\n');
    const __m128i tab = _mm_set1_epi8('\t');
    const __m128i space = _mm_set1_epi8(withSpace ? ' ' : '\r');
    while (i + 16 <= n) {
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s + i));
        const __m128i hits =
            _mm_or_si128(_mm_or_si128(_mm_cmpeq_epi8(v, cr), _mm_cmpeq_epi8(v, lf)),
                         _mm_or_si128(_mm_cmpeq_epi8(v, tab), _mm_cmpeq_epi8(v, space)));
        unsigned mask = static_cast<unsigned>(_mm_movemask_epi8(hits));
        if (mask != 0) return i + static_cast<std::size_t>(std::countr_zero(mask));
        i += 16;
        // The last bytes of a text of 16 or more: one more block, overlapping the
        // bytes already seen, ends the search without a byte-at-a-time tail.
        if (i < n && i + 16 > n) i = n - 16;
    }
#endif
    for (; i < n; ++i) {
        char c = s[i];
        if (isControlChar(c) || (withSpace && c == ' ')) return i;
    }
    return n;
}

// The index of the first byte that JSON text must escape (below 0x20, a double
// quote or a backslash), or of the first space when withSpace, in [s, s + n), or n.
inline std::size_t findJsonEscape(const char* s, std::size_t n, bool withSpace = false) {
    std::size_t i = 0;
#if KESTRUNE_HAS_SSE2
    const __m128i quote = _mm_set1_epi8('"');
    const __m128i backslash = _mm_set1_epi8('\\');
    const __m128i space = _mm_set1_epi8(withSpace ? ' ' : '"');
    const __m128i high3 = _mm_set1_epi8(static_cast<char>(0xE0));
    const __m128i zero = _mm_setzero_si128();
    while (i + 16 <= n) {
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s + i));
        const __m128i control = _mm_cmpeq_epi8(_mm_and_si128(v, high3), zero);
        const __m128i hits =
            _mm_or_si128(_mm_or_si128(control, _mm_cmpeq_epi8(v, space)),
                         _mm_or_si128(_mm_cmpeq_epi8(v, quote), _mm_cmpeq_epi8(v, backslash)));
        unsigned mask = static_cast<unsigned>(_mm_movemask_epi8(hits));
        if (mask != 0) return i + static_cast<std::size_t>(std::countr_zero(mask));
        i += 16;
    }
#endif
    for (; i < n; ++i) {
        auto c = static_cast<unsigned char>(s[i]);
        if (c < 0x20 || c == '"' || c == '\\' || (withSpace && c == ' ')) return i;
    }
    return n;
}

}  // namespace kestrune
