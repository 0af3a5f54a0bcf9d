// SPDX-License-Identifier: MIT
// The byte-level fast paths against plain loops, sorts and comparisons.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "base/asciiTable.h"
#include "base/byteScan.h"
#include "base/byteString.h"
#include "base/keyOrder.h"
#include "support/sprinkled.h"

namespace kestrune {
namespace {

using Positions = std::vector<std::size_t>;

// The visited positions must be those a plain loop finds, also when the visitor
// skips ahead inside and across sixteen-byte blocks.
TEST(ByteScanTest, VisitsAgreeWithPlainLoop) {
    unsigned seed = 11;
    for (int round = 0; round < 2000; ++round) {
        const std::size_t length = static_cast<std::size_t>(round % 70);
        const std::size_t skip = static_cast<std::size_t>(round % 5);  // 0: no skipping
        const std::string s = testing::sprinkled(seed, length, " \"=", 2);
        Positions expected, seen;
        for (std::size_t i = 0; i < s.size(); ++i) {
            if (std::strchr(" \"=", s[i]) == nullptr) continue;
            expected.push_back(i);
            if (s[i] == ' ') i += skip;
        }
        forEachByteOf(s.data(), s.size(), ' ', '"', '=', [&](std::size_t i) {
            seen.push_back(i);
            return i + (s[i] == ' ' ? 1 + skip : 1);
        });
        ASSERT_EQ(seen, expected) << s;
    }
}

// The byte classes the scans below look for, byte by byte.
TEST(ByteClassTest, CleanupAndJsonEscapeBytes) {
    std::string cleanup, cleanupWithSpace, escape;
    for (int c = 0; c < 256; ++c) {
        const char b = static_cast<char>(c);
        if (isCleanupByte(b, false)) cleanup += b;
        if (isCleanupByte(b, true)) cleanupWithSpace += b;
        if (isJsonEscapeByte(b)) escape += b;
    }
    EXPECT_EQ(cleanup, "\t\n\r");
    EXPECT_EQ(cleanupWithSpace, "\t\n\r ");
    std::string below20;
    for (char c = 0; c < 0x20; ++c) below20 += c;
    EXPECT_EQ(escape, below20 + "\"\\");
}

// The sixteen-byte searches find the first byte a plain loop finds, wherever it is,
// and the cleanup (sixteen bytes at a time) removes what a plain filter removes.
TEST(ByteScanTest, SearchesAgreeWithPlainLoops) {
    auto isCleanup = [](unsigned char c) { return isCleanupByte(static_cast<char>(c), false); };
    auto isCleanupOrSpace = [](unsigned char c) {
        return isCleanupByte(static_cast<char>(c), true);
    };
    auto isEscape = [](unsigned char c) { return isJsonEscapeByte(static_cast<char>(c)); };
    auto isEscapeOrSpace = [&](unsigned char c) { return isEscape(c) || c == ' '; };
    const std::string alphabet("ab\r\n\t \"\\\x01\x1f\x80\xff\0", 14);
    unsigned seed = 5;
    for (int round = 0; round < 3000; ++round) {
        const std::string s =
            testing::sprinkled(seed, static_cast<std::size_t>(round % 70), alphabet, 6);
        auto first = [&](auto pred) { return std::find_if(s.begin(), s.end(), pred) - s.begin(); };
        const char* d = s.data();
        EXPECT_EQ(asciiRunLength(d, s.size()),
                  first([](unsigned char c) { return c >= 0x80 || !c; }));
        EXPECT_EQ(findCleanupByte(d, s.size(), false), first(isCleanup)) << round;
        EXPECT_EQ(findCleanupByte(d, s.size(), true), first(isCleanupOrSpace)) << round;
        EXPECT_EQ(findJsonEscape(d, s.size()), first(isEscape)) << round;
        EXPECT_EQ(findJsonEscape(d, s.size(), true), first(isEscapeOrSpace)) << round;
        std::string controls = s, removed = s, scratch;
        std::erase_if(controls, isCleanup);
        removeControlChars(removed);
        EXPECT_EQ(removed, controls);
        const std::string_view cleaned = withoutControlChars(s, scratch);
        EXPECT_EQ(cleaned, controls);
        // Nothing to remove: the text itself, not a copy.
        if (controls.size() == s.size()) {
            EXPECT_EQ(cleaned.data(), s.data());
        }
    }
}

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
    for (const std::vector<std::string>& keys : lists) {
        for (bool folded : {false, true}) {
            auto fold = [&](unsigned char c) { return folded ? ascii::kLower[c] : c; };
            auto key = [&](std::size_t i) { return std::string_view(keys[i]); };
            std::vector<std::uint32_t> expected(keys.size());
            for (std::uint32_t i = 0; i < keys.size(); ++i) expected[i] = i;
            std::stable_sort(expected.begin(), expected.end(), [&](auto a, auto b) {
                return std::ranges::lexicographical_compare(keys[a], keys[b], {}, fold, fold);
            });
            EXPECT_EQ(keyOrder(keys.size(), key, fold), expected)
                << "folded " << folded << ", " << keys.size() << " keys";
        }
    }
}

}  // namespace
}  // namespace kestrune
