// SPDX-License-Identifier: MIT
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <string>

#include "html/HtmlDocument.h"
#include "support/runTool.h"
#include "support/treeWalk.h"

namespace kestrune {
namespace {

TEST(IsUtf8Test, LaxRule) {
    struct Case {
        std::string text;
        int valid;
        int allAscii;
    };
    const Case cases[] = {
        {"plain", 1, 1},
        {"", 1, 1},
        {"\xC3\xA9", 1, 0},
        {"\xE4\xB8\xAD", 1, 0},
        {"\xEF\xBB\xBF<p>", 1, 0},       // byte-order mark
        {"\xC0\x80", 1, 0},              // overlong: passes the lax test
        {"\xED\xA0\x80", 1, 0},          // surrogate
        {"\xF8\x88\x80\x80\x80", 1, 0},  // five-byte form
        {"\xFC\x84\x80\x80\x80\x80", 1, 0},
        {"\xFE\x80\x80\x80\x80", 1, 0},  // FE and FF announce four
        {"a\x80", 0, 0},                 // lone continuation byte
        {"\xC3", 0, 0},                  // cut short at the end
        {"\xE4\xB8", 0, 0},
        {"\xC3\x41", 0, 0},
        {"\xD6\xD0\xCE\xC4", 0, 0},  // code page 936 text
    };
    for (const Case& c : cases) {
        int ascii = -1;
        EXPECT_EQ(isUtf8(c.text, ascii), c.valid) << c.text;
        EXPECT_EQ(ascii, c.allAscii) << c.text;
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
    struct Case {
        const char* html;
        const char* charset;
        const char* contentType;
    };
    const Case cases[] = {
        {"<html><meta charset=gbk><meta http-equiv=Content-Type "
         "content=text/html;charset=utf-8></html>",
         "gbk", ""},
        {"<html><meta http-equiv=Content-Type content=\"text/html; charset=utf-8\"></html>",
         "utf-8", "text/html"},
        {"<html><meta http-equiv=content-type content=text/html></html>", "", ""},
        {"<html><meta http-equiv=content-type content=charset=GBK></html>", "GBK", ""},
        {"<html><meta http-equiv=\"content-type\" content=\"  text/html ;  CharSet = x  \"></html>",
         "x", "text/html"},
        {"<html><meta http-equiv=refresh content=\"text/html; charset=utf-8\"></html>", "", ""},
        {"<html><meta charset=\"\"><meta charset=b></html>", "b", ""},
        {"<html><meta CHARSET=&lt;a></html>", "<a", ""},
        {"<html><meta http-equiv=content-type content=\"a;b;charset=c\"></html>", "", "a"},
        // Only declarations below the root count, however deep.
        {"<meta charset=a><html><div><p><meta charset=b></p></div></html>", "b", ""},
        {"<html><p>x</p></html><div><meta charset=c></div>", "", ""},
    };
    // Each case ends in </html>: a start tag that ends the text makes no element.
    for (const Case& c : cases) {
        SCOPED_TRACE(c.html);
        HtmlDocument doc;
        ASSERT_EQ(doc.parse(c.html), 1);
        EXPECT_EQ(doc.charset, c.charset);
        EXPECT_EQ(doc.contentType, c.contentType);
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
