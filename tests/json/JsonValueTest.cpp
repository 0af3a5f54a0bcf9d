// SPDX-License-Identifier: MIT
#include <gtest/gtest.h>
#include <kestrune/json.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <limits>
#include <map>
#include <memory>
#include <new>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "json/jsonInternal.h"
#include "support/caseFile.h"
#include "support/failingNew.h"
#include "support/runTool.h"

namespace kestrune {
namespace {

const std::map<std::string, JsonType> kTypes = {
    {"String", JsonType::String}, {"Integer", JsonType::Integer}, {"Boolean", JsonType::Boolean},
    {"Real", JsonType::Real},     {"Null", JsonType::Null},       {"None", JsonType::None}};

// A scalar given its text, or read from JSON text, keeps its kind and its text.
TEST(JsonStringTest, SetTextAndParseStoreByKind) {
    for (const auto& c : testing::readCases("json/data/setText.txt", 4)) {
        SCOPED_TRACE(c[2]);
        JsonString scalar;
        EXPECT_TRUE(scalar.setText(c[0], kTypes.at(c[1])));
        EXPECT_EQ(scalar.type(), kTypes.at(c[1]));
        EXPECT_EQ(scalar.text(), c[2]);
        EXPECT_EQ(scalar.length(), c[2].size());
        std::ostringstream values;
        values << scalar.intValue() << ' ' << scalar.boolValue() << ' ' << scalar.realValue();
        EXPECT_EQ(values.str(), c[3]);
    }
    for (const auto& c : testing::readCases("json/data/scalars.txt", 4)) {
        SCOPED_TRACE(c[0]);
        JsonString scalar;
        ASSERT_TRUE(scalar.parse(std::string_view(c[0])));
        EXPECT_EQ(scalar.type(), kTypes.at(c[1]));
        EXPECT_EQ(scalar.text(), c[2]);
        EXPECT_EQ(scalar.length(), std::stoul(c[3]));
    }
}

TEST(JsonObjectTest, KeyOrderEscapingAndRepeats) {
    for (const auto& c : testing::readCases("json/data/keys.txt", 3)) {
        SCOPED_TRACE(c[0]);
        JsonObject object;
        std::set<std::string> seen;
        const std::vector<std::string> added = testing::fieldLines(c[0]);
        for (std::size_t i = 0; i < added.size(); ++i) {
            const bool fresh = seen.insert(added[i]).second;
            EXPECT_EQ(object.addString(added[i], std::to_string(i)) != nullptr, fresh);
        }
        std::vector<std::string> members;
        for (const auto& [key, value] : object.members()) {
            members.push_back(value->asString()->text() + " " + key);
        }
        EXPECT_EQ(members, testing::fieldLines(c[1]));
        EXPECT_EQ(object.keys(), testing::fieldLines(c[2]));
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

// An insertion that runs out of memory, at any of its allocations, changes nothing and
// leaves the value with the caller, who destroys it (once: the sanitizers would see a
// second time).
TEST(JsonObjectTest, InsertionOutOfMemoryChangesNothing) {
    for (long long granted = 0;; ++granted) {
        JsonObject object;
        object.addString("a", "1");
        auto* value = new JsonString();
        value->setText("2", JsonType::String);
        testing::failNewAfter(granted);
        try {
            object.addValue("b\"", value);
        } catch (const std::bad_alloc&) {
            delete value;
            EXPECT_EQ(object.toString(), R"({"a":"1"})");
            EXPECT_EQ(object.keys().size(), 1u);
            continue;
        }
        testing::failNewAfter(-1);
        EXPECT_EQ(object.toString(), R"({"a":"1", "b\"":"2"})");
        break;
    }
}

// A tree built by hand is written byte for byte: stored texts unchanged, scalars by
// their kind, a value never given a text as nothing.
TEST(JsonWriterTest, BuiltByHand) {
    JsonObject object;
    object.addValue("e", new JsonObject);
    object.addString("k", std::string("\t\r\n\0\x1f\x7f\xD6\xD0", 8));
    object.addString("s", "");
    object.addValue("b", new JsonString)->setText("true", JsonType::Boolean);
    object.addValue("i", new JsonString)->setText("-42", JsonType::Integer);
    object.addValue("n", new JsonString)->setText("null", JsonType::Null);
    object.addValue("r", new JsonString)->setText("1.50", JsonType::Real);
    object.addValue("u", new JsonString);
    JsonArray* list = object.addValue("a", new JsonArray);
    for (std::string n : {"1", "2"}) {
        JsonObject* row = list->add(new JsonObject);
        row->addString("text", "t" + n);
        row->addString("href", "h" + n);
    }
    EXPECT_EQ(object.toString(), testing::readCases("json/data/builtByHand.txt", 1)[0][0]);
}

// Each text is read into the container its first byte calls for.
TEST(JsonReaderTest, Containers) {
    for (const auto& c : testing::readCases("json/data/containers.txt", 3)) {
        SCOPED_TRACE(c[0]);
        JsonArray array;
        JsonObject object;
        JsonValue& value = c[0][0] == '[' ? static_cast<JsonValue&>(array) : object;
        ASSERT_TRUE(value.parse(c[0]));
        EXPECT_EQ(c[0][0] == '[' ? array.toString() : object.toString(), c[1]);
        EXPECT_EQ(value.length(), std::stoul(c[2]));
    }
}

// A length is a size: the reader keeps one past 2 and 4 GiB whole. (Reading a text that
// long takes half a minute here: the length is stored the way the reader stores it.)
TEST(JsonReaderTest, LengthsHoldAnySize) {
    for (std::size_t n : {std::size_t{0x7FFFFFFF}, std::size_t{0x80000000}, std::size_t{0xFFFFFFFF},
                          std::numeric_limits<std::size_t>::max()}) {
        JsonArray array;
        JsonAccess::setLength(array, n);
        EXPECT_EQ(array.length(), n);
    }
}

// A million levels: reading, writing and destroying must not use the call stack.
TEST(JsonDepthTest, MillionLevels) {
    constexpr int kDepth = 1000000;
    const std::string closed = std::string(kDepth, '[') + std::string(kDepth, ']');
    // Read closed and unclosed, both are written closed.
    for (const std::string& text : {closed, std::string(kDepth, '[')}) {
        JsonArray array;
        ASSERT_TRUE(array.parse(text));
        EXPECT_EQ(array.length(), text.size());
        EXPECT_TRUE(array.toString() == closed);
    }

    // Objects in arrays, built by hand.
    JsonObject top;
    JsonObject* inner = &top;
    std::string opening, closing;
    for (int i = 1; i < kDepth; ++i) {
        inner = inner->addValue("a", new JsonArray)->add(new JsonObject);
        opening += "{\"a\":[";
        closing += "]}";
    }
    EXPECT_TRUE(top.toString() == opening + "{}" + closing);
}

// A tree `levels` deep: on each level a container of `width` children (objects and
// arrays taking turns, an object first when `objectFirst`) holding the next level at
// place `at` and, in its other places, scalars, empty containers and containers of one
// scalar in turn. The innermost level holds only those.
std::unique_ptr<JsonValue> makeTree(int levels, int width, int at, bool objectFirst) {
    auto container = [](bool object) -> JsonValue* {
        return object ? static_cast<JsonValue*>(new JsonObject) : new JsonArray;
    };
    auto add = [](JsonValue& parent, int place, JsonValue* child) {
        if (JsonArray* array = parent.asArray()) {
            array->add(child);
        } else {
            char key[16];
            std::snprintf(key, sizeof key, "%09d", place);  // key order is place order
            parent.asObject()->addValue(key, child);
        }
    };
    auto filler = [&](int place) -> JsonValue* {
        JsonValue* value = place % 3 == 0 ? new JsonString : container(place % 2 == 0);
        if (place % 3 == 2) add(*value, 0, new JsonString);
        if (JsonString* scalar = value->asString()) scalar->setText("x", JsonType::String);
        return value;
    };
    std::unique_ptr<JsonValue> root(container(objectFirst));
    JsonValue* level = root.get();
    for (int depth = 1; depth <= levels; ++depth) {
        JsonValue* next = nullptr;
        for (int place = 0; place < width; ++place) {
            if (place == at && depth < levels) {
                next = container(level->asArray() != nullptr);
                add(*level, place, next);
            } else {
                add(*level, place, filler(place));
            }
        }
        level = next;
    }
    return root;
}

// Destroying or clearing a tree allocates nothing, so it works when memory has run out:
// every allocation fails meanwhile, and every block is given back.
TEST(JsonDepthTest, TeardownAllocatesNothing) {
    struct Shape {
        int levels, width, at;
        bool objectFirst, clear;  // an object at the root, cleared before it is destroyed
    };
    const Shape shapes[] = {
        {1000000, 1, 0, false, false},  // a chain
        {1000000, 1, 0, true, true},
        {30000, 3, 0, true, false},   // the next level first, then siblings
        {30000, 3, 1, false, false},  // between siblings
        {30000, 3, 2, true, true},    // after them
        {2, 30000, 7, false, false},  // wide
        {2, 30000, 7, true, true},
    };
    for (const Shape& shape : shapes) {
        SCOPED_TRACE(::testing::Message() << shape.levels << " levels of " << shape.width
                                          << (shape.objectFirst ? ", object" : ", array"));
        const long long before = testing::liveNewBlocks();
        std::unique_ptr<JsonValue> tree =
            makeTree(shape.levels, shape.width, shape.at, shape.objectFirst);
        testing::refuseNew(true);
        if (shape.clear) tree->asObject()->clear();
        tree.reset();
        testing::refuseNew(false);
        EXPECT_EQ(testing::liveNewBlocks(), before);
    }
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
