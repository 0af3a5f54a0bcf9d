// SPDX-License-Identifier: MIT
#include <gtest/gtest.h>

#include <string>

#include "base/asciiTable.h"
#include "base/byteString.h"

namespace kestrune {
namespace {

TEST(ReplaceAllTest, Table) {
    struct Case {
        const char* target;
        const char* pattern;
        const char* replacement;
        const char* expected;
    };
    const Case cases[] = {
        {"c:/a/b.html", "\\", "/", "c:/a/b.html"},
        {"c:\\a\\\\b.html", "\\", "/", "c:/a//b.html"},
        {"aXbX", "X", "XX", "aXXbXX"},   // inserted text is not searched again
        {"\r\r\nx\r", "\r", "", "\nx"},  // adjacent occurrences all go
        {"abcabc", "abc", "", ""},
        {"aaa", "aa", "b", "ba"},    // non-overlapping, left to right
        {"text", "", "zz", "text"},  // an empty pattern changes nothing
        {"", "a", "b", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.target);
        std::string s = c.target;
        replaceAll(s, c.pattern, c.replacement);
        EXPECT_EQ(s, c.expected);
    }
}

// Long texts take the eight-bytes-at-a-time path; it must agree with a plain filter
// wherever the bytes to remove stand.
TEST(CleanupTest, LongTextsAgreeWithPlainFilter) {
    const std::string alphabet = std::string("ab \t\r\n\xE9\x80", 8);
    unsigned seed = 7;
    for (int round = 0; round < 500; ++round) {
        std::string s;
        std::size_t length = static_cast<std::size_t>(round % 67);
        for (std::size_t i = 0; i < length; ++i) {
            seed = seed * 1103515245u + 12345u;
            s += (seed >> 16) % 5 == 0 ? alphabet[(seed >> 8) % alphabet.size()] : 'x';
        }
        std::string controls, all;
        for (char c : s) {
            bool control = c == '\r' || c == '\n' || c == '\t';
            if (!control) controls += c;
            if (!control && c != ' ') all += c;
        }
        std::string a = s, b = s;
        removeControlChars(a);
        removeControlCharsAndSpaces(b);
        ASSERT_EQ(a, controls) << round;
        ASSERT_EQ(b, all) << round;
    }
}

TEST(TrimTest, InPlace) {
    char a[] = "  \tx y  ";
    trimLeft(a, ' ');
    EXPECT_STREQ(a, "\tx y  ");
    trimRight(a, ' ');
    EXPECT_STREQ(a, "\tx y");
    char spaces[] = "    ";
    trimRight(spaces, ' ');
    EXPECT_STREQ(spaces, "");
    char spaces2[] = "   ";
    trimLeft(spaces2, ' ');
    EXPECT_STREQ(spaces2, "");
    trimLeft(nullptr, ' ');
    trimRight(nullptr, ' ');
    toLowerAscii(nullptr);
}

TEST(LowerTest, OnlyAsciiLetters) {
    char s[] = "AbZ@[`\xC0\xD6\xFF";
    toLowerAscii(s);
    EXPECT_STREQ(s, "abz@[`\xC0\xD6\xFF");
    EXPECT_TRUE(equalsIgnoreCase("DiV", "dIv"));
    EXPECT_FALSE(equalsIgnoreCase("div", "divx"));
    EXPECT_FALSE(equalsIgnoreCase("\xC0", "\xE0"));  // no case beyond ASCII
    EXPECT_FALSE(equalsIgnoreCase("@", "`"));
}

}  // namespace
}  // namespace kestrune
