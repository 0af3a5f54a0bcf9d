// SPDX-License-Identifier: MIT
#include <gtest/gtest.h>
#include <kestrune/document.h>

#include <string>
#include <vector>

#include "html/treeBuilder.h"
#include "support/caseFile.h"
#include "support/treeDump.h"
#include "support/treeWalk.h"

namespace kestrune {
namespace {

using testing::dumpTree;

// Each case of the data file: the input, then the tree it gives.
class TreeBuilderTest : public ::testing::TestWithParam<std::vector<std::string>> {};

// The builder's reference mode (no index of open children) gives the same tree.
TEST_P(TreeBuilderTest, BuildsTree) {
    for (bool indexed : {true, false}) {
        SCOPED_TRACE(indexed ? "indexed" : "reference");
        useOpenChildrenIndex(indexed);
        HtmlDocument doc;
        doc.parse(GetParam()[0]);
        EXPECT_EQ(dumpTree(doc), GetParam()[1] + "\n");
        EXPECT_EQ(testing::treeFault(doc), "");
    }
    useOpenChildrenIndex(true);
}

INSTANTIATE_TEST_SUITE_P(Trees, TreeBuilderTest,
                         ::testing::ValuesIn(testing::readCases("html/data/trees.txt", 2)),
                         [](const auto& param) {
                             return testing::caseName(param.index, param.param[0]);
                         });

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

}  // namespace
}  // namespace kestrune
