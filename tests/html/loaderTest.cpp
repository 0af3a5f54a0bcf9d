// SPDX-License-Identifier: MIT
#include <gtest/gtest.h>
#include <kestrune/document.h>

#include <string>

#include "html/documentStorage.h"
#include "support/caseFile.h"
#include "support/runTool.h"
#include "support/treeDump.h"
#include "support/treeWalk.h"

namespace kestrune {
namespace {

TEST(IsUtf8Test, LaxRule) {
    for (const auto& c : testing::readCases("html/data/utf8.txt", 3)) {
        int ascii = -1;
        EXPECT_EQ(isUtf8(c[0], ascii), std::stoi(c[1])) << c[0];
        EXPECT_EQ(ascii, std::stoi(c[2])) << c[0];
    }
}

TEST(LoaderTest, ConvertsUtf8ToCodePage936) {
#if defined(_WIN32)
    GTEST_SKIP() << "Windows converts with its own converter, which treats ill-formed "
                    "sequences and characters beyond U+FFFF its own way";
#endif
    for (const auto& c : testing::readCases("html/data/conversions.txt", 3)) {
        HtmlDocument doc;
        ASSERT_EQ(doc.parse(c[0]), 1);
        EXPECT_EQ(doc.convertedFromUtf8, std::stoi(c[1])) << c[0];
        EXPECT_EQ(testing::dumpTree(doc), c[2] + "\n");
    }
}

TEST(LoaderTest, CharsetDeclarations) {
    for (const auto& c : testing::readCases("html/data/charsets.txt", 3)) {
        SCOPED_TRACE(c[0]);
        HtmlDocument doc;
        ASSERT_EQ(doc.parse(c[0]), 1);
        EXPECT_EQ(doc.charset, c[1]);
        EXPECT_EQ(doc.contentType, c[2]);
    }
}

TEST(LoaderTest, FileLimitsAndModes) {
    testing::TempDir dir;
    HtmlDocument doc;
    std::string justUnder(kMaxInputBytes - 1, 'x');
    justUnder.replace(0, 6, "<html>");
    EXPECT_EQ(doc.load(dir.write("under.html", justUnder)), 1);
    EXPECT_EQ(doc.text().size(), justUnder.size());
    EXPECT_EQ(doc.load(dir.write("limit.html", justUnder + "x")), 0);
    EXPECT_EQ(doc.text().size(), justUnder.size());  // a refused file leaves the old one

    EXPECT_EQ(doc.load(dir.path() + "/missing.html"), 0);
    EXPECT_EQ(doc.load(dir.path()), 0);  // a directory

    EXPECT_EQ(testing::treeFault(doc), "");
}

}  // namespace
}  // namespace kestrune
