// SPDX-License-Identifier: MIT
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "base/asciiTable.h"
#include "base/keyOrder.h"

namespace kestrune {
namespace {

TEST(LowerTest, OnlyAsciiLetters) {
    EXPECT_TRUE(equalsIgnoreCase("DiV", "dIv"));
    EXPECT_FALSE(equalsIgnoreCase("div", "divx"));
    EXPECT_FALSE(equalsIgnoreCase("\xC0", "\xE0"));  // no case beyond ASCII
    EXPECT_FALSE(equalsIgnoreCase("@", "`"));
}

// The radix order of key numbers equals a stable comparison sort of the folded keys:
// short keys, keys sharing their first four bytes, NUL bytes, bytes from 0x80,
// duplicates, and case folded or not.
TEST(KeyOrderTest, EqualsStableSort) {
    const std::vector<std::vector<std::string>> lists = {
        {},
        {"only"},
        {"b", "a", "", "ab", "a", "aa", "\xE9", "A", "B"},
        {"abcdz", "abcdy", "abcd", "abcdy", "abc", "abcde", "ABCDY", "abcd\x01"},
        {std::string("a\0", 2), "a", std::string("a\0\0\0x", 6), std::string("\0", 1), ""},
        {"text", "href", "HREF", "Href", "title", "text", "\\\"", "\"q", "id"},
    };
    auto identity = [](unsigned char c) { return c; };
    auto lower = [](unsigned char c) { return ascii::kLower[c]; };
    for (const std::vector<std::string>& keys : lists) {
        for (bool folded : {false, true}) {
            auto fold = [&](unsigned char c) { return folded ? lower(c) : identity(c); };
            auto folds = [&](const std::string& k) {
                std::string f = k;
                for (char& c : f) c = static_cast<char>(fold(static_cast<unsigned char>(c)));
                return f;
            };
            std::vector<std::uint32_t> expected(keys.size());
            for (std::uint32_t i = 0; i < keys.size(); ++i) expected[i] = i;
            std::stable_sort(
                expected.begin(), expected.end(),
                [&](std::uint32_t a, std::uint32_t b) { return folds(keys[a]) < folds(keys[b]); });
            const std::vector<std::uint32_t> order = keyOrder(
                keys.size(), [&](std::size_t i) { return std::string_view(keys[i]); }, fold);
            EXPECT_EQ(order, expected) << "folded " << folded << ", " << keys.size() << " keys";
        }
    }
}

}  // namespace
}  // namespace kestrune
