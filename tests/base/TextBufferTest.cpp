// SPDX-License-Identifier: MIT
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "base/TextBuffer.h"

namespace kestrune {
namespace {

TEST(TextBufferTest, CapacityFromConstruction) {
    struct Case {
        int initial;
        double factor;
        int capacity;
        double growth;
    };
    const Case cases[] = {
        {256, 1.5, 256, 1.5}, {0, 1.5, 256, 1.5}, {-4, 1.0, 256, 1.5}, {10, 2.0, 10, 2.0}};
    for (const Case& c : cases) {
        TextBuffer b(c.initial, c.factor);
        EXPECT_EQ(b.capacity(), c.capacity);
        EXPECT_EQ(b.growthFactor(), c.growth);
        EXPECT_EQ(b.length(), 0);
        EXPECT_STREQ(b.data(), "");
    }
    EXPECT_EQ(TextBuffer("0123456789").capacity(), 256);
}

TEST(TextBufferTest, AppendKeepsBlockWhileThereIsRoom) {
    TextBuffer b(256, 1.5);
    const char* before = b.data();
    std::string piece(100, 'a');
    b.append(piece.c_str());
    b.append(piece.c_str());
    EXPECT_EQ(b.data(), before);
    EXPECT_EQ(b.length(), 200);
    EXPECT_EQ(b.capacity(), 256);
    // 300 + 1 bytes do not fit: a new block of floor(1.5 * 301) bytes.
    b.append(piece.c_str());
    EXPECT_EQ(b.capacity(), 451);
    EXPECT_EQ(b.length(), 300);
    EXPECT_EQ(std::string(b.data()), std::string(300, 'a'));
    EXPECT_EQ(b.data()[b.length()], '\0');
}

TEST(TextBufferTest, GrowthNeverShrinks) {
    TextBuffer b(std::string(1000, 'x').c_str());  // capacity 1501
    EXPECT_EQ(b.capacity(), 1501);
    b.assign("short");
    EXPECT_EQ(b.capacity(), 1501);
    b.assign(std::string(1200, 'y').c_str());  // 1201 <= 1501: same block size
    EXPECT_EQ(b.capacity(), 1501);
    b.assign(std::string(1600, 'z').c_str());
    EXPECT_EQ(b.capacity(), 2401);
    EXPECT_EQ(b.length(), 1600);
}

TEST(TextBufferTest, SourceInsideOwnBlock) {
    TextBuffer b("hello world");
    b.append(b.data());  // the block has room: copied in place
    EXPECT_STREQ(b.data(), "hello worldhello world");
    b.append(b);
    EXPECT_STREQ(b.data(), "hello worldhello worldhello worldhello world");
    b.assign(b.data() + 6);
    EXPECT_STREQ(b.data(), "worldhello worldhello worldhello world");
    b.concatAssign(b.data() + 5, b.data());
    EXPECT_STREQ(b.data(),
                 "hello worldhello worldhello worldworldhello worldhello worldhello world");

    std::string big(200, 'q');
    TextBuffer g(big.c_str());
    g.append(g.data());  // must grow while reading from the block it replaces
    EXPECT_EQ(std::string(g.data()), std::string(400, 'q'));
    EXPECT_EQ(g.capacity(), 601);
}

}  // namespace
}  // namespace kestrune
