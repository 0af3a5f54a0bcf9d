// SPDX-License-Identifier: MIT
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "base/byteScan.h"
#include "base/byteString.h"
#include "support/sprinkled.h"

namespace kestrune {
namespace {

// The visited positions must be those a plain loop finds, also when the visitor
// skips ahead inside and across sixteen-byte blocks.
TEST(ByteScanTest, AgreesWithPlainLoop) {
    unsigned seed = 11;
    for (int round = 0; round < 2000; ++round) {
        std::string s(static_cast<std::size_t>(round % 70), 'x');
        for (char& c : s) {
            seed = seed * 1103515245u + 12345u;
            unsigned r = (seed >> 16) % 8;
            c = r == 0 ? ' ' : r == 1 ? '"' : r == 2 ? '=' : static_cast<char>('a' + r);
        }
        std::size_t skip = static_cast<std::size_t>(round % 5);  // 0: no skipping
        std::vector<std::size_t> expected;
        for (std::size_t i = 0; i < s.size();) {
            if (s[i] == ' ' || s[i] == '"' || s[i] == '=') {
                expected.push_back(i);
                i += (s[i] == ' ' ? 1 + skip : 1);
            } else {
                ++i;
            }
        }
        std::vector<std::size_t> seen;
        forEachByteOf(s.data(), s.size(), ' ', '"', '=', [&](std::size_t i) {
            seen.push_back(i);
            return i + (s[i] == ' ' ? 1 + skip : 1);
        });
        ASSERT_EQ(seen, expected) << s;

        // As long a string of the bytes of tag openings: "<" before h, H or a byte
        // a tag name drops.
        std::string tags = s;
        for (char& c : tags) {
            seed = seed * 1103515245u + 12345u;
            c = "<hH\r\n\tx<"[(seed >> 16) % 8];
        }
        expected.clear();
        for (std::size_t i = 0; i + 1 < tags.size(); ++i) {
            if (tags[i] == '<' &&
                std::string_view("hH\r\n\t").find(tags[i + 1]) != std::string_view::npos) {
                expected.push_back(i);
                i += skip;
            }
        }
        seen.clear();
        forEachTagOpening(tags.data(), tags.size(), 'h', [&](std::size_t i) {
            seen.push_back(i);
            return i + 1 + skip;
        });
        ASSERT_EQ(seen, expected) << tags;
    }
}

// The sixteen-byte searches find the first byte a plain loop finds, wherever it is,
// and the cleanups (sixteen bytes at a time) remove what a plain filter removes.
TEST(ByteScanTest, SearchesAgreeWithPlainLoops) {
    const std::string alphabet("ab\r\n\t \"\\\x01\x1f\x80\xff\0", 14);
    unsigned seed = 5;
    for (int round = 0; round < 3000; ++round) {
        const std::string s =
            testing::sprinkled(seed, static_cast<std::size_t>(round % 70), alphabet, 6);
        auto first = [&](auto pred) {
            std::size_t i = 0;
            while (i < s.size() && !pred(static_cast<unsigned char>(s[i]))) ++i;
            return i;
        };
        const std::string padded = s + std::string(16, '\0');
        for (char c : {'a', '"', '\n', '\0'}) {
            EXPECT_EQ(findBytePadded(padded.data(), s.size(), c),
                      std::memchr(padded.data(), c, s.size()))
                << round;
        }
        EXPECT_EQ(asciiRunLength(s.data(), s.size()),
                  first([](unsigned char c) { return c >= 0x80 || c == 0; }));
        EXPECT_EQ(findCleanupByte(s.data(), s.size(), false),
                  first([](unsigned char c) { return c == '\r' || c == '\n' || c == '\t'; }));
        EXPECT_EQ(findCleanupByte(s.data(), s.size(), true), first([](unsigned char c) {
                      return c == '\r' || c == '\n' || c == '\t' || c == ' ';
                  }));
        EXPECT_EQ(findJsonEscape(s.data(), s.size()),
                  first([](unsigned char c) { return c < 0x20 || c == '"' || c == '\\'; }));
        EXPECT_EQ(findJsonEscape(s.data(), s.size(), true), first([](unsigned char c) {
                      return c < 0x20 || c == '"' || c == '\\' || c == ' ';
                  }));
        std::string controls, all;
        for (char c : s) {
            const bool control = c == '\r' || c == '\n' || c == '\t';
            if (!control) controls += c;
            if (!control && c != ' ') all += c;
        }
        std::string a = s, b = s;
        removeControlChars(a);
        removeControlCharsAndSpaces(b);
        EXPECT_EQ(a, controls);
        EXPECT_EQ(b, all);
    }
}

}  // namespace
}  // namespace kestrune
