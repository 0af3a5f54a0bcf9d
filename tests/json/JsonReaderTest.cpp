// SPDX-License-Identifier: MIT
#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "json/JsonValue.h"
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

std::string repeat(std::string_view piece, int count) {
    std::string out;
    out.reserve(piece.size() * static_cast<std::size_t>(count));
    for (int i = 0; i < count; ++i) out.append(piece);
    return out;
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
    const std::string closed = repeat("[", kDepth) + repeat("]", kDepth);
    JsonArray array;
    ASSERT_TRUE(array.parse(closed));
    EXPECT_EQ(array.length(), 2 * kDepth);
    EXPECT_TRUE(array.toString() == closed);

    JsonArray unclosed;
    ASSERT_TRUE(unclosed.parse(repeat("[", kDepth)));
    EXPECT_EQ(unclosed.length(), kDepth);
    EXPECT_TRUE(unclosed.toString() == closed);
}

// The error log is written to the current directory, so each test runs in a fresh one.
class JsonLogTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_FALSE(dir_.path().empty());
        previous_ = std::filesystem::current_path();
        std::filesystem::current_path(dir_.path());
    }
    void TearDown() override {
        setJsonLogEnabled(false);
        std::filesystem::current_path(previous_);
    }

    static std::string entry(int position, const std::string& message) {
        return "\xBD\xE2\xCE\xF6\xB3\xF6\xB4\xED\xA3\xAC\xCE\xBB\xD6\xC3\xA3\xBA" +
               std::to_string(position) + "(" + message + ")\r\n";
    }
    static std::string log() { return testing::readFile("JsonErr.log"); }

    const std::string noKey = "\xCE\xDE\xBC\xFC\xD6\xB5";
    const std::string missingValue = "\xC8\xB1\xC9\xD9\xBC\xFC\xB5\xC4\xD6\xB5";
    testing::TempDir dir_;

  private:
    std::filesystem::path previous_;
};

TEST_F(JsonLogTest, OffByDefault) { EXPECT_FALSE(jsonLogEnabled()); }

TEST_F(JsonLogTest, KeyFaultsAreAppendedWithTheirPositions) {
    setJsonLogEnabled(true);
    struct Case {
        const char* text;
        const char* written;
        std::string logged;
    };
    const Case cases[] = {
        // The unquoted key runs to the comma, which is skipped with it.
        {"{k:1, \"m\":2}", "{\"m\":2}", entry(5, noKey)},
        // No colon: the next quoted text is read as the next key.
        {"{\"k\" \"m\":2}", "{\"m\":2}", entry(5, missingValue)},
        // Positions count from the nested object's own bracket.
        {"{\"a\":{x}}", "{\"a\":{}}", entry(3, noKey)},
        {"{\"a\":1, }", "{\"a\":1}", entry(9, noKey)},
        {"{\"k\"", "{}", entry(4, missingValue)},
        {"{]}", "{}", entry(2, noKey)},
    };
    std::string expectedLog;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        JsonObject object;
        ASSERT_TRUE(object.parse(c.text));
        EXPECT_EQ(object.toString(), c.written);
        expectedLog += c.logged;
        EXPECT_EQ(log(), expectedLog);
    }
}

}  // namespace
}  // namespace kestrune
