// SPDX-License-Identifier: MIT
#include <gtest/gtest.h>
#include <kestrune/document.h>

#include <algorithm>
#include <optional>

#include "html/attributes.h"
#include "html/charRefs.h"
#include "support/caseFile.h"

namespace kestrune {
namespace {

TEST(AttributesTest, Pieces) {
    for (const auto& c : testing::readCases("html/data/attributes.txt", 3)) {
        SCOPED_TRACE(c[0]);
        AttributeMap expected;
        for (const std::string& pair : testing::fieldLines(c[1])) {
            expected.emplace(pair.substr(0, pair.find('=')), pair.substr(pair.find('=') + 1));
        }
        AttributeMap map;
        std::vector<std::string> words;
        EXPECT_EQ(parseAttributes(c[0], map, words), static_cast<int>(expected.size()));
        EXPECT_EQ(map, expected);
        EXPECT_EQ(words, testing::fieldLines(c[2]));
        // A look-up by name finds the first name equal without case, in byte order.
        for (const auto& [name, value] : expected) {
            std::string found;
            EXPECT_EQ(findAttribute(c[0], name, found), 1) << name;
            EXPECT_EQ(found, std::find_if(expected.begin(), expected.end(), [&](const auto& e) {
                                 return equalsIgnoreCase(e.first, name);
                             })->second);
        }
    }
}

// One scan for many names finds for each what its own look-up finds: names in
// any case, repeated, empty or absent.
TEST(AttributesTest, FinderAgreesWithLookUps) {
    for (const auto& c : testing::readCases("html/data/attributes.txt", 3)) {
        SCOPED_TRACE(c[0]);
        std::vector<std::string> names = {"", "missing"};
        for (const std::string& pair : testing::fieldLines(c[1])) {
            std::string name = pair.substr(0, pair.find('='));
            names.push_back(name);
            names.push_back(name);
            for (char& ch : name) ch = ch ^ ((ch | 0x20) >= 'a' && (ch | 0x20) <= 'z' ? 0x20 : 0);
            names.push_back(name);
        }
        // Looked up one by one and by binary search over the groups.
        for (std::size_t fewGroups : {~std::size_t{0}, std::size_t{0}}) {
            AttributeFinder finder(names, fewGroups);
            for (int pass = 0; pass < 2; ++pass) {  // a finder is reused from text to text
                std::vector<std::optional<std::string>> found(names.size());
                finder.find(c[0], [&](std::size_t k, std::string_view value) {
                    EXPECT_FALSE(found[k].has_value()) << names[k];
                    found[k] = std::string(value);
                });
                for (std::size_t k = 0; k < names.size(); ++k) {
                    std::string expected;
                    const bool has = findAttribute(c[0], names[k], expected) == 1;
                    EXPECT_EQ(found[k].has_value(), has) << names[k];
                    if (has && found[k]) {
                        EXPECT_EQ(*found[k], expected) << names[k];
                    }
                }
            }
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
    for (const auto& c : testing::readCases("html/data/charRefs.txt", 2)) {
        std::string out = "kept:";
        appendDecoded(out, c[0]);
        EXPECT_EQ(out, "kept:" + c[1]) << c[0];
    }
    // A reference must end inside the text.
    std::string out;
    appendDecoded(out, std::string_view("&lt;", 3));
    EXPECT_EQ(out, "&lt");
}

}  // namespace
}  // namespace kestrune
