// SPDX-License-Identifier: MIT
// The text scan: the byte-by-byte reference, the choice of a kernel, and the bitmap.
#include "html/textScan.h"

#include <atomic>
#include <bit>
#include <cstring>
#include <new>

#include "base/asciiTable.h"
#include "base/platform.h"
#include "base/utf8.h"
#include "html/textScanKernels.h"

namespace kestrune {

int isUtf8(std::string_view text, int& allAscii) {
    allAscii = 1;
    int pending = 0;
    for (const char c : text) {
        const auto b = static_cast<unsigned char>(c);
        if (b == 0) break;
        if (pending == 0) {
            if (b < 0x80) continue;
            allAscii = 0;
            // The leading one bits announce the continuation bytes: one bit (10xxxxxx) is
            // a continuation byte, which cannot start a character; FE and FF announce 4.
            const int ones = std::countl_one(b);
            if (ones == 1) return 0;
            pending = ones > 6 ? 4 : ones - 1;
        } else {
            if (b < 0x80 || b > 0xBF) return 0;
            --pending;
        }
    }
    return pending == 0 ? 1 : 0;
}

bool mayStartHtmlTag(const char* text, std::size_t length, std::size_t at) {
    if (text[at] != '<') return false;
    std::size_t i = at + 1;
    for (char letter : std::string_view("html")) {
        while (i < length && isControlChar(text[i])) ++i;
        if (i == length || toLowerByte(text[i]) != letter) return false;
        ++i;
    }
    return true;
}

namespace {

// Byte by byte, each fact by the function that states its rule.
void scanReference(const char* text, std::size_t size, bool strict, std::uint64_t* marks,
                   TextFacts& facts) {
    const void* nul = std::memchr(text, '\0', size);
    const std::size_t length =
        nul == nullptr ? size : static_cast<std::size_t>(static_cast<const char*>(nul) - text);
    const std::string_view t(text, length);
    facts.length = length;
    int allAscii = 1;
    facts.utf8 = isUtf8(t, allAscii) == 1;
    facts.ascii = allAscii == 1;
    facts.wellFormedUtf8 = strict && isWellFormedUtf8(t);
    std::memset(marks, 0, (length / 64 + 1) * sizeof(std::uint64_t));
    for (std::size_t i = 0; i < length; ++i) {
        if (t[i] == '<' || t[i] == '>') marks[i / 64] |= std::uint64_t{1} << (i % 64);
        if (mayStartHtmlTag(text, length, i)) facts.lastHtmlTag = i;
    }
}

bool processorHas(ScanKernel kernel) {
    switch (kernel) {
        case ScanKernel::Auto:
        case ScanKernel::Reference:
            return true;
#if KESTRUNE_SCAN_KERNELS
        case ScanKernel::Sse2:
            return __builtin_cpu_supports("sse2");
        case ScanKernel::Avx2:
            return __builtin_cpu_supports("avx2");
#else
        default:
            return false;
#endif
    }
    return false;
}

ScanKernel fastest() {
    static const ScanKernel chosen = processorHas(ScanKernel::Avx2)   ? ScanKernel::Avx2
                                     : processorHas(ScanKernel::Sse2) ? ScanKernel::Sse2
                                                                      : ScanKernel::Reference;
    return chosen;
}

// Auto until a test chooses.
std::atomic<ScanKernel> chosenKernel{ScanKernel::Auto};

}  // namespace

void TextScan::Release::operator()(std::uint64_t* words) const { platform::release(words); }

bool useScanKernel(ScanKernel kernel) {
    if (!processorHas(kernel)) return false;
    chosenKernel.store(kernel, std::memory_order_relaxed);
    return true;
}

ScanKernel activeScanKernel() {
    const ScanKernel kernel = chosenKernel.load(std::memory_order_relaxed);
    return kernel == ScanKernel::Auto ? fastest() : kernel;
}

void TextScan::scan(const char* bytes, std::size_t size, bool strict) {
    bytes_ = bytes;
    facts_ = TextFacts();
    // One bit per byte and the word that holds the bit after the last one.
    const std::size_t words = size / 64 + 1;
    if (words > words_) {
        marks_.reset();
        void* block = platform::allocate(words * sizeof(std::uint64_t));
        if (block == nullptr) throw std::bad_alloc();
        marks_.reset(static_cast<std::uint64_t*>(block));
        words_ = words;
    }
    std::uint64_t* marks = marks_.get();
    const ScanKernel kernel = activeScanKernel();
    if (kernel == ScanKernel::Reference) {
        scanReference(bytes, size, strict, marks, facts_);
    } else {
#if KESTRUNE_SCAN_KERNELS
        text_scan::KernelResult found;
        (kernel == ScanKernel::Avx2 ? text_scan::scanAvx2 : text_scan::scanSse2)(
            bytes, size, strict, mayStartHtmlTag, marks, found);
        facts_.length = found.length;
        facts_.ascii = !found.nonAscii;
        facts_.utf8 = !found.laxError;
        facts_.wellFormedUtf8 = strict && !found.laxError && !found.strictError;
        facts_.lastHtmlTag = found.lastHtmlTag;
#endif
    }
    // Every search ends at the end of the text.
    marks[facts_.length / 64] |= std::uint64_t{1} << (facts_.length % 64);
}

}  // namespace kestrune
