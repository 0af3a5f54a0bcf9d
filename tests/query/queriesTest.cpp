// SPDX-License-Identifier: MIT
#include <gtest/gtest.h>
#include <kestrune/document.h>

#include <string>
#include <tuple>
#include <vector>

#include "query/gatherTexts.h"
#include "support/caseFile.h"

namespace kestrune {
namespace {

class QueriesTest : public ::testing::Test {
  protected:
    const HtmlElement& parse(const std::string& html) {
        EXPECT_EQ(doc.parse(html), 1);
        return *doc.root();
    }
    // The first element named `name` below the root.
    const HtmlElement& first(std::string_view name) {
        ElementList list;
        doc.root()->findByTag(name, list, 1);
        EXPECT_FALSE(list.empty()) << name;
        return list.empty() ? *doc.root() : *list.front();  // (failed already)
    }
    std::string textOf(const HtmlElement& e, int recursive = 1, int skipSpecial = 0) {
        std::string t = "stale";
        EXPECT_EQ(e.getText(t, recursive, skipSpecial), 1);
        return t;
    }
    // outerHtml of the first element named `tag` below the root of `html`.
    std::string outer(const std::string& html, std::string_view tag, int lineBreaks = 1) {
        parse(html);
        std::string out;
        EXPECT_EQ(first(tag).outerHtml(out, lineBreaks), 1);
        return out;
    }
    HtmlDocument doc;
};

TEST_F(QueriesTest, FindByTagInDocumentOrder) {
    const HtmlElement& html =
        parse("<html><body><div><p id=1>a</p><p id=2><span>b</span></p></div></body></html>");
    ElementList list;
    EXPECT_EQ(html.findByTag("p", list, 1), 2);
    EXPECT_EQ(list[0]->attributeText(), " id=1");
    EXPECT_EQ(list[1]->attributeText(), " id=2");
    // The list is never cleared: a second call appends.
    EXPECT_EQ(html.findByTag("P", list, 1), 4);
    EXPECT_EQ(list[2], list[0]);

    ElementList none;
    EXPECT_EQ(html.findByTag("html", none, 1), 0);  // the element itself is never tested
    EXPECT_EQ(html.findByTag("p", none, 0), 0);     // not a direct child
    EXPECT_EQ(html.findByTag("body", none, 0), 1);
}

// Per page: the element, getText's recursive and skipSpecial flags, the text.
TEST_F(QueriesTest, GetTextJoinsPiecesAndDecodesOnce) {
    using Rows = std::vector<std::tuple<const char*, int, int, const char*>>;
    const std::pair<const char*, Rows> pages[] = {
        // The parser drops white space at the start of a text, not at its end; an
        // element's own tail is not part of its text.
        {"<html><p>Hello <b>big</b> world</p><i>x</i></html>",
         {{"p", 1, 0, "Hello bigworld"}, {"p", 0, 0, "Hello world"}, {"b", 1, 0, "big"}}},
        // Decoded once, also a reference split across pieces.
        {"<html><p><b>&amp;lt;</b></p><q>&am<b></b>p;</q></html>",
         {{"p", 1, 0, "&lt;"}, {"b", 1, 0, "&lt;"}, {"q", 1, 0, "&"}}},
        // Special children go with their tails; below other children nothing is skipped.
        {"<html><p>x<!--y-->z<script>s</script>t<b>u<!--v-->w</b></p></html>",
         {{"p", 1, 0, "xyzstuvw"}, {"p", 1, 1, "xuvw"}, {"p", 0, 1, "x"}, {"p", 0, 0, "xzt"}}},
    };
    for (const auto& [html, rows] : pages) {
        parse(html);
        for (const auto& [tag, recursive, skipSpecial, expected] : rows) {
            EXPECT_EQ(textOf(first(tag), recursive, skipSpecial), expected) << html << " " << tag;
        }
    }
}

// The batch gathering gives every element the text getText gives it, nested matches,
// duplicates and out-of-order lists included.
TEST_F(QueriesTest, GatherTextsAgreesWithGetText) {
    parse(
        "<html><div>a<div>b&am<p>c</p>p;<div>d<!--e--></div>f</div>g<b>h</b></div>"
        "<div>i<script>j</script><p>k<div>l</div></p></div>m</html>");
    for (std::string_view tag : {"div", "p", "b", "!--", "script", "html", "none"}) {
        ElementList list;
        doc.root()->findByTag(tag, list, 1);
        if (list.size() > 1) {
            list.push_back(list.front());  // a duplicate
            list.push_back(list[1]);       // and an earlier element after later ones
        }
        const TextRuns runs(list);
        ASSERT_EQ(runs.size(), list.size());
        for (std::size_t i = 0; i < list.size(); ++i) {
            std::string text;
            runs.appendText(i, text);
            EXPECT_EQ(text, textOf(*list[i])) << tag << " #" << i;
        }
    }
}

TEST_F(QueriesTest, SerializerLayout) {
    for (const auto& c : testing::readCases("query/data/layout.txt", 3)) {
        std::string expected;
        for (char ch : c[2] + "\n")
            expected += ch == '\n' ? std::string("\r\n") : std::string(1, ch);
        EXPECT_EQ(outer(c[0], c[1]), expected) << c[0];
    }
}

TEST_F(QueriesTest, SerializerWithoutLineBreaks) {
    EXPECT_EQ(outer("<html><div><p>x</p><p>y</p>z</div>", "div", 0),
              "   <div>\r\n      <p>x</p>      <p>y</p>z\r\n   </div>");
    EXPECT_EQ(outer("<html><p>a<!--c-->b</p>", "p", 0), "   <p>a\r\n<!--c-->b\r\n   </p>");
}

TEST_F(QueriesTest, SerializerTopLevelAndDoctype) {
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
