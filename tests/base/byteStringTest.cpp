// SPDX-License-Identifier: MIT
#include <gtest/gtest.h>

#include <string>

#include "base/asciiTable.h"
#include "base/byteString.h"
#include "support/caseFile.h"

namespace kestrune {
namespace {

TEST(ReplaceAllTest, Table) {
    for (const auto& c : testing::readCases("base/data/replaceAll.txt", 4)) {
        std::string s = c[0];
        replaceAll(s, c[1], c[2]);
        EXPECT_EQ(s, c[3]) << c[0];
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
