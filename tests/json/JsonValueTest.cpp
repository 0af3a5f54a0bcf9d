// SPDX-License-Identifier: MIT
#include <gtest/gtest.h>
#include <kestrune/json.h>

#include <cstdint>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "support/caseFile.h"

namespace kestrune {
namespace {

using namespace std::string_literals;

const std::map<std::string, JsonType> kTypes = {
    {"String", JsonType::String}, {"Integer", JsonType::Integer}, {"Boolean", JsonType::Boolean},
    {"Real", JsonType::Real},     {"Null", JsonType::Null},       {"None", JsonType::None}};

TEST(JsonStringTest, SetTextStoresAndReadsByKind) {
    for (const auto& c : testing::readCases("json/data/setText.txt", 4)) {
        SCOPED_TRACE(c[2]);
        JsonString scalar;
        EXPECT_TRUE(scalar.setText(c[0], kTypes.at(c[1])));
        EXPECT_EQ(scalar.type(), kTypes.at(c[1]));
        EXPECT_EQ(scalar.text(), c[2]);
        EXPECT_EQ(scalar.length(), static_cast<std::int32_t>(c[2].size()));
        std::ostringstream values;
        values << scalar.intValue() << ' ' << scalar.boolValue() << ' ' << scalar.realValue();
        EXPECT_EQ(values.str(), c[3]);
    }
}

TEST(JsonStringTest, ReadsScalars) {
    for (const auto& c : testing::readCases("json/data/scalars.txt", 4)) {
        SCOPED_TRACE(c[0]);
        JsonString scalar;
        ASSERT_TRUE(scalar.parse(std::string_view(c[0])));
        EXPECT_EQ(scalar.type(), kTypes.at(c[1]));
        EXPECT_EQ(scalar.text(), c[2]);
        EXPECT_EQ(scalar.length(), std::stoi(c[3]));
    }
}

// Keys are stored escaped; members stand in byte order of the stored keys, keys() in
// the order they were added. A key equal to an earlier one once escaped is refused,
// and the first value stays. Each key is added with its position as value.
TEST(JsonObjectTest, KeyOrderEscapingAndRepeats) {
    using Members = std::vector<std::pair<std::string, std::string>>;
    struct Case {
        std::vector<std::string> added;
        Members members;
        std::vector<std::string> keys;
    };
    const Case cases[] = {
        {{"text", "href", "attr"},
         {{"attr", "2"}, {"href", "1"}, {"text", "0"}},
         {"text", "href", "attr"}},
        {{"\xE9", "z", "abc", "ab", "B"},
         {{"B", "4"}, {"ab", "3"}, {"abc", "2"}, {"z", "1"}, {"\xE9", "0"}},
         {"\xE9", "z", "abc", "ab", "B"}},
        // Raw byte order would be \x01 < ! < " < \ < ]; stored forms start with "\".
        {{"a]", "a\\", "a\x01", "a!", "a\"", "a\0"s},
         {{"a!", "3"},
          {"a\\\"", "4"},
          {"a\\\\", "1"},
          {"a\\u0000", "5"},
          {"a\\u0001", "2"},
          {"a]", "0"}},
         {"a]", "a\\\\", "a\\u0001", "a!", "a\\\"", "a\\u0000"}},
        {{"text", "a\x01", "text", "a\x01"},
         {{"a\\u0001", "1"}, {"text", "0"}},
         {"text", "a\\u0001"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::PrintToString(c.added));
        JsonObject object;
        std::set<std::string> seen;
        for (std::size_t i = 0; i < c.added.size(); ++i) {
            const bool fresh = seen.insert(c.added[i]).second;
            EXPECT_EQ(object.addString(c.added[i], std::to_string(i)) != nullptr, fresh);
        }
        Members members;
        for (const auto& [key, value] : object.members()) {
            members.emplace_back(key, value->asString()->text());
        }
        EXPECT_EQ(members, c.members);
        EXPECT_EQ(object.keys(), c.keys);
    }
    // A refused value stays the caller's to destroy (the sanitizers report a double
    // free or a leak if ownership went the wrong way); an accepted one is returned.
    JsonObject object;
    ASSERT_NE(object.addString("text", ""), nullptr);
    auto* offered = new JsonArray;
    EXPECT_EQ(object.addValue("text", offered), nullptr);
    delete offered;
    EXPECT_EQ(object.addValue("other", nullptr), nullptr);
    auto* adopted = new JsonArray;
    EXPECT_EQ(object.addValue("other", adopted), adopted);
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
