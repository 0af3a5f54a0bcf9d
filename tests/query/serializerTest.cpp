// SPDX-License-Identifier: MIT
#include <gtest/gtest.h>
#include <kestrune/document.h>

#include <string>

#include "support/caseFile.h"

namespace kestrune {
namespace {

// outerHtml of the first element named `tag` below the root of `html`.
std::string outer(const std::string& html, std::string_view tag, int lineBreaks = 1) {
    HtmlDocument doc;
    EXPECT_EQ(doc.parse(html), 1);
    ElementList list;
    doc.root()->findByTag(tag, list, 1);
    if (list.empty()) return "(none)";
    std::string out;
    EXPECT_EQ(list.front()->outerHtml(out, lineBreaks), 1);
    return out;
}

TEST(SerializerTest, Layout) {
    for (const auto& c : testing::readCases("query/data/layout.txt", 3)) {
        std::string expected;
        for (char ch : c[2] + "\n")
            expected += ch == '\n' ? std::string("\r\n") : std::string(1, ch);
        EXPECT_EQ(outer(c[0], c[1]), expected) << c[0];
    }
}

TEST(SerializerTest, WithoutLineBreaks) {
    EXPECT_EQ(outer("<html><div><p>x</p><p>y</p>z</div>", "div", 0),
              "   <div>\r\n      <p>x</p>      <p>y</p>z\r\n   </div>");
    EXPECT_EQ(outer("<html><p>a<!--c-->b</p>", "p", 0), "   <p>a\r\n<!--c-->b\r\n   </p>");
}

TEST(SerializerTest, TopLevelAndDoctype) {
    HtmlDocument doc;
    ASSERT_EQ(doc.parse("  <!DOCTYPE html>x<b>y</b>z"), 1);
    std::string out;
    EXPECT_EQ(doc.doctype()->outerHtml(out, 1), 1);
    EXPECT_EQ(out, "<!DOCTYPE html>\r\n");
    EXPECT_EQ(doc.doctype()->attributesString(), "html");
    EXPECT_EQ(doc.root()->outerHtml(out, 1), 1);  // root: the b element, text in front of it
    EXPECT_EQ(out, "x<b>y</b>\r\n");
    const HtmlElement* text = doc.root()->nextSibling();
    ASSERT_NE(text, nullptr);
    EXPECT_EQ(text->outerHtml(out, 1), 0);
    EXPECT_EQ(out, "z");
    EXPECT_EQ(doc.root()->writeAttributes(out), 1);
    EXPECT_EQ(out, "");
}

}  // namespace
}  // namespace kestrune
