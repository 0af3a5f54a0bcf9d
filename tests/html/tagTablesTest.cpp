// SPDX-License-Identifier: MIT
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "html/tagTables.h"

namespace kestrune {
namespace {

// The builder's lookup for names inside a text agrees with the general one.
TEST(TagTablesTest, ClassOfValidNameAgrees) {
    std::vector<std::string> names{"!--", "!doctype", "!DocType",   "script",     "STYLE",
                                   "p",   "P",        "blockquote", "BLOCKQUOTE", "blockquot",
                                   "h7",  "x1",       "B"};
    for (auto table : {std::vector<std::string_view>(blockTags.begin(), blockTags.end()),
                       std::vector<std::string_view>(inlineTags.begin(), inlineTags.end()),
                       std::vector<std::string_view>(voidTags.begin(), voidTags.end())}) {
        for (std::string_view n : table) {
            names.emplace_back(n);
            std::string upper(n);
            for (char& c : upper) c = static_cast<char>(c >= 'a' && c <= 'z' ? c - 32 : c);
            names.push_back(upper);
        }
    }
    for (const std::string& n : names) {
        std::string padded = n + std::string(16, '>');
        EXPECT_EQ(tagClassOfValidName(std::string_view(padded.data(), n.size())), tagClassOf(n))
            << n;
    }
    EXPECT_NE(tagClassOf("script") & kTagScript, 0);
    EXPECT_NE(tagClassOf("!DOCTYPE") & kTagDoctype, 0);
    EXPECT_NE(tagClassOf("!--") & kTagComment, 0);
    EXPECT_EQ(tagClassOf("scripts"), 0);
}

TEST(TagTablesTest, ValidTagNames) {
    struct Case {
        const char* name;
        int valid;
    };
    const Case cases[] = {
        {"h1", 1},
        {"/h1", 1},
        {"!DOCTYPE", 1},
        {"!--", 1},
        {"/", 1},
        {"abcdefghijklmnop", 1},
        {"abcdefghijklmnopq", 0},
        {"", 0},
        {"br/", 0},
        {"?xml", 0},
        {"x-y", 0},
        {"o:p", 0},
        {"h1 ", 0},
        {"//p", 0},
        {"!doc", 0},
        {"/!--", 0},
        {"\xD6\xD0", 0},
        {"!doctypE", 1},
    };
    for (const Case& c : cases) EXPECT_EQ(isValidTagName(c.name), c.valid) << c.name;
}

TEST(TagTablesTest, MayNest) {
    struct Case {
        const char* newTag;
        const char* openTag;
        int nests;
    };
    const Case cases[] = {
        {"p", "P", 0},   {"li", "li", 0},   {"TD", "td", 0}, {"div", "div", 1}, {"div", "span", 0},
        {"p", "a", 0},   {"table", "p", 0}, {"hr", "b", 0},  {"div", "td", 1},  {"span", "p", 1},
        {"!--", "a", 1}, {"li", "p", 1},    {"tr", "td", 1}, {"hr", "hr", 1},   {"img", "img", 1},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(mayNest(c.newTag, c.openTag), c.nests) << c.newTag << " in " << c.openTag;
    }
}

}  // namespace
}  // namespace kestrune
