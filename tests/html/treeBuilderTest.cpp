// SPDX-License-Identifier: MIT
#include <gtest/gtest.h>
#include <kestrune/document.h>

#include <string>
#include <vector>

#include "base/platform.h"
#include "html/codePage936.h"
#include "html/documentStorage.h"
#include "html/treeBuilder.h"
#include "support/caseFile.h"
#include "support/runTool.h"
#include "support/treeDump.h"
#include "support/treeWalk.h"

namespace kestrune {
namespace {

// Each case of the data file: the input, then the tree it gives.
class TreeBuilderTest : public ::testing::TestWithParam<std::vector<std::string>> {};

// The builder's reference mode (no index of open children) gives the same tree.
TEST_P(TreeBuilderTest, BuildsTree) {
    for (bool indexed : {true, false}) {
        SCOPED_TRACE(indexed ? "indexed" : "reference");
        useOpenChildrenIndex(indexed);
        HtmlDocument doc;
        doc.parse(GetParam()[0]);
        EXPECT_EQ(testing::dumpTree(doc), GetParam()[1] + "\n");
        EXPECT_EQ(testing::treeFault(doc), "");
    }
    useOpenChildrenIndex(true);
}

INSTANTIATE_TEST_SUITE_P(Trees, TreeBuilderTest,
                         ::testing::ValuesIn(testing::readCases("html/data/trees.txt", 2)),
                         [](const auto& param) {
                             return testing::caseName(param.index, param.param[0]);
                         });

// Every tree a test builds is checked for the invariants when the test ends.
class DocumentTest : public ::testing::Test {
  protected:
    void TearDown() override { EXPECT_EQ(testing::treeFault(doc), ""); }
    HtmlDocument doc;
};

TEST_F(DocumentTest, RootAndDoctypeChoice) {
    ASSERT_EQ(doc.parse("<!DOCTYPE a><html id=1></html><!doctype b><HTML id=2>x</HTML>c"), 1);
    ASSERT_NE(doc.root(), nullptr);
    EXPECT_EQ(doc.root()->attributeText(), " id=2");
    EXPECT_EQ(doc.doctype()->attributeText(), " b");
    ASSERT_EQ(doc.otherTopLevel().size(), 1u);
    EXPECT_EQ(doc.otherTopLevel()[0]->precedingText(), "c");

    ASSERT_EQ(doc.parse("<!DOCTYPE html><body>x</body>"), 1);
    EXPECT_EQ(doc.root()->tagName(), "body");
    ASSERT_EQ(doc.parse(std::string("<html>a\0b</html>", 16)), 1);
    EXPECT_EQ(doc.text(), "<html>a");
    EXPECT_EQ(doc.parse(std::string(kMaxInputBytes, 'x')), 0);
    EXPECT_EQ(doc.parse(std::string(kMaxInputBytes - 1, 'x')), 1);
    // The limit counts the page, not the text its first NUL leaves.
    std::string early = "<html>" + std::string(kMaxInputBytes - 6, 'x');
    early[6] = '\0';
    EXPECT_FALSE(doc.parse(early));
    early.pop_back();
    EXPECT_TRUE(doc.parse(early));
    EXPECT_EQ(doc.text(), "<html>");
}

TEST_F(DocumentTest, ManyOpenChildrenClosedInOrder) {
    // Every </p> closes the first still-open p: linear, and each exactly once.
    std::string html = "<html>";
    for (int i = 0; i < 50000; ++i) html += "<p>x";
    for (int i = 0; i < 50001; ++i) html += "</p>";
    ASSERT_EQ(doc.parse(html), 1);
    int closed = 0;
    for (const HtmlElement& p : doc.root()->children()) closed += p.closed();
    EXPECT_EQ(closed, 50000);
    EXPECT_EQ(doc.strayEndTags(*doc.root()).size(), 1u);
}

TEST(IsUtf8Test, LaxRule) {
    for (const auto& c : testing::readCases("html/data/utf8.txt", 3)) {
        int ascii = -1;
        EXPECT_EQ(isUtf8(c[0], ascii), std::stoi(c[1])) << c[0];
        EXPECT_EQ(ascii, std::stoi(c[2])) << c[0];
    }
}

// Code page 936 here is glibc iconv's; Windows converts with its own, which treats
// ill-formed sequences and characters beyond U+FFFF its own way.
TEST(LoaderTest, ConvertsUtf8ToCodePage936) {
    if (!platform::kConverterIsIconv) GTEST_SKIP() << "code page 936 is glibc iconv's here";
    for (const auto& c : testing::readCases("html/data/conversions.txt", 3)) {
        HtmlDocument doc;
        ASSERT_EQ(doc.parse(c[0]), 1);
        EXPECT_EQ(doc.convertedFromUtf8(), std::stoi(c[1]) != 0) << c[0];
        EXPECT_EQ(testing::dumpTree(doc), c[2] + "\n");
    }
}

TEST(LoaderTest, CharsetDeclarations) {
    for (const auto& c : testing::readCases("html/data/charsets.txt", 3)) {
        SCOPED_TRACE(c[0]);
        HtmlDocument doc;
        ASSERT_EQ(doc.parse(c[0]), 1);
        EXPECT_EQ(doc.charset(), c[1]);
        EXPECT_EQ(doc.contentType(), c[2]);
    }
}

TEST(LoaderTest, FileLimitsAndModes) {
    testing::TempDir dir;
    HtmlDocument doc;
    const std::string justUnder = "<html>" + std::string(kMaxInputBytes - 7, 'x');
    EXPECT_EQ(doc.load(dir.write("under.html", justUnder)), 1);
    EXPECT_EQ(doc.text().size(), justUnder.size());
    EXPECT_EQ(doc.load(dir.write("limit.html", justUnder + "x")), 0);
    EXPECT_EQ(doc.text().size(), justUnder.size());  // a refused file leaves the old one

    EXPECT_EQ(doc.load(dir.path() + "/missing.html"), 0);
    EXPECT_EQ(doc.load(dir.path()), 0);  // a directory

    EXPECT_EQ(testing::treeFault(doc), "");
}

std::string utf8Of(char32_t cp) {
    if (cp < 0x80) return std::string(1, static_cast<char>(cp));
    const int tail = cp < 0x800 ? 1 : cp < 0x10000 ? 2 : 3;
    std::string s(1, static_cast<char>((0xFF << (7 - tail)) | (cp >> (6 * tail))));  // C0 E0 F0
    for (int i = tail - 1; i >= 0; --i) s += static_cast<char>(0x80 | ((cp >> (6 * i)) & 0x3F));
    return s;
}

std::string convert(std::string text) {
    text.resize(convertUtf8ToCodePage936(text.data(), text.size()));  // converted in place
    return text;
}

// The table must give exactly what the system converter gives, code point by code
// point; the characters are separated so that each one's bytes can be told apart.
TEST(CodePage936Test, EveryCodePointMatchesTheSystemConverter) {
    if (!platform::kConverterIsIconv) GTEST_SKIP() << "code page 936 is glibc iconv's here";
    std::string all;
    // Every code point below U+10000 but the surrogates, then a sample of the rest.
    for (char32_t cp = 1; cp <= 0x10FFFF; cp += cp < 0x10000 ? 1 : 0x3FF) {
        if (cp < 0xD800 || cp > 0xDFFF) all += utf8Of(cp) + '|';
    }
    std::string expected = platform::utf8ToCodePage(all, 936);
    ASSERT_FALSE(expected.empty());
    EXPECT_EQ(convert(all), expected);
}

// Ill-formed input: one "?" per maximal ill-formed subpart, as the system path does.
TEST(CodePage936Test, IllFormedSequences) {
    const auto cases = testing::readCases("html/data/illFormed936.txt", 2);
    for (const auto& c : cases) EXPECT_EQ(convert(c[0]), c[1]);
    if (!platform::kConverterIsIconv) GTEST_SKIP() << "code page 936 is glibc iconv's here";
    for (const auto& c : cases) EXPECT_EQ(platform::utf8ToCodePage(c[0], 936), c[1]);
}

}  // namespace
}  // namespace kestrune
