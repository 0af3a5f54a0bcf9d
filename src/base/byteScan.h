// SPDX-License-Identifier: MIT
// Scanning text for a few byte values at once, sixteen bytes per step where the
// processor has SSE2 (every x86-64 does), one byte per step elsewhere.
#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>

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
KESTRUNE_ALWAYS_INLINE std::size_t visitBlock(std::size_t base, unsigned mask, Visit& visit) {
    while (mask != 0) {
        std::size_t resume = visit(base + static_cast<std::size_t>(std::countr_zero(mask)));
        if (resume >= base + 16) return resume;
        mask &= ~0u << (resume - base);
    }
    return base + 16;
}

#if KESTRUNE_HAS_SSE2
// The n < 16 bytes at s in the first lanes of a vector, zeros after them, read
// without touching a byte past the text: short texts (most attribute texts and
// values) and the ends of longer ones take one step instead of a loop.
inline __m128i loadPartial(const char* s, std::size_t n) {
    // Two reads that overlap cover the bytes; shifts drop what the second read has
    // in common with the first. (x86 is little-endian: the first byte is the lowest.)
    auto read = [](const char* p, auto word) {
        std::memcpy(&word, p, sizeof word);
        return static_cast<std::uint64_t>(word);
    };
    std::uint64_t low = 0;
    std::uint64_t high = 0;
    if (n >= 8) {
        low = read(s, std::uint64_t{});
        if (n > 8) high = read(s + n - 8, std::uint64_t{}) >> (8 * (16 - n));
    } else if (n >= 4) {
        low = read(s, std::uint32_t{}) | (read(s + n - 4, std::uint32_t{}) >> (8 * (8 - n))) << 32;
    } else if (n > 0) {
        low = read(s, std::uint8_t{}) | read(s + n / 2, std::uint8_t{}) << (8 * (n / 2)) |
              read(s + n - 1, std::uint8_t{}) << (8 * (n - 1));
    }
    return _mm_set_epi64x(static_cast<long long>(high), static_cast<long long>(low));
}

// The bits of the first n lanes.
inline unsigned firstLanes(std::size_t n) { return (1u << n) - 1; }

// The lanes whose byte isCleanupByte(c, withSpace) holds for.
inline unsigned cleanupLanes(__m128i v, bool withSpace) {
    const __m128i space = _mm_set1_epi8(withSpace ? ' ' : '\r');
    const __m128i hits = _mm_or_si128(
        _mm_or_si128(_mm_cmpeq_epi8(v, _mm_set1_epi8('\r')),
                     _mm_cmpeq_epi8(v, _mm_set1_epi8('\n'))),
        _mm_or_si128(_mm_cmpeq_epi8(v, _mm_set1_epi8('\t')), _mm_cmpeq_epi8(v, space)));
    return static_cast<unsigned>(_mm_movemask_epi8(hits));
}

// The lanes whose byte findJsonEscape stops at: below 0x20, a double quote or a
// backslash (isJsonEscapeByte), or a space when withSpace.
inline unsigned jsonEscapeLanes(__m128i v, bool withSpace) {
    const __m128i space = _mm_set1_epi8(withSpace ? ' ' : '"');
    const __m128i control = _mm_cmpeq_epi8(_mm_and_si128(v, _mm_set1_epi8(static_cast<char>(0xE0))),
                                           _mm_setzero_si128());
    const __m128i hits = _mm_or_si128(_mm_or_si128(control, _mm_cmpeq_epi8(v, space)),
                                      _mm_or_si128(_mm_cmpeq_epi8(v, _mm_set1_epi8('"')),
                                                   _mm_cmpeq_epi8(v, _mm_set1_epi8('\\'))));
    return static_cast<unsigned>(_mm_movemask_epi8(hits));
}
#else
// Without SSE2 the scans test byte by byte and never call a block test: the names
// only need to be known.
template <typename Block>
unsigned cleanupLanes(Block, bool);
template <typename Block>
unsigned jsonEscapeLanes(Block, bool);
#endif

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
    if (i < n) {
        const __m128i v = byte_scan_detail::loadPartial(s + i, n - i);
        const __m128i hits = _mm_or_si128(
            _mm_or_si128(_mm_cmpeq_epi8(v, va), _mm_cmpeq_epi8(v, vb)), _mm_cmpeq_epi8(v, vc));
        const unsigned mask = static_cast<unsigned>(_mm_movemask_epi8(hits));
        byte_scan_detail::visitBlock(i, mask & byte_scan_detail::firstLanes(n - i), visit);
    }
#else
    while (i < n) {
        char x = s[i];
        i = (x == a || x == b || x == c) ? visit(i) : i + 1;
    }
#endif
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

namespace byte_scan_detail {

// The index of the first byte of [s, s + n) whose lane `lanes(block)` marks, or n;
// `isWanted(c)` is the same test for one byte. A text under 16 bytes is read as one
// partial block (the zeros behind it masked off); a longer one in blocks, its last
// bytes in one block overlapping the bytes already seen.
template <typename Lanes, typename IsWanted>
KESTRUNE_ALWAYS_INLINE std::size_t findFirst(const char* s, std::size_t n, Lanes&& lanes,
                                             IsWanted&& isWanted) {
    std::size_t i = 0;
#if KESTRUNE_HAS_SSE2
    (void)isWanted;
    if (n < 16) {
        const unsigned mask = lanes(loadPartial(s, n)) & firstLanes(n);
        return mask != 0 ? static_cast<std::size_t>(std::countr_zero(mask)) : n;
    }
    while (i + 16 <= n) {
        const unsigned mask = lanes(_mm_loadu_si128(reinterpret_cast<const __m128i*>(s + i)));
        if (mask != 0) return i + static_cast<std::size_t>(std::countr_zero(mask));
        i += 16;
        if (i < n && i + 16 > n) i = n - 16;
    }
    return n;
#else
    (void)lanes;
    for (; i < n; ++i) {
        if (isWanted(static_cast<unsigned char>(s[i]))) return i;
    }
    return n;
#endif
}

}  // namespace byte_scan_detail

// The index of the first byte of [s, s + n) that isCleanupByte(c, withSpace) holds
// for, or n.
inline std::size_t findCleanupByte(const char* s, std::size_t n, bool withSpace) {
    return byte_scan_detail::findFirst(
        s, n, [withSpace](auto block) { return byte_scan_detail::cleanupLanes(block, withSpace); },
        [withSpace](unsigned char c) { return isCleanupByte(static_cast<char>(c), withSpace); });
}

// The index of the first byte of [s, s + n) that JSON text must escape
// (isJsonEscapeByte), or that the cleanup removes (isCleanupByte(c, withSpace)), or n.
// (The bytes the cleanup removes without the space are escaped bytes too.)
inline std::size_t findJsonEscape(const char* s, std::size_t n, bool withSpace = false) {
    return byte_scan_detail::findFirst(
        s, n,
        [withSpace](auto block) { return byte_scan_detail::jsonEscapeLanes(block, withSpace); },
        [withSpace](unsigned char c) {
            return isJsonEscapeByte(static_cast<char>(c)) ||
                   isCleanupByte(static_cast<char>(c), withSpace);
        });
}

}  // namespace kestrune
