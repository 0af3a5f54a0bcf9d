// SPDX-License-Identifier: MIT
#include <gtest/gtest.h>

#include <string>

#include "html/HtmlDocument.h"

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
    struct Case {
        const char* html;
        const char* tag;
        const char* expected;
    };
    const Case cases[] = {
        {"<html><body><a href=x class=y>t</a>", "a", "      <a class=\"y\" href=\"x\" >t</a>\r\n"},
        {"<html><body><p><br>x", "br", "         <br/>\r\n"},
        {"<html><body><img src=p.png>x", "img", "      <img src=\"p.png\" />\r\n"},
        {"<html><body><p><b><!-- note -->x", "!--", "<!-- note -->\r\n"},
        {"<html><body><script type=text/javascript>var a;</script>", "script",
         "<script type=\"text/javascript\" >var a;</script>\r\n"},
        {"<html><STYLE>p{}</style>", "style", "<STYLE>p{}</STYLE>\r\n"},
        {"<html><body><div/>x", "div", "      <div></div>\r\n"},
        {"<html><input disabled readonly>x", "input", "   <input disabled readonly/>\r\n"},
        {"<html><input disabled type=text readonly>x", "input",
         "   <input disabled readonly type=\"text\" />\r\n"},
        {"<html><a t='x\"y'>z</a>", "a", "   <a t=\"x\"y\" >z</a>\r\n"},
        {"<html><a h=&amp;>z</a>", "a", "   <a h=\"&amp;\" >z</a>\r\n"},
        // The worked example: a tail that is not the last child's shares its line.
        {"<html><div><p>x</p><p>y</p>z</div>", "div",
         "   <div>\r\n      <p>x</p>\r\n      <p>y</p>z\r\n   </div>\r\n"},
        {"<html><body><p>a<br>b</p>", "p", "      <p>a\r\n         <br/>\r\nb\r\n      </p>\r\n"},
        {"<html><ul><li>1</li>x<li>2</li></ul>", "ul",
         "   <ul>\r\n      <li>1</li>x      <li>2</li>\r\n   </ul>\r\n"},
        {"<html><p>a<!--c-->b<i>d</i></p>", "p",
         "   <p>a\r\n<!--c-->\r\nb      <i>d</i>\r\n   </p>\r\n"},
        {"<html><p><!DOCTYPE x y></p>", "p", "   <p>\r\n      <!DOCTYPE x y>\r\n   </p>\r\n"},
    };
    for (const Case& c : cases) EXPECT_EQ(outer(c.html, c.tag), c.expected) << c.html;
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
