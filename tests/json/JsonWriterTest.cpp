// SPDX-License-Identifier: MIT
#include <gtest/gtest.h>
#include <kestrune/json.h>

#include <functional>
#include <string>

namespace kestrune {
namespace {

using namespace std::string_literals;

JsonString* scalar(JsonType kind, std::string_view text) {
    auto* value = new JsonString;
    value->setText(text, kind);
    return value;
}

TEST(JsonWriterTest, ObjectsByteForByte) {
    struct Case {
        const char* name;
        std::function<void(JsonObject&)> build;
        std::string expected;
    };
    const Case cases[] = {
        {"empty", [](JsonObject&) {}, "{}"},
        {"empty object member", [](JsonObject& o) { o.addValue("k", new JsonObject); },
         "{\"k\":{}}"},
        {"empty string", [](JsonObject& o) { o.addString("k", ""); }, "{\"k\":\"\"}"},
        {"control bytes, NUL and high bytes",
         [](JsonObject& o) { o.addString("k", "\t\r\n\0\x1f\x7f\xD6\xD0"s); },
         "{\"k\":\"\\u0009\\u000d\\u000a\\u0000\\u001f\x7f\xD6\xD0\"}"},
        {"scalars by kind",
         [](JsonObject& o) {
             o.addValue("b", scalar(JsonType::Boolean, "true"));
             o.addValue("i", scalar(JsonType::Integer, "-42"));
             o.addValue("n", scalar(JsonType::Null, "null"));
             o.addValue("r", scalar(JsonType::Real, "1.50"));
             o.addValue("u", new JsonString);  // never given a value: empty text
         },
         "{\"b\":true, \"i\":-42, \"n\":null, \"r\":1.50, \"u\":}"},
        {"report shape",
         [](JsonObject& o) {
             auto* list = new JsonArray;
             for (const char* n : {"1", "2"}) {
                 JsonObject* row = list->add(new JsonObject);
                 row->addString("text", std::string("t") + n);
                 row->addString("href", std::string("h") + n);
             }
             o.addValue("a", list);
         },
         "{\"a\":[{\"href\":\"h1\", \"text\":\"t1\"}, {\"href\":\"h2\", \"text\":\"t2\"}]}"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        JsonObject object;
        c.build(object);
        EXPECT_EQ(object.toString(), c.expected);
    }
}

}  // namespace
}  // namespace kestrune
