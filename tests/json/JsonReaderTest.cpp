// SPDX-License-Identifier: MIT
#include <gtest/gtest.h>
#include <kestrune/json.h>

#include <memory>
#include <string>
#include <vector>

#include "support/caseFile.h"
#include "support/runTool.h"

namespace kestrune {
namespace {

using namespace std::string_literals;

// Reads `text` into the container its first byte calls for.
std::unique_ptr<JsonValue> read(std::string_view text) {
    std::unique_ptr<JsonValue> value;
    if (!text.empty() && text[0] == '[') value = std::make_unique<JsonArray>();
    if (!text.empty() && text[0] == '{') value = std::make_unique<JsonObject>();
    if (value && !value->parse(text)) value.reset();
    return value;
}

std::string write(const JsonValue& value) {
    return value.asArray() ? value.asArray()->toString() : value.asObject()->toString();
}

TEST(JsonReaderTest, Containers) {
    for (const auto& c : testing::readCases("json/data/containers.txt", 3)) {
        SCOPED_TRACE(c[0]);
        std::unique_ptr<JsonValue> value = read(c[0]);
        ASSERT_NE(value, nullptr);
        EXPECT_EQ(write(*value), c[1]);
        EXPECT_EQ(value->length(), std::stoi(c[2]));
    }
}

// A million levels: reading, writing and destroying must not use the call stack.
constexpr int kDepth = 1000000;

TEST(JsonReaderDepthTest, MillionNestedArrays) {
    const std::string closed = std::string(kDepth, '[') + std::string(kDepth, ']');
    JsonArray array;
    ASSERT_TRUE(array.parse(closed));
    EXPECT_EQ(array.length(), 2 * kDepth);
    EXPECT_TRUE(array.toString() == closed);

    JsonArray unclosed;
    ASSERT_TRUE(unclosed.parse(std::string(kDepth, '[')));
    EXPECT_EQ(unclosed.length(), kDepth);
    EXPECT_TRUE(unclosed.toString() == closed);
}

// The error log is off by default and goes to the current directory: a fresh one
// here. Each case of the data file appends one entry.
TEST(JsonLogTest, KeyFaultsAreAppendedWithTheirPositions) {
    EXPECT_FALSE(jsonLogEnabled());
    testing::TempDir dir;
    testing::CurrentDirectory cwd(dir.path());
    setJsonLogEnabled(true);
    std::string expectedLog;
    for (const auto& c : testing::readCases("json/data/log.txt", 3)) {
        SCOPED_TRACE(c[0]);
        JsonObject object;
        EXPECT_TRUE(object.parse(c[0]));
        EXPECT_EQ(object.toString(), c[1]);
        expectedLog += c[2];
        EXPECT_EQ(testing::readFile("JsonErr.log"), expectedLog);
    }
    setJsonLogEnabled(false);
}

}  // namespace
}  // namespace kestrune
