// SPDX-License-Identifier: MIT
// The text scan thirty-two bytes per step (AVX2): this source is compiled for it, and
// its kernel is called only where the processor has it.
#include "html/textScanKernels.h"

#if KESTRUNE_SCAN_KERNELS
#include <immintrin.h>

// Everything from here on is compiled for AVX2.
#if defined(__clang__)
#pragma clang attribute push(__attribute__((target("avx2"))), apply_to = function)
#else
#pragma GCC push_options
#pragma GCC target("avx2")
#endif

#include "html/textScanBlocks.h"

namespace kestrune::text_scan {
namespace {

// One 64-byte block in two registers; each test gives a bit per byte.
class Block {
  public:
    explicit Block(const char* p)
        : low_(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(p))),
          high_(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(p + 32))) {}
    std::uint64_t equal(char c) const {
        const __m256i k = _mm256_set1_epi8(c);
        return bits(_mm256_cmpeq_epi8(low_, k), _mm256_cmpeq_epi8(high_, k));
    }
    std::uint64_t greaterSigned(char c) const {
        const __m256i k = _mm256_set1_epi8(c);
        return bits(_mm256_cmpgt_epi8(low_, k), _mm256_cmpgt_epi8(high_, k));
    }
    std::uint64_t high() const { return bits(low_, high_); }
    // h, H or a byte below 0x0E.
    std::uint64_t hOrLow() const { return bits(hOrLow(low_), hOrLow(high_)); }

  private:
    static __m256i hOrLow(__m256i x) {
        const __m256i h =
            _mm256_cmpeq_epi8(_mm256_or_si256(x, _mm256_set1_epi8(0x20)), _mm256_set1_epi8('h'));
        const __m256i low = _mm256_cmpeq_epi8(_mm256_min_epu8(x, _mm256_set1_epi8(13)), x);
        return _mm256_or_si256(h, low);
    }
    static std::uint64_t bits(__m256i low, __m256i high) {
        return static_cast<std::uint64_t>(static_cast<unsigned>(_mm256_movemask_epi8(low))) |
               static_cast<std::uint64_t>(static_cast<unsigned>(_mm256_movemask_epi8(high))) << 32;
    }
    __m256i low_;
    __m256i high_;
};

}  // namespace

void scanAvx2(const char* text, std::size_t size, bool strict, HtmlTagTest test,
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
