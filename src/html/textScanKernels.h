// SPDX-License-Identifier: MIT
// Internal to the text scan (textScan.cpp and its kernels): the vector kernels of the
// pass, each in a source of its own compiled for its instruction set (whatever the
// build's flags) and called only where the processor has it.
#pragma once

#include <cstddef>
#include <cstdint>

// The vector kernels exist for x86 processors, built by GCC or clang.
#if (defined(__GNUC__) || defined(__clang__)) && (defined(__x86_64__) || defined(__i386__))
#define KESTRUNE_SCAN_KERNELS 1
#else
#define KESTRUNE_SCAN_KERNELS 0
#endif

namespace kestrune::text_scan {

// Whether an "html" tag may begin at text[at] (text[at] is "<"): mayStartHtmlTag.
using HtmlTagTest = bool (*)(const char* text, std::size_t length, std::size_t at);

// What a kernel finds in [text, text + size).
struct KernelResult {
    std::size_t length = 0;    // of the text: the place of the first NUL, else size
    bool nonAscii = false;     // a byte >= 0x80 in front of it
    bool laxError = false;     // the lax UTF-8 rule fails for it
    bool strictError = false;  // strict UTF-8 fails (learnt with `strict` while lax holds)
    std::size_t lastHtmlTag = ~std::size_t{0};
};

// Each writes the marks of the text's "<" and ">" to marks[0 .. length / 64] (no bit
// set from `length` on) and fills `out`; `strict` asks for strict UTF-8 too. The bytes
// are read in 64-byte blocks, the last one copied first, never past size.
void scanSse2(const char* text, std::size_t size, bool strict, HtmlTagTest test,
              std::uint64_t* marks, KernelResult& out);
void scanAvx2(const char* text, std::size_t size, bool strict, HtmlTagTest test,
              std::uint64_t* marks, KernelResult& out);

}  // namespace kestrune::text_scan
