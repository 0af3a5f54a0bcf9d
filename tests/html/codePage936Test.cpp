// SPDX-License-Identifier: MIT
#include <gtest/gtest.h>

#include <string>

#include "base/platform.h"
#include "html/codePage936.h"

namespace kestrune {
namespace {

std::string utf8Of(char32_t cp) {
    if (cp < 0x80) return std::string(1, static_cast<char>(cp));
    const int tail = cp < 0x800 ? 1 : cp < 0x10000 ? 2 : 3;
    const unsigned lead[] = {0, 0xC0, 0xE0, 0xF0};
    std::string s(1, static_cast<char>(lead[tail] | (cp >> (6 * tail))));
    for (int i = tail - 1; i >= 0; --i) s += static_cast<char>(0x80 | ((cp >> (6 * i)) & 0x3F));
    return s;
}

// The table is glibc iconv's; Windows converts with its own, so there the table has
// no system converter to agree with.
#if defined(_WIN32)
#define SKIP_WITHOUT_ICONV() GTEST_SKIP() << "the table is glibc iconv's, not Windows' converter"
#else
#define SKIP_WITHOUT_ICONV()
#endif

std::string convert(std::string text) {
    std::size_t n = convertUtf8ToCodePage936(text.data(), text.size());
    EXPECT_LE(n, text.size());
    text.resize(n);
    return text;
}

// The table must give exactly what the system converter gives, code point by code
// point; the characters are separated so that each one's bytes can be told apart.
TEST(CodePage936Test, EveryCodePointMatchesTheSystemConverter) {
    SKIP_WITHOUT_ICONV();
    std::string all;
    for (char32_t cp = 1; cp < 0x10000; ++cp) {
        if (cp >= 0xD800 && cp <= 0xDFFF) continue;
        all += utf8Of(cp);
        all += '|';
    }
    for (char32_t cp = 0x10000; cp <= 0x10FFFF; cp += 0x3FF) {
        all += utf8Of(cp);
        all += '|';
    }
    std::string expected = platform::utf8ToCodePage(all, 936);
    ASSERT_FALSE(expected.empty());
    EXPECT_EQ(convert(all), expected);
}

// Ill-formed input: one "?" per maximal ill-formed subpart, as the system path does.
TEST(CodePage936Test, IllFormedSequences) {
    struct Case {
        std::string in;
        std::string out;
    };
    const Case cases[] = {
        {"\xC0\x80", "??"},      {"\xE0\x80\x80", "???"},
        {"\xED\xA0\x80", "???"}, {"\xF8\x88\x80\x80\x80", "?????"},
        {"\xE4\xB8", "?"},       {"\xE4\xB8x", "?x"},
        {"\xF0\x9F\x98", "?"},   {"\xF4\x90\x80\x80", "????"},
        {"\x80\xBF", "??"},      {"\xC3\xA9\xC3", "\xA8\xA6?"},
    };
    for (const Case& c : cases) EXPECT_EQ(convert(c.in), c.out);
    SKIP_WITHOUT_ICONV();
    for (const Case& c : cases) EXPECT_EQ(platform::utf8ToCodePage(c.in, 936), c.out);
}

}  // namespace
}  // namespace kestrune
