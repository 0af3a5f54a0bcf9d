// SPDX-License-Identifier: MIT
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "html/parserCore.h"
#include "html/tagTables.h"
#include "support/caseFile.h"

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
    for (const auto& c : testing::readCases("html/data/tagNames.txt", 2)) {
        EXPECT_EQ(isValidTagName(c[0]), std::stoi(c[1])) << c[0];
    }
}

// The token cut's name test agrees with the full one, whatever surrounds the name.
TEST(TagTablesTest, TokenNameTestAgrees) {
    std::vector<std::string> tags{"< y z</p>", "</>",      "<>",       "<a\tb>",
                                  "<\n/a>",    "<a\"b c>", "<br/>",    "<//p>",
                                  "</ p>",     "<p",       "<!-- -->", "<\xc3\xa9>"};
    for (const auto& c : testing::readCases("html/data/tagNames.txt", 2)) {
        for (const char* form : {"<%>", "<% x=1>", "<%/>", "< %>", "<%\r\n>", "x <%>"}) {
            std::string tag(form);
            tags.push_back(tag.replace(tag.find('%'), 1, c[0]));
        }
    }
    for (std::string tag : tags) {
        const std::size_t size = tag.size();
        tag.append(16, '\0');  // the padding of a document's text
        Token token;
        readTag(tag.data(), tag.data() + size, token);
        EXPECT_EQ(isValidTagToken(token), isValidTagName(token.tagName) != 0) << tag;
    }
}

TEST(TagTablesTest, MayNest) {
    for (const auto& c : testing::readCases("html/data/nesting.txt", 3)) {
        EXPECT_EQ(mayNest(c[0], c[1]), std::stoi(c[2])) << c[0] << " in " << c[1];
    }
}

}  // namespace
}  // namespace kestrune
