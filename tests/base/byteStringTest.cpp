// SPDX-License-Identifier: MIT
#include <gtest/gtest.h>

#include <string>

#include "base/asciiTable.h"
#include "base/byteString.h"

namespace kestrune {
namespace {

// Long texts take the sixteen-bytes-at-a-time search; it must agree with a plain
// filter wherever the bytes to remove stand.
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

TEST(LowerTest, OnlyAsciiLetters) {
    EXPECT_TRUE(equalsIgnoreCase("DiV", "dIv"));
    EXPECT_FALSE(equalsIgnoreCase("div", "divx"));
    EXPECT_FALSE(equalsIgnoreCase("\xC0", "\xE0"));  // no case beyond ASCII
    EXPECT_FALSE(equalsIgnoreCase("@", "`"));
}

}  // namespace
}  // namespace kestrune
