// SPDX-License-Identifier: MIT
// The text scan sixteen bytes per step (SSE2): every x86-64 processor has it, and a
// 32-bit build calls it where the processor has it.
#include "html/textScanKernels.h"

#if KESTRUNE_SCAN_KERNELS
#include <emmintrin.h>

// Everything from here on is compiled for SSE2.
#if defined(__clang__)
#pragma clang attribute push(__attribute__((target("sse2"))), apply_to = function)
#else
#pragma GCC push_options
#pragma GCC target("sse2")
#endif

#include "html/textScanBlocks.h"

namespace kestrune::text_scan {
namespace {

// One 64-byte block in four registers; each test gives a bit per byte.
class Block {
  public:
    explicit Block(const char* p)
        : a_(load(p)), b_(load(p + 16)), c_(load(p + 32)), d_(load(p + 48)) {}
    std::uint64_t equal(char c) const {
        const __m128i k = _mm_set1_epi8(c);
        return bits(_mm_cmpeq_epi8(a_, k), _mm_cmpeq_epi8(b_, k), _mm_cmpeq_epi8(c_, k),
                    _mm_cmpeq_epi8(d_, k));
    }
    std::uint64_t greaterSigned(char c) const {
        const __m128i k = _mm_set1_epi8(c);
        return bits(_mm_cmpgt_epi8(a_, k), _mm_cmpgt_epi8(b_, k), _mm_cmpgt_epi8(c_, k),
                    _mm_cmpgt_epi8(d_, k));
    }
    std::uint64_t high() const { return bits(a_, b_, c_, d_); }
    // h, H or a byte below 0x0E.
    std::uint64_t hOrLow() const { return bits(hOrLow(a_), hOrLow(b_), hOrLow(c_), hOrLow(d_)); }

  private:
    static __m128i load(const char* p) {
        return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
    }
    static __m128i hOrLow(__m128i x) {
        const __m128i h = _mm_cmpeq_epi8(_mm_or_si128(x, _mm_set1_epi8(0x20)), _mm_set1_epi8('h'));
        const __m128i low = _mm_cmpeq_epi8(_mm_min_epu8(x, _mm_set1_epi8(13)), x);
        return _mm_or_si128(h, low);
    }
    static std::uint64_t mask(__m128i x) {
        return static_cast<std::uint64_t>(static_cast<unsigned>(_mm_movemask_epi8(x)));
    }
    static std::uint64_t bits(__m128i a, __m128i b, __m128i c, __m128i d) {
        return mask(a) | mask(b) << 16 | mask(c) << 32 | mask(d) << 48;
    }
    __m128i a_, b_, c_, d_;
};

}  // namespace

void scanSse2(const char* text, std::size_t size, bool strict, HtmlTagTest test,
              std::uint64_t* marks, KernelResult& out) {
    scanBlocks<Block>(text, size, strict, test, marks, out);
}

}  // namespace kestrune::text_scan

#if defined(__clang__)
#pragma clang attribute pop
#else
#pragma GCC pop_options
#endif
#endif
