// SPDX-License-Identifier: MIT
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <string>

#include "html/HtmlDocument.h"
#include "support/caseFile.h"
#include "support/runTool.h"
#include "support/treeWalk.h"

namespace kestrune {
namespace {

TEST(IsUtf8Test, LaxRule) {
    for (const auto& c : testing::readCases("html/data/utf8.txt", 3)) {
        int ascii = -1;
        EXPECT_EQ(isUtf8(c[0], ascii), std::stoi(c[1])) << c[0];
        EXPECT_EQ(ascii, std::stoi(c[2])) << c[0];
    }
    EXPECT_EQ(countLeadingWhitespace(" \t\r\nx "), 4u);
    EXPECT_EQ(countLeadingWhitespace("\v x"), 0u);
}

TEST(LoaderTest, ConvertsUtf8ToCodePage936) {
#if defined(_WIN32)
    GTEST_SKIP() << "Windows converts with its own converter, which treats ill-formed "
                    "sequences and characters beyond U+FFFF its own way";
#endif
    HtmlDocument doc;
    ASSERT_EQ(doc.parse("<html><body>\xC3\xA9\xE4\xB8\xAD\xF0\x9F\x98\x80</body></html>"), 1);
    EXPECT_EQ(doc.convertedFromUtf8, 1);
    std::string text;
    doc.root()->firstChild()->getText(text, 1, 0);
    EXPECT_EQ(text, "\xA8\xA6\xD6\xD0?");  // e-acute, a CJK character, an emoji the code page lacks

    HtmlDocument gbk;
    ASSERT_EQ(gbk.parse("<html><body>\xD6\xD0\xCE\xC4</body></html>"), 1);
    EXPECT_EQ(gbk.convertedFromUtf8, 0);
    gbk.root()->firstChild()->getText(text, 1, 0);
    EXPECT_EQ(text, "\xD6\xD0\xCE\xC4");

    HtmlDocument ascii;
    ASSERT_EQ(ascii.parse("<html><meta charset=utf-8><body>x</body></html>"), 1);
    EXPECT_EQ(ascii.convertedFromUtf8, 0);
    EXPECT_EQ(ascii.charset, "utf-8");
}

TEST(LoaderTest, IllFormedSequencesBecomeQuestionMarks) {
#if defined(_WIN32)
    GTEST_SKIP() << "Windows converts with its own converter, which treats ill-formed "
                    "sequences and characters beyond U+FFFF its own way";
#endif
    HtmlDocument doc;
    // Overlong, surrogate and five-byte forms pass the lax test but are ill-formed:
    // one "?" per maximal ill-formed subpart.
    ASSERT_EQ(doc.parse("\xEF\xBB\xBF<p>a\xC0\x80"
                        "b\xED\xA0\x80"
                        "c\xF8\x88\x80\x80\x80"
                        "d\xC3\xA9</p>"),
              1);
    EXPECT_EQ(doc.convertedFromUtf8, 1);
    EXPECT_EQ(doc.root()->precedingText(), "?");  // the byte-order mark
    EXPECT_EQ(doc.root()->ownText(), "a??b???c?????d\xA8\xA6");
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

    EXPECT_EQ(doc.load(dir.write("empty.html", "")), 0);
    EXPECT_EQ(doc.load(dir.write("nul.html", std::string("\0<html>", 7))), 0);
    EXPECT_EQ(doc.load(dir.path() + "/missing.html"), 0);
    EXPECT_EQ(doc.load(dir.path()), 0);  // a directory

    std::string readOnly = dir.write("ro.html", "<html><p>x</p></html>");
    ASSERT_EQ(chmod(readOnly.c_str(), 0444), 0);
    EXPECT_EQ(doc.load(readOnly), 1);
    std::string backslashed = readOnly;
    backslashed[backslashed.rfind('/')] = '\\';
    EXPECT_EQ(doc.load(backslashed), 1);
    EXPECT_EQ(testing::treeFault(doc), "");
}

}  // namespace
}  // namespace kestrune
