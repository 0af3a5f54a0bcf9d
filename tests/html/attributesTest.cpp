// SPDX-License-Identifier: MIT
#include <gtest/gtest.h>

#include <algorithm>

#include "html/HtmlDocument.h"
#include "html/attributes.h"
#include "html/charRefs.h"

namespace kestrune {
namespace {

struct AttributeCase {
    const char* text;
    AttributeMap attributes;
    std::vector<std::string> valueless;
};

TEST(AttributesTest, Pieces) {
    const AttributeCase cases[] = {
        {" href=\"a b.html\" title=x", {{"href", "a b.html"}, {"title", "x"}}, {}},
        {" disabled id=main hidden", {{"id", "main"}}, {"disabled", "hidden"}},
        // Single quotes do not protect spaces.
        {" class='a b'", {{"class", "a"}}, {"b'"}},
        // The first value of a name stays; byte order puts ID first.
        {" id=a ID=b id=z", {{"ID", "b"}, {"id", "a"}}, {}},
        {" a = 1", {}, {"a", "1"}},
        // The byte after a separating space is never examined: here the opening quote.
        {" a= \"x y\" b=z", {{"a", ""}, {"y\" b", "z"}}, {"\"x"}},
        // CR, LF and TAB are removed, not turned into spaces.
        {" a=\"1\"\nb=\"2\"", {{"a", "1\"b=\"2"}}, {}},
        {" v=\"\"x\"\"", {{"v", "x"}}, {}},
        {" v='\"x\"'", {{"v", "\"x\""}}, {}},
        {" v=\"'x'\"", {{"v", "x"}}, {}},
        {"   ", {}, {}},
        {"", {}, {}},
        {" =x", {}, {}},
        {" a  b", {}, {"a", "b"}},
        {" a\tb=1 c", {{"ab", "1"}}, {"c"}},
        {" x=a=b", {{"x", "a=b"}}, {}},
        {" HREF=1 href=2 Href=3", {{"HREF", "1"}, {"Href", "3"}, {"href", "2"}}, {}},
        {" z=1 \xE9=2 ab=3 abc=4", {{"ab", "3"}, {"abc", "4"}, {"z", "1"}, {"\xE9", "2"}}, {}},
    };
    for (const AttributeCase& c : cases) {
        SCOPED_TRACE(c.text);
        AttributeMap map;
        std::vector<std::string> words;
        EXPECT_EQ(parseAttributes(c.text, map, words), static_cast<int>(c.attributes.size()));
        EXPECT_EQ(map, c.attributes);
        EXPECT_EQ(words, c.valueless);
        // A look-up by name finds the first name equal without case, in byte order.
        for (const auto& attribute : c.attributes) {
            const std::string& name = attribute.first;
            std::string found;
            EXPECT_EQ(findAttribute(c.text, name, found), 1) << name;
            EXPECT_EQ(
                found,
                std::find_if(c.attributes.begin(), c.attributes.end(), [&](const auto& entry) {
                    return equalsIgnoreCase(entry.first, name);
                })->second);
        }
    }
}

TEST(AttributesTest, ByteOrderOfNames) {
    AttributeMap map;
    std::vector<std::string> words;
    parseAttributes(" \xE9=1 z=2 abc=3 ab=4 B=5", map, words);
    std::vector<std::string> order;
    for (const auto& [name, value] : map) order.push_back(name);
    EXPECT_EQ(order, (std::vector<std::string>{"B", "ab", "abc", "z", "\xE9"}));
}

TEST(AttributesTest, ElementLookups) {
    HtmlDocument doc;
    ASSERT_EQ(doc.parse("<html><a HREF=x href=2 title=\"a&amp;b\" disabled>t</a>"), 1);
    const HtmlElement& a = *doc.root()->firstChild();
    std::string value = "untouched";
    EXPECT_EQ(a.getAttribute("href", value), 1);
    EXPECT_EQ(value, "x");  // HREF sorts before href
    EXPECT_EQ(a.getAttribute("TITLE", value), 1);
    EXPECT_EQ(value, "a&b");
    value = "untouched";
    EXPECT_EQ(a.getAttribute("disabled", value), 0);
    EXPECT_EQ(a.getAttribute("tit", value), 0);
    EXPECT_EQ(value, "untouched");
    EXPECT_EQ(a.valuelessAttributes(), std::vector<std::string>{"disabled"});
}

TEST(CharRefsTest, Decoding) {
    struct Case {
        std::string in;
        std::string out;
    };
    const Case cases[] = {
        {"a &lt; b &amp;&amp; x", "a < b && x"},
        {"&LT;", "&LT;"},
        {"x&lt", "x&lt"},
        {"&gt;&apos;&quot;", ">'\""},
        {"&amp;lt;", "&lt;"},
        {"&#65;&#x42;", "AB"},
        {"&#X42;", "&#X42;"},
        {"&#x;", "&#x;"},
        {"&#0;", "&#0;"},
        {"&#;", "&#;"},
        {"&#12345678;", "&#12345678;"},
        {"&#1234567;", "\xED\x9A\x87"},
        {"&#65abc;", "A"},
        {"&#233;", "\xC3\xA9"},
        {"&#8364;", "\xE2\x82\xAC"},
        {"&#-1;", "\xFF"},
        {"&#-256;", std::string("\0", 1)},
        {"&#65536;", "\xE0\x80\x80"},
        {"&#x0x41;", "A"},
        {"&#x-41;", "\xBF"},  // -0x41, one byte of its low 8 bits
        {"&# 65;", "A"},
        {"&#+66;", "B"},
        {"&#xFFFF;", "\xEF\xBF\xBF"},
        {"&#127;&#128;&#2047;&#2048;", "\x7F\xC2\x80\xDF\xBF\xE0\xA0\x80"},
        {"&#", "&#"},
        {"&#x", "&#x"},
        {"&", "&"},
        {"&&lt;", "&<"},
        {"&#6;5;",
         "\x06"
         "5;"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.in);
        std::string out = "kept:";
        appendDecoded(out, c.in);
        EXPECT_EQ(out, "kept:" + c.out);
    }
    // A reference must end inside the text.
    std::string out;
    appendDecoded(out, std::string_view("&lt;", 3));
    EXPECT_EQ(out, "&lt");
}

}  // namespace
}  // namespace kestrune
