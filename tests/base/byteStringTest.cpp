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
