// SPDX-License-Identifier: MIT
// Reading integers as strtoll reads them.
#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <string>

#include "base/byteString.h"

namespace kestrune {
namespace {

TEST(ReadIntegerTest, AsStrtollReads) {
    constexpr std::int64_t kMax = std::numeric_limits<std::int64_t>::max();
    constexpr std::int64_t kMin = std::numeric_limits<std::int64_t>::min();
    struct Case {
        std::string text;
        int base;
        std::int64_t value;
    };
    const Case cases[] = {
        {"", 10, 0},
        {" \t\n\v\f\r42", 10, 42},  // C white space, VT and FF included
        {"+7", 10, 7},
        {"-12abc", 10, -12},
        {"- 1", 10, 0},  // no space after the sign
        {"--1", 10, 0},
        {"1e5", 10, 1},
        {std::string("4\0"
                     "2",
                     3),
         10, 4},
        {"\xA0"
         "1",
         10, 0},  // bytes from 0x80 are no white space
        {"9223372036854775807", 10, kMax},
        {"9223372036854775808", 10, kMax},  // saturated
        {"99999999999999999999999", 10, kMax},
        {"-9223372036854775808", 10, kMin},
        {"-9223372036854775809", 10, kMin},
        {"0x10", 10, 0},
        {"ff", 16, 255},
        {"FfZ", 16, 255},
        {"0x1A", 16, 26},
        {"0X1a", 16, 26},
        {"-0x10", 16, -16},
        {"0x", 16, 0},
        {"0xg", 16, 0},  // the "0" is the number
        {"x1", 16, 0},
        {"7fffffffffffffff", 16, kMax},
        {"8000000000000000", 16, kMax},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(readInteger(c.text, c.base), c.value) << c.text << " in base " << c.base;
    }
}

}  // namespace
}  // namespace kestrune
