#include <gtest/gtest.h>

#include "html/tagTables.h"

namespace kestrune {
namespace {

TEST(TagTablesTest, LookupsIgnoreCase) {
    EXPECT_EQ(isBlockTag("DIV"), 1);
    EXPECT_EQ(isBlockTag("BlockQuote"), 1);
    EXPECT_EQ(isVoidTag("Br"), 1);
    EXPECT_EQ(isNoSelfNestTag("LI"), 1);
    EXPECT_EQ(isInlineTag("hr"), 1);
    EXPECT_EQ(isVoidTag("hr"), 1);
    EXPECT_EQ(isBlockTag("hr"), 1);
    EXPECT_EQ(isInlineTag("img"), 1);
    EXPECT_EQ(isVoidTag("IMG"), 1);
    EXPECT_EQ(isBlockTag("span"), 0);
    EXPECT_EQ(isVoidTag("basefonts"), 0);
    EXPECT_EQ(isVoidTag(""), 0);
    EXPECT_EQ(isInlineTag("\xC1"), 0);
}

TEST(TagTablesTest, EveryTableEntryAnswers) {
    for (auto n : blockTags) EXPECT_EQ(isBlockTag(n), 1) << n;
    for (auto n : inlineTags) EXPECT_EQ(isInlineTag(n), 1) << n;
    for (auto n : noSelfNestTags) EXPECT_EQ(isNoSelfNestTag(n), 1) << n;
    for (auto n : voidTags) EXPECT_EQ(isVoidTag(n), 1) << n;
    EXPECT_EQ(blockTags.size() + inlineTags.size() + noSelfNestTags.size() + voidTags.size(),
              17u + 20u + 6u + 16u);
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
