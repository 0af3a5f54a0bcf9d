// SPDX-License-Identifier: MIT
// Internal to the kernels of the text scan: the pass over 64-byte blocks, written once
// for every vector width. A kernel source defines its Block (one block's bytes and the
// 64-bit masks of tests on them: bit i for byte i) and includes this. Every name here
// has internal linkage, so that no function compiled for one instruction set is ever
// shared with code compiled for another; nothing but compiler built-ins is called.
#pragma once

#include <cstddef>
#include <cstdint>

#include "html/textScanKernels.h"

namespace kestrune::text_scan {
namespace {

inline unsigned lowestBit(std::uint64_t bits) {
    return static_cast<unsigned>(__builtin_ctzll(bits));
}

// Bits 0 .. n - 1.
inline std::uint64_t lowBits(unsigned n) {
    return n >= 64 ? ~std::uint64_t{0} : (std::uint64_t{1} << n) - 1;
}

// What one block leaves to the next.
struct Carry {
    std::uint64_t need = 0;  // continuation bytes earlier leads ask of the next block's first bytes
    std::uint64_t e0 = 0, ed = 0, f0 = 0, f4 = 0;  // bit 0: the block ended in E0, ED, F0 or F4
    bool lt = false;                               // the block ended in "<"
};

// The bytes of a block that are at least t (0x80 < t <= 0xFF): a signed comparison
// with t - 1, which ASCII bytes pass too, hence the mask of high bytes.
template <class Block>
std::uint64_t atLeast(const Block& b, unsigned t, std::uint64_t high) {
    return b.greaterSigned(static_cast<char>(static_cast<unsigned char>(t - 1))) & high;
}

// The UTF-8 tests of one block whose high bytes (from 0x80) are `high`, up to and
// including bit `end` (the text's end, where a byte that must continue a character
// is missing). Lead bytes ask for continuation bytes (10xxxxxx) after them, as many
// as the lax rule says; the rule holds when exactly the bytes asked for continue.
// Strict UTF-8 also refuses C0, C1 and F5-FF and the second bytes that make overlong
// forms, surrogates and code points past U+10FFFF.
template <class Block>
void utf8Block(const Block& b, std::uint64_t high, std::uint64_t end, bool strict, Carry& carry,
               KernelResult& out) {
    const std::uint64_t c0 = atLeast(b, 0xC0, high);
    const std::uint64_t e0 = atLeast(b, 0xE0, high);
    const std::uint64_t f0 = atLeast(b, 0xF0, high);
    const std::uint64_t f8 = atLeast(b, 0xF8, high);
    const std::uint64_t five = atLeast(b, 0xFC, high) & ~atLeast(b, 0xFE, high);
    const std::uint64_t continuation = high & ~c0;
    const std::uint64_t need = c0 << 1 | e0 << 2 | f0 << 3 | f8 << 4 | five << 5 | carry.need;
    carry.need = c0 >> 63 | e0 >> 62 | f0 >> 61 | f8 >> 60 | five >> 59;
    if (((need ^ continuation) & end) != 0) {
        out.laxError = true;
        return;
    }
    if (!strict) return;
    const std::uint64_t isE0 = e0 & ~atLeast(b, 0xE1, high);
    const std::uint64_t isF0 = f0 & ~atLeast(b, 0xF1, high);
    const std::uint64_t isED = b.equal(static_cast<char>(0xED));
    const std::uint64_t isF4 = b.equal(static_cast<char>(0xF4));
    const std::uint64_t fromA0 = continuation & atLeast(b, 0xA0, high);
    const std::uint64_t from90 = continuation & atLeast(b, 0x90, high);
    const std::uint64_t bad =
        (c0 & ~atLeast(b, 0xC2, high)) | atLeast(b, 0xF5, high) |
        ((isE0 << 1 | carry.e0) & continuation & ~fromA0) | ((isED << 1 | carry.ed) & fromA0) |
        ((isF0 << 1 | carry.f0) & continuation & ~from90) | ((isF4 << 1 | carry.f4) & from90);
    carry.e0 = isE0 >> 63;
    carry.ed = isED >> 63;
    carry.f0 = isF0 >> 63;
    carry.f4 = isF4 >> 63;
    if ((bad & end) != 0) out.strictError = true;
}

template <class Block>
void scanBlocks(const char* text, std::size_t size, bool strict, HtmlTagTest test,
                std::uint64_t* marks, KernelResult& out) {
    out = KernelResult();
    out.length = size;
    Carry carry;
    bool ended = false;
    for (std::size_t at = 0; at < size && !ended; at += 64) {
        // The last block is copied, zeros behind it: they end the text like a NUL.
        char tail[64];
        const char* p = text + at;
        if (size - at < 64) {
            __builtin_memcpy(tail, p, size - at);
            __builtin_memset(tail + (size - at), 0, 64 - (size - at));
            p = tail;
        }
        const Block b(p);
        const std::uint64_t zero = b.equal('\0');
        std::uint64_t inText = ~std::uint64_t{0};  // the bits in front of the end
        std::uint64_t toEnd = ~std::uint64_t{0};   // and that of the end
        if (zero != 0) {
            const unsigned z = lowestBit(zero);
            inText = lowBits(z);
            toEnd = lowBits(z + 1);
            out.length = at + z;
            ended = true;
        }
        const std::uint64_t lt = b.equal('<') & inText;
        marks[at / 64] = lt | (b.equal('>') & inText);
        // "<" in front of h, H or a byte below 0x0E (CR, LF and TAB among them): the
        // places worth the full test.
        const std::uint64_t follows = b.hOrLow();
        if (carry.lt && (follows & 1) != 0 && test(text, out.length, at - 1)) {
            out.lastHtmlTag = at - 1;
        }
        for (std::uint64_t c = lt & (follows >> 1); c != 0; c &= c - 1) {
            const std::size_t i = at + lowestBit(c);
            if (test(text, out.length, i)) out.lastHtmlTag = i;
        }
        carry.lt = (lt >> 63) != 0;
        if (out.laxError) continue;  // a text that is not UTF-8 has a high byte
        const std::uint64_t high = b.high() & inText;
        if (high != 0) out.nonAscii = true;
        if ((high | carry.need) != 0) utf8Block(b, high, toEnd, strict, carry, out);
    }
    if (!ended) {
        // The text fills its last block: nothing may be pending past it.
        marks[size / 64] = 0;
        if (carry.need != 0) out.laxError = true;
    }
}

}  // namespace
}  // namespace kestrune::text_scan
