#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "json/JsonValue.h"
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

TEST(JsonReaderTest, Scalars) {
    struct Case {
        std::string text;
        JsonType type;
        std::string stored;
        int length;
    };
    const Case cases[] = {
        {"\"abc\"", JsonType::String, "abc", 5},
        {"\"\"", JsonType::String, "", 2},
        {"\"a\\\"b\"", JsonType::String, "a\\\"b", 6},  // escapes stay as written
        {"\"a\\\\\"x", JsonType::String, "a\\\\", 5},   // \\ then the closing quote
        {"\"x\" , 1", JsonType::String, "x", 3},
        {"\"abc", JsonType::String, "abc", 4},    // unclosed: only the opening quote counts
        {"\"ab\\", JsonType::String, "ab\\", 4},  // a final backslash is content
        {"\"a\"b\0c\""s, JsonType::String, "a", 3},
        {"\"a\0b\""s, JsonType::String, "a", 2},  // the text ends at NUL
        {"true", JsonType::Boolean, "true", 4},
        {"fAlSe]", JsonType::Boolean, "fAlSe", 5},
        {"NuLl", JsonType::Null, "NuLl", 4},
        {"TRUE ,", JsonType::Boolean, "TRUE", 5},  // white space before the delimiter is consumed
        {"t r\tu\ne}", JsonType::Boolean, "true", 7},
        {"1.50", JsonType::Real, "1.50", 4},
        {"1e5", JsonType::Integer, "1e5", 3},
        {"1 2", JsonType::Integer, "12", 3},
        {"-12abc,9", JsonType::Integer, "-12abc", 6},
        {"word}", JsonType::Integer, "word", 4},
        {" \"q\"", JsonType::Integer, "\"q\"", 4},  // no white space is skipped first
        {"\t 7 \r\n]", JsonType::Integer, "7", 6},
        {"12\0,3"s, JsonType::Integer, "12", 2},
        {"", JsonType::Integer, "", 0},
        {",", JsonType::Integer, "", 0},
        {"]", JsonType::Integer, "", 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        JsonString scalar;
        ASSERT_TRUE(scalar.parse(std::string_view(c.text)));
        EXPECT_EQ(scalar.type(), c.type);
        EXPECT_EQ(scalar.text(), c.stored);
        EXPECT_EQ(scalar.length(), c.length);
    }
}

TEST(JsonReaderTest, ScalarTypedValues) {
    JsonString scalar;
    scalar.parse("TrUe");
    EXPECT_EQ(scalar.boolValue(), 1);
    scalar.parse("FALSE");
    EXPECT_EQ(scalar.boolValue(), 0);
    scalar.parse("1.50");
    EXPECT_DOUBLE_EQ(scalar.realValue(), 1.5);
    scalar.parse("1e5");
    EXPECT_EQ(scalar.intValue(), 1);
    scalar.parse("-9 9");
    EXPECT_EQ(scalar.intValue(), -99);
    scalar.parse("word");
    EXPECT_EQ(scalar.intValue(), 0);
}

TEST(JsonReaderTest, RefusedTextsChangeNothing) {
    JsonString scalar;
    scalar.setText("keep", JsonType::String);
    EXPECT_FALSE(scalar.parse(nullptr));
    EXPECT_FALSE(scalar.parse(std::string_view()));
    EXPECT_EQ(scalar.text(), "keep");
    EXPECT_EQ(scalar.type(), JsonType::String);

    JsonArray array;
    ASSERT_TRUE(array.parse("[1]"));
    JsonObject object;
    ASSERT_TRUE(object.parse("{\"a\":1}"));
    for (const char* text : {" [2]", "{\"b\":2}", "", "2", "\0[2]"}) {
        SCOPED_TRACE(text);
        EXPECT_FALSE(array.parse(text));
    }
    for (const char* text : {" {\"b\":2}", "[2]", "", "\"b\""}) {
        SCOPED_TRACE(text);
        EXPECT_FALSE(object.parse(text));
    }
    EXPECT_FALSE(array.parse(nullptr));
    EXPECT_FALSE(object.parse(std::string_view()));
    EXPECT_EQ(array.toString(), "[1]");
    EXPECT_EQ(array.length(), 3);
    EXPECT_EQ(object.toString(), "{\"a\":1}");
    EXPECT_EQ(object.length(), 7);
}

TEST(JsonReaderTest, Containers) {
    struct Case {
        std::string text;
        std::string written;
        int length;
    };
    const Case cases[] = {
        {"{}", "{}", 2},
        {"[]", "[]", 2},
        {"{", "{}", 1},
        {"[", "[]", 1},
        {"{\"b\":1, \"a\":\"x\"}", "{\"a\":\"x\", \"b\":1}", 16},
        {"{ \"k\" : true }  ", "{\"k\":true}", 14},
        {"{\"k\":}", "{\"k\":}", 6},  // missing value: an empty Integer
        {"{\"k\":1,\"k\":2}", "{\"k\":2}", 13},
        {"{\"a\\\"b\":\"c\\\\\"}", "{\"a\\\"b\":\"c\\\\\"}", 14},  // keys keep escapes
        {"{\"a\":1]", "{\"a\":1}", 7},  // the stray ']' is read as a key and skipped
        {"{\"a\":[1", "{\"a\":[1]}", 7},
        {"{\"a\":{\"b\":[true, NULL, 1.5, \"s\"]}, \"c\":[]}",
         "{\"a\":{\"b\":[true, NULL, 1.5, \"s\"]}, \"c\":[]}", 42},
        {"[,1]", "[, 1]", 4},  // an empty element before the comma
        {"[1,]", "[1]", 4},
        {"[1, ]", "[1, ]", 5},  // white space after the comma starts an empty element
        {"[1, \"a\", [2], {\"b\":3}]", "[1, \"a\", [2], {\"b\":3}]", 22},
        {"[\"a\" \"b\"[]{}]", "[\"a\", \"b\", [], {}]", 13},  // commas are optional here
        {"[1 2, x y]", "[12, xy]", 10},  // but an unquoted value runs to the next comma
        {"[1}", "[1]", 3},               // '}' where an element should start ends the array
        {"[}", "[]", 2},
        {"[1, }", "[1]", 5},
        {"[[1}]", "[[1]]", 5},
        {"{\"a\":[1}, \"b\":2}", "{\"a\":[1], \"b\":2}", 16},
        {"[1]\0[2]"s, "[1]", 3},  // the text ends at NUL
        {"[1\0]"s, "[1]", 2},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        std::unique_ptr<JsonValue> value = read(c.text);
        ASSERT_NE(value, nullptr);
        EXPECT_EQ(write(*value), c.written);
        EXPECT_EQ(value->length(), c.length);
    }
}

TEST(JsonReaderTest, ChildKindsLengthsAndKeyList) {
    JsonArray array;
    ASSERT_TRUE(array.parse("[1, \"a\", [2], {\"b\":3}]"));
    std::vector<JsonType> kinds;
    for (const auto& element : array.elements()) kinds.push_back(element->type());
    EXPECT_EQ(kinds, (std::vector<JsonType>{JsonType::Integer, JsonType::String, JsonType::Array,
                                            JsonType::Object}));
    EXPECT_EQ(array.elements()[2]->length(), 3);
    EXPECT_EQ(array.elements()[3]->length(), 7);

    JsonObject object;
    ASSERT_TRUE(object.parse("{\"b\":1, \"a\":\"x\", \"b\":[1}}"));
    EXPECT_EQ(object.keys(), (std::vector<std::string>{"b", "a", "b"}));
    EXPECT_EQ(object.members().at("a")->asString()->text(), "x");
    EXPECT_EQ(object.members().at("b")->length(), 3);  // "[1}" closed by its '}'
    EXPECT_EQ(object.toString(), "{\"a\":\"x\", \"b\":[1]}");

    JsonObject numbers;
    ASSERT_TRUE(numbers.parse("{\"b\":1, \"a\":\"x\"}"));
    const JsonString* b = numbers.members().at("b")->asString();
    ASSERT_NE(b, nullptr);
    EXPECT_EQ(b->type(), JsonType::Integer);
    EXPECT_EQ(b->intValue(), 1);
}

TEST(JsonReaderTest, ParsingAddsToWhatIsThere) {
    JsonArray array;
    array.add(new JsonObject);
    ASSERT_TRUE(array.parse("[2]"));
    EXPECT_EQ(array.toString(), "[{}, 2]");

    JsonObject object;
    object.addString("a", "old");
    ASSERT_TRUE(object.parse("{\"a\":1, \"b\":2}"));
    EXPECT_EQ(object.toString(), "{\"a\":1, \"b\":2}");
    EXPECT_EQ(object.keys(), (std::vector<std::string>{"a", "a", "b"}));
}

TEST(JsonReaderTest, WhitespaceIsExactlyFourBytes) {
    for (int c = 0; c < 256; ++c) {
        const bool expected = c == ' ' || c == '\t' || c == '\n' || c == '\r';
        EXPECT_EQ(isWhitespace(static_cast<char>(c)), expected) << c;
    }
    struct Case {
        std::string text;
        int start;
        int expected;
    };
    const Case cases[] = {
        {" \t\r\nx", 0, 4}, {"\v\fx", 0, 0}, {"ab  ", 2, 4}, {"  \0 x"s, 0, 2},
        {"abc", 10, 3},     {"  a", -5, 2},  {"a b", 1, 2},  {"", 0, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(JsonValue::skipWhitespace(c.text, c.start), c.expected);
    }
}

TEST(JsonReaderTest, WrittenTextReadsBackUnchanged) {
    JsonObject built;
    built.addString("quote\"key", "say \"hi\"\\\t\0end\xE9"s);
    JsonArray* list = built.addValue("list", new JsonArray);
    list->add(new JsonObject)->addString("", "");
    list->add(new JsonArray);
    auto* number = new JsonString;
    number->setText("-1.25", JsonType::Real);
    list->add(number);
    const std::string text = built.toString();

    JsonObject read;
    ASSERT_TRUE(read.parse(text));
    EXPECT_EQ(read.length(), static_cast<int>(text.size()));
    EXPECT_EQ(read.toString(), text);
    EXPECT_EQ(read.members().count("quote\\\"key"), 1u);

    // Reading normalises the layout; the normal form reads back unchanged.
    JsonObject loose;
    ASSERT_TRUE(loose.parse("{ \"b\" : [ 1 , TRUE ] ,\r\n\t\"a\" : \"x\" }"));
    const std::string normal = loose.toString();
    EXPECT_EQ(normal, "{\"a\":\"x\", \"b\":[1, TRUE]}");
    JsonObject again;
    ASSERT_TRUE(again.parse(normal));
    EXPECT_EQ(again.toString(), normal);
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

TEST(JsonReaderDepthTest, MillionNestedObjects) {
    const std::string closed = repeat("{\"a\":", kDepth - 1) + "{}" + repeat("}", kDepth - 1);
    JsonObject object;
    ASSERT_TRUE(object.parse(closed));
    EXPECT_EQ(object.length(), static_cast<int>(closed.size()));
    EXPECT_TRUE(object.toString() == closed);

    // Unclosed: the innermost key gets an empty value.
    JsonObject unclosed;
    ASSERT_TRUE(unclosed.parse(repeat("{\"a\":", kDepth)));
    EXPECT_EQ(unclosed.length(), 5 * kDepth);
    EXPECT_TRUE(unclosed.toString() == repeat("{\"a\":", kDepth) + repeat("}", kDepth));
}

TEST(JsonReaderDepthTest, ReplacedDeepMemberIsDestroyed) {
    JsonObject object;
    const std::string deep = repeat("[{\"b\":", kDepth / 2) + repeat("}]", kDepth / 2);
    ASSERT_TRUE(object.parse("{\"a\":" + deep + ", \"a\":1}"));
    EXPECT_TRUE(object.toString() == "{\"a\":1}");
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

TEST_F(JsonLogTest, NothingIsTouchedWhileOff) {
    JsonObject object;
    ASSERT_TRUE(object.parse("{k:1, \"k\" \"m\":2}"));
    EXPECT_EQ(object.toString(), "{\"m\":2}");
    logMessage("JsonErr.log", "%s", "x");
    EXPECT_FALSE(testing::pathExists("JsonErr.log"));

    // Switched on and off again; an existing log keeps its bytes.
    setJsonLogEnabled(true);
    setJsonLogEnabled(false);
    dir_.write("JsonErr.log", "old\n");
    ASSERT_TRUE(object.parse("{k}"));
    EXPECT_EQ(log(), "old\n");
}

TEST_F(JsonLogTest, LogMessageFormatsCutsAndAppends) {
    setJsonLogEnabled(true);
    logMessage("a.log", "%d-%s;", 42, "x");
    logMessage("a.log", "%s", std::string(5000, 'z').c_str());
    EXPECT_EQ(testing::readFile("a.log"), "42-x;" + std::string(4095, 'z'));

    logMessage("missing/dir/a.log", "%s", "lost");  // cannot be opened: dropped quietly
    EXPECT_FALSE(testing::pathExists("missing"));

    ::testing::internal::CaptureStdout();
    logMessage(nullptr, "%s|%d", "to stdout", 7);
    EXPECT_EQ(::testing::internal::GetCapturedStdout(), "to stdout|7");
}

}  // namespace
}  // namespace kestrune
