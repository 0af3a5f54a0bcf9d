// SPDX-License-Identifier: MIT
#include <gtest/gtest.h>
#include <kestrune/document.h>

#include <string>
#include <tuple>
#include <vector>

#include "query/gatherTexts.h"
#include "support/caseFile.h"
#include "support/treeWalk.h"

namespace kestrune {
namespace {

class QueriesTest : public ::testing::Test {
  protected:
    void TearDown() override { EXPECT_EQ(testing::treeFault(doc), ""); }
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
        for (const auto& [tag, recursive, skipSpecial, expected] : rows)
            EXPECT_EQ(textOf(first(tag), recursive, skipSpecial), expected) << html << " " << tag;
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

// outerHtml of the first element named by the tag below the root, with line breaks and
// without, each line of the data ending in CR LF.
TEST_F(QueriesTest, SerializerLayout) {
    for (int lineBreaks : {1, 0}) {
        for (const auto& c : testing::readCases(
                 lineBreaks ? "query/data/layout.txt" : "query/data/layoutFlat.txt", 3)) {
            std::string expected, out;
            for (char ch : c[2] + (lineBreaks ? "\n" : ""))
                expected += ch == '\n' ? std::string("\r\n") : std::string(1, ch);
            parse(c[0]);
            EXPECT_EQ(first(c[1]).outerHtml(out, lineBreaks), 1) << c[0];
            EXPECT_EQ(out, expected) << c[0];
        }
    }
}

// Each call replaces what `out` held.
TEST_F(QueriesTest, SerializerTopLevelAndDoctype) {
    ASSERT_EQ(doc.parse("  <!DOCTYPE html>x<b>y</b>z"), 1);
    EXPECT_EQ(doc.doctype()->attributesString(), "html");
    const HtmlElement* text = doc.root()->nextSibling();
    ASSERT_NE(text, nullptr);
    std::string out = "stale";
    auto written = [&out](int status) { return std::to_string(status) + " " + out; };
    EXPECT_EQ(written(doc.doctype()->outerHtml(out, 1)), "1 <!DOCTYPE html>\r\n");
    // The root: the b element, the text in front of it.
    EXPECT_EQ(written(doc.root()->outerHtml(out, 1)), "1 x<b>y</b>\r\n");
    EXPECT_EQ(written(text->outerHtml(out, 1)), "0 z");
    EXPECT_EQ(written(doc.root()->writeAttributes(out)), "1 ");
}

// Each level of nesting indents every line below it: 20,000 levels (60 KB of page)
// ask for 1.2 GB of HTML, refused once past the limit.
TEST_F(QueriesTest, SerializerLimit) {
    std::string deep = "<html>";
    for (int i = 0; i < 20000; ++i) deep += "<b>";
    std::string out = "stale";
    EXPECT_EQ(parse(deep).outerHtml(out, 1), -1);
    EXPECT_EQ(out, "");
    // Three spaces, <p>x</p> and CR LF: 13 bytes.
    parse("<html><p>x</p></html>");
    EXPECT_EQ(first("p").outerHtml(out, 1, 13), 1);
    EXPECT_EQ(first("p").outerHtml(out, 1, 12), -1);
}

}  // namespace
}  // namespace kestrune
