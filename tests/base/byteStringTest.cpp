// SPDX-License-Identifier: MIT
#include <gtest/gtest.h>

#include <string>

#include "base/asciiTable.h"

namespace kestrune {
namespace {

TEST(LowerTest, OnlyAsciiLetters) {
    EXPECT_TRUE(equalsIgnoreCase("DiV", "dIv"));
    EXPECT_FALSE(equalsIgnoreCase("div", "divx"));
    EXPECT_FALSE(equalsIgnoreCase("\xC0", "\xE0"));  // no case beyond ASCII
    EXPECT_FALSE(equalsIgnoreCase("@", "`"));
}

}  // namespace
}  // namespace kestrune
