// SPDX-License-Identifier: MIT
#include <gtest/gtest.h>

#include <cctype>
#include <string>

#include "html/HtmlDocument.h"
#include "support/treeDump.h"
#include "support/treeWalk.h"

namespace kestrune {
namespace {

using testing::dumpTree;

struct TreeCase {
    const char* html;
    const char* tree;
};

class TreeBuilderTest : public ::testing::TestWithParam<TreeCase> {};

// The case's number and its input, every run of other bytes than letters and digits
// made one "_".
std::string caseName(const ::testing::TestParamInfo<TreeCase>& info) {
    std::string name = std::to_string(info.index);
    for (const char* p = info.param.html; *p != '\0' && name.size() < 40; ++p) {
        if (std::isalnum(static_cast<unsigned char>(*p))) {
            name += *p;
        } else if (name.back() != '_') {
            name += '_';
        }
    }
    return name;
}

TEST_P(TreeBuilderTest, BuildsTree) {
    const TreeCase& c = GetParam();
    HtmlDocument doc;
    doc.parse(c.html);
    EXPECT_EQ(dumpTree(doc), c.tree) << c.html;
    EXPECT_EQ(testing::treeFault(doc), "");
}

const TreeCase kNesting[] = {
    // A p does not open inside a p: the first one is handed back open.
    {"<html><p>a<p>b</p>", "html~\n  p~ own='a'\n  p own='b'\n"},
    // The second li records /ul as stray; trailing text without a tag is dropped.
    {"<html><ul><li>1<li>2</ul>x", "html~\n  ul~\n    li~ own='1'\n    li~ own='2' stray=/ul\n"},
    // A block tag ends an open inline element; its end tag is matched later by the parent.
    {"<html><b><p>x</p></b>", "html~\n  b\n  p own='x'\n"},
    {"<html><div>w<span>x</div>y<div>z</div>",
     "html~\n  div~ own='w'\n    span~ own='y' stray=/div\n    div own='z'\n"},
    {"<html><p>one<br>two</p>", "html~\n  p own='one'\n    br tail='two'\n"},
    {"<html><p>one<b>x</b>two</p>", "html~\n  p own='one'\n    b own='x' tail='two'\n"},
    // Each accepted tag replaces the text of the current slot.
    {"<html><div>w</span>x<i>y</i></div>", "html~\n  div own='x' stray=/span\n    i own='y'\n"},
    {"<DIV>x</div>", "DIV own='x'\n"},
    // A refused tag is handed up through every level that refuses it; its text stays
    // with the element that read it first.
    {"<html><body><p>one<div>x</div>", "html~\n  body~\n    p~ own='one'\n    div own='x'\n"},
    {"<html><div><b><i>t<p>x", "html~\n  div~\n    b~\n      i~ own='t'\n    p~\n"},
    {"<p>one<div>x</div>", "p~ own='one'\ndiv own='x'\n"},
    // a, i, li, tr, td do not nest in themselves; other names do.
    {"<html><a>1<a>2</a></html>", "html\n  a~ own='1'\n  a own='2'\n"},
    {"<html><span><span>x</span></span>", "html~\n  span\n    span own='x'\n"},
    // An end tag closes the first open child of its name, once.
    {"<html><li>a<li>b</li></li></li>", "html~ stray=/li\n  li own='a'\n  li own='b'\n"},
    {"<html><p>a<p>b<p>c</p></p></p>x</html>",
     "html\n  p own='a'\n  p own='b'\n  p own='c' tail='x'\n"},
    // Only the element reading an end tag and its own children can be closed by it.
    // ... and every accepted tag replaces the slot's text, an end tag too.
    {"<html><div><b>x</div></b>", "html~\n  div~\n    b stray=/div\n"},
    // tr is no block tag: it opens inside td.
    {"<html><table><tr><td>1<td>2<tr><td>3</table>",
     "html~\n  table~\n    tr~\n      td~ own='1'\n      td~ own='2'\n        tr~\n"
     "          td~ own='3' stray=/table\n"},
};
INSTANTIATE_TEST_SUITE_P(Nesting, TreeBuilderTest, ::testing::ValuesIn(kNesting), caseName);

const TreeCase kRawAndVoid[] = {
    {"<html><Script>a<b></SCRIPT>x</html>", "html\n  Script own='a<b>' tail='x' !script\n"},
    {"<html><script>var s='<b>';</script>", "html~\n  script own='var s='<b>';' !script\n"},
    {"<html><script>a</script >b", "html~\n  script own='a</script >b' !script\n"},
    {"<html><style>p{}</STYLE></html>", "html\n  style own='p{}' !style\n"},
    {"<!---->", "!-- !comment\n"},
    {"<!-- x", "!-- own=' x' !comment\n"},
    {"<html><!-- a -- b -->x</html>", "html\n  !-- own=' a -- b ' tail='x' !comment\n"},
    {"<div/>x", "div\n#text~ pre='x'\n"},
    {"<html><div/><br/><br>x</html>", "html\n  div\n  br\n  br tail='x'\n"},
    {"<html><script/>a</script>", "html~\n  script own='a' !script\n"},
    {"<html><a href=x/>t</html>", "html\n  a tail='t' attr=' href=x'\n"},
    // Quotes do not protect ">".
    {"<html><div class=\"a>b\">c</div>", "html~\n  div own='b\">c' attr=' class=\"a'\n"},
    {"<html><!DOCTYPE html></html>", "html\n  !DOCTYPE~ attr=' html' !doctype\n"},
    // A raw element at the very end of the text reads nothing.
    {"<script>", "script~\n"},
};
INSTANTIATE_TEST_SUITE_P(RawAndVoid, TreeBuilderTest, ::testing::ValuesIn(kRawAndVoid), caseName);

const TreeCase kDroppedTokens[] = {
    // "<" followed by a space starts a tag whose name is rejected: that stretch and
    // the text in front of it are dropped.
    {"<html><p>a x < y z</p>", "html~\n  p~\n"},
    {"<html><p>a<my-tag>x</my-tag>b</p>", "html~\n  p own='b'\n"},
    {"<html><div>x<span>", "html~\n  div~ own='x'\n"},
    {"<html><abcdefghijklmnopq>x</html>", "html own='x'\n"},
    {"<html><abcdefghijklmnop>x</abcdefghijklmnop>y", "html~\n  abcdefghijklmnop~\n"},
    {"<html><p>a<b", "html~\n  p~\n"},
    {"<html><?xml x?><p>a</p>", "html~\n  p own='a'\n"},
    {"<html><p>a<![CDATA[x]]>b</p>", "html~\n  p own='b'\n"},
    // CR, LF and TAB inside a tag name are removed; the name may then be valid.
    {"<html><d\niv>x</d\tiv>", "html~\n  div own='x'\n"},
    {"<html><a\nhref=x>y</a>", "html~ own='y' stray=/a\n"},
    // "</>" is a self-closing tag without a name; "</ x>" an end tag named "/".
    {"<html><p>a</>b</p>", "html~\n  p own='b'\n"},
    {"<html><p>a</ x>b</p>", "html~\n  p own='b' stray=/\n"},
};
INSTANTIATE_TEST_SUITE_P(DroppedTokens, TreeBuilderTest, ::testing::ValuesIn(kDroppedTokens),
                         caseName);

const TreeCase kTopLevel[] = {
    {"hello", "#text~ pre='hello'\n"},
    {"  hi <b>x</b> ", "b own='x' pre='hi '\n"},
    {"abc<def", "#text~ pre='def'\n"},
    {"<", "#text~\n"},
    {"<>x", "#text~\n#text~ pre='x'\n"},
    {"<!DOCTYPE html>\n<html><body>x</body></html>\n",
     "!DOCTYPE~ attr=' html' !doctype\nhtml\n  body own='x'\n"},
    // A stray end tag before <html> becomes an element only <//p> could close.
    {"</p><html><body>x</body></html>", "/p~\n  html\n    body own='x'\n"},
    {"<p>x</p>\r\n\t <p>y", "p own='x'\np~\n"},
};
INSTANTIATE_TEST_SUITE_P(TopLevel, TreeBuilderTest, ::testing::ValuesIn(kTopLevel), caseName);

TEST(DocumentTest, RootAndDoctypeChoice) {
    HtmlDocument doc;
    ASSERT_EQ(doc.parse("<!DOCTYPE a><html id=1></html><!doctype b><HTML id=2>x</HTML>c"), 1);
    ASSERT_NE(doc.root(), nullptr);
    EXPECT_EQ(doc.root()->attributeText(), " id=2");
    EXPECT_EQ(doc.doctype()->attributeText(), " b");
    ASSERT_EQ(doc.otherTopLevel().size(), 1u);
    EXPECT_EQ(doc.otherTopLevel()[0]->precedingText(), "c");

    ASSERT_EQ(doc.parse("<!DOCTYPE html><body>x</body>"), 1);
    EXPECT_EQ(doc.root()->tagName(), "body");
    EXPECT_EQ(doc.parse("<!DOCTYPE html>"), 0);
    EXPECT_EQ(doc.parse(""), 0);
    EXPECT_EQ(doc.parse(std::string("\0<html>", 7)), 0);
    ASSERT_EQ(doc.parse(std::string("<html>a\0b</html>", 16)), 1);
    EXPECT_EQ(doc.text(), "<html>a");
    EXPECT_EQ(doc.parse(std::string(kMaxInputBytes, 'x')), 0);
    EXPECT_EQ(doc.parse(std::string(kMaxInputBytes - 1, 'x')), 1);
}

TEST(DocumentTest, ManyOpenChildrenClosedInOrder) {
    // Every </p> closes the first still-open p: linear, and each exactly once.
    std::string html = "<html>";
    for (int i = 0; i < 50000; ++i) html += "<p>x";
    for (int i = 0; i < 50001; ++i) html += "</p>";
    HtmlDocument doc;
    ASSERT_EQ(doc.parse(html), 1);
    int closed = 0;
    for (const HtmlElement& p : doc.root()->children()) closed += p.closed();
    EXPECT_EQ(closed, 50000);
    EXPECT_EQ(doc.strayEndTags(*doc.root()).size(), 1u);
}

TEST(DocumentTest, OpenChildrenIndexAcrossOwners) {
    // A large block of open children gets a by-name index; the first p and the
    // span are closed through it, every later p stays open.
    std::string html = "<span><div>";
    std::string tree = "span~\ndiv~\n";
    for (int i = 0; i < 10; ++i) {
        html += "<p>x<ul></ul>";
        tree += i == 0 ? "  p own='x'\n  ul\n" : "  p~ own='x'\n  ul\n";
    }
    html += "</p><span>z<ul></ul>";
    tree += "  span own='z'\n  ul\n";
    for (int i = 0; i < 30; ++i) {
        html += "<p>y<ul></ul>";
        tree += "  p~ own='y'\n  ul\n";
    }
    html += "</span>x";
    HtmlDocument doc;
    ASSERT_EQ(doc.parse(html), 1);
    EXPECT_EQ(dumpTree(doc), tree);
    EXPECT_EQ(testing::treeFault(doc), "");
}

}  // namespace
}  // namespace kestrune
