// SPDX-License-Identifier: MIT
// Checks for the fuzz targets. A failed check prints where it failed and aborts:
// libFuzzer then reports a crash and saves the input, and the replay test fails.
#pragma once

#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <string_view>

namespace kestrune::fuzz {

[[noreturn]] inline void checkFailed(const char* file, int line, const char* condition) {
    std::fprintf(stderr, "%s:%d: check failed: %s\n", file, line, condition);
    std::abort();
}

// Prints up to 64 bytes of `text` from `from` on, bytes outside printable ASCII as \xNN.
inline void printExcerpt(const char* label, std::string_view text, std::size_t from) {
    std::fprintf(stderr, "  %s (%zu bytes) at %zu: \"", label, text.size(), from);
    for (std::size_t i = from; i < text.size() && i < from + 64; ++i) {
        auto b = static_cast<unsigned char>(text[i]);
        if (b >= 0x20 && b < 0x7F && b != '\\' && b != '"') {
            std::fputc(b, stderr);
        } else {
            std::fprintf(stderr, "\\x%02X", b);
        }
    }
    std::fputs("\"\n", stderr);
}

// Byte equality; on failure both texts are shown from their first difference.
inline void checkEqual(std::string_view actual, std::string_view expected, const char* file,
                       int line, const char* what) {
    if (actual == expected) return;
    std::size_t at = 0;
    while (at < actual.size() && at < expected.size() && actual[at] == expected[at]) ++at;
    std::fprintf(stderr, "%s:%d: %s differ at byte %zu\n", file, line, what, at);
    printExcerpt("actual", actual, at);
    printExcerpt("expected", expected, at);
    std::abort();
}

}  // namespace kestrune::fuzz

#define FUZZ_CHECK(condition)                                                            \
    do {                                                                                 \
        if (!(condition)) ::kestrune::fuzz::checkFailed(__FILE__, __LINE__, #condition); \
    } while (0)

#define FUZZ_CHECK_EQUAL(actual, expected)                                 \
    ::kestrune::fuzz::checkEqual((actual), (expected), __FILE__, __LINE__, \
                                 #actual " and " #expected)
