// SPDX-License-Identifier: MIT
#include <gtest/gtest.h>
#include <kestrune/document.h>

#include <string>

#include "query/gatherTexts.h"

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
        return *list.front();
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

TEST_F(QueriesTest, GetTextJoinsPiecesAndDecodesOnce) {
    parse("<html><p>Hello <b>big</b> world</p><i>x</i></html>");
    const HtmlElement& p = first("p");
    // The parser drops white space at the start of a text, not at its end.
    EXPECT_EQ(textOf(p), "Hello bigworld");
    EXPECT_EQ(textOf(p, 0), "Hello world");
    EXPECT_EQ(textOf(first("b")), "big");  // its own tail is not part of it

    parse("<html><p><b>&amp;lt;</b></p><q>&am<b></b>p;</q></html>");
    EXPECT_EQ(textOf(first("p")), "&lt;");
    EXPECT_EQ(textOf(first("b")), "&lt;");
    EXPECT_EQ(textOf(first("q")), "&");  // a reference split across pieces

    parse("<html><p>x<!--y-->z<script>s</script>t<b>u<!--v-->w</b></p></html>");
    EXPECT_EQ(textOf(first("p")), "xyzstuvw");
    // Special children go with their tails; below other children nothing is skipped.
    EXPECT_EQ(textOf(first("p"), 1, 1), "xuvw");
    EXPECT_EQ(textOf(first("p"), 0, 1), "x");
    EXPECT_EQ(textOf(first("p"), 0, 0), "xzt");
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

}  // namespace
}  // namespace kestrune
