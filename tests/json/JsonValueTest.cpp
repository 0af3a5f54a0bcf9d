// SPDX-License-Identifier: MIT
#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <string>
#include <vector>

#include "json/JsonValue.h"

namespace kestrune {
namespace {

using namespace std::string_literals;

std::vector<std::string> memberKeys(const JsonObject& object) {
    std::vector<std::string> keys;
    for (const auto& member : object.members()) keys.push_back(member.first);
    return keys;
}

TEST(JsonStringTest, SetTextStoresAndReadsByKind) {
    struct Case {
        std::string text;
        JsonType kind;
        std::string stored;
        std::int64_t intValue;
        std::int32_t boolValue;
        double realValue;
    };
    constexpr std::int64_t kMax = std::numeric_limits<std::int64_t>::max();
    constexpr std::int64_t kMin = std::numeric_limits<std::int64_t>::min();
    const Case cases[] = {
        // Only String escapes; every other kind keeps its text as given.
        {"say \"hi\"", JsonType::String, "say \\\"hi\\\"", 0, 0, 0},
        {"tab\there\0"s, JsonType::String, "tab\\u0009here\\u0000", 0, 0, 0},
        {"\"1\"", JsonType::Integer, "\"1\"", 0, 0, 0},
        {" \t-42abc", JsonType::Integer, " \t-42abc", -42, 0, 0},
        {"99999999999999999999", JsonType::Integer, "99999999999999999999", kMax, 0, 0},
        {"-99999999999999999999", JsonType::Integer, "-99999999999999999999", kMin, 0, 0},
        {"1", JsonType::Boolean, "1", 0, 1, 0},
        {"true", JsonType::Boolean, "true", 0, 0, 0},  // read as a number: a word is 0
        {"5000000000", JsonType::Boolean, "5000000000", 0, 2147483647, 0},
        {"1.5e3", JsonType::Real, "1.5e3", 0, 0, 1500.0},
        {"a\"b", JsonType::None, "a\"b", 0, 0, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.stored);
        JsonString scalar;
        EXPECT_TRUE(scalar.setText(c.text, c.kind));
        EXPECT_EQ(scalar.type(), c.kind);
        EXPECT_EQ(scalar.text(), c.stored);
        EXPECT_EQ(scalar.length(), static_cast<std::int32_t>(c.stored.size()));
        // Only the field of the kind is filled; the others keep their initial 0.
        EXPECT_EQ(scalar.intValue(), c.intValue);
        EXPECT_EQ(scalar.boolValue(), c.boolValue);
        EXPECT_DOUBLE_EQ(scalar.realValue(), c.realValue);
    }
}

TEST(JsonObjectTest, MembersInByteOrderKeysInInsertionOrder) {
    JsonObject object;
    object.addString("text", "t");
    object.addString("href", "h");
    object.addString("attr", "a");
    EXPECT_EQ(memberKeys(object), (std::vector<std::string>{"attr", "href", "text"}));
    EXPECT_EQ(object.keys(), (std::vector<std::string>{"text", "href", "attr"}));

    JsonObject bytes;
    for (const char* key : {"\xE9", "z", "abc", "ab", "a", "B"}) bytes.addString(key, "");
    EXPECT_EQ(memberKeys(bytes), (std::vector<std::string>{"B", "a", "ab", "abc", "z", "\xE9"}));
}

TEST(JsonObjectTest, KeysAreStoredEscapedAndOrderedByTheirStoredForm) {
    JsonObject object;
    // Raw byte order would be \x01 < ! < " < \ < ]; stored forms start with a backslash.
    for (const std::string& key : {"a]"s, "a\\"s, "a\x01"s, "a!"s, "a\""s, "a\0"s}) {
        ASSERT_NE(object.addString(key, "v"), nullptr) << key;
    }
    EXPECT_EQ(memberKeys(object),
              (std::vector<std::string>{"a!", "a\\\"", "a\\\\", "a\\u0000", "a\\u0001", "a]"}));
    // Equal once escaped means equal: the same raw key is refused.
    EXPECT_EQ(object.addString("a\x01", "again"), nullptr);
    EXPECT_EQ(object.keys().size(), 6u);
}

TEST(JsonObjectTest, RepeatedKeysAreRefused) {
    JsonObject object;
    JsonString* first = object.addString("text", "one");
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(object.addString("text", "two"), nullptr);
    EXPECT_EQ(first->text(), "one");

    auto* offered = new JsonArray;
    EXPECT_EQ(object.addValue("text", offered), nullptr);
    // Refused: still the caller's to destroy (the sanitizers report a double free or a
    // leak if ownership went the wrong way).
    delete offered;
    EXPECT_EQ(object.members().size(), 1u);
    EXPECT_EQ(object.members().at("text").get(), first);
    EXPECT_EQ(object.keys(), (std::vector<std::string>{"text"}));

    EXPECT_EQ(object.addValue("other", nullptr), nullptr);
    EXPECT_EQ(object.members().count("other"), 0u);

    auto* adopted = new JsonArray;
    EXPECT_EQ(object.addValue("other", adopted), adopted);  // typed result, now owned
    EXPECT_EQ(object.members().at("other").get(), adopted);
}

TEST(JsonValueTest, MillionLevelTreeBuiltByHandIsWrittenAndDestroyed) {
    constexpr int kDepth = 1000000;
    auto* top = new JsonObject;
    JsonObject* inner = top;
    for (int i = 1; i < kDepth; ++i) {
        JsonArray* array = inner->addValue("a", new JsonArray);
        inner = array->add(new JsonObject);
    }
    std::string expected;
    for (int i = 1; i < kDepth; ++i) expected += "{\"a\":[";
    expected += "{}";
    for (int i = 1; i < kDepth; ++i) expected += "]}";
    EXPECT_TRUE(top->toString() == expected);
    delete top;  // iterative teardown: this would overflow the stack otherwise
}

}  // namespace
}  // namespace kestrune
