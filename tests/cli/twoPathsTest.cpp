// SPDX-License-Identifier: MIT
// The element, raw-block and doctype reports every way (support/twoPaths.h): through
// the tree, straight from the text with the root settled early or held to the end,
// attribute names looked up one by one or searched, and through the library's call,
// whose console and file text must be the program's in either code page. Every case,
// in every mode, must come out byte for byte the same.
#include <gtest/gtest.h>
#include <kestrune/extract.h>

#include <span>
#include <string>
#include <utility>
#include <vector>

#include "cli/Options.h"
#include "support/caseFile.h"
#include "support/runTool.h"
#include "support/twoPaths.h"
#include "support/worstCases.h"

namespace kestrune {
namespace {

// A tag and its attribute list, as the program's -tag and -attr.
using Mode = std::pair<const char*, const char*>;

// The last asks more names than the finder looks up one by one: prefixes of each other
// and case variants, searched in the order of the groups.
const Mode kModes[] = {
    {"a", "href,id"}, {"p", ""},        {"div", "class;title,text"},
    {"b", ""},        {"LI", "x"},      {"nosuchtag", ""},
    {"script", ""},   {"StYlE", "x"},   {"!--", ""},
    {"!doctype", ""}, {"DocType", "x"}, {"x", "a,b,c,d,e,f,g,h,i,ab,A,hreflang,href,HREF,id,b"}};

// The worst cases nest b and p deeply: their reports would be quadratic in size.
const Mode kWorstCaseModes[] = {
    {"a", "href,id"}, {"div", ""}, {"script", ""}, {"!--", ""}, {"doctype", ""}};

// Compared as booleans first: a large report would flood the log.
void expectSame(const std::string& text, const std::string& expected) {
    EXPECT_TRUE(text == expected) << text.substr(0, 400);
}

void expectSameReports(const std::string& name, std::string_view page,
                       std::span<const Mode> modes = kModes, bool utf8Too = false) {
    for (const auto& [tag, attributes] : modes) {
        Options options;
        options.tagName = tag;
        options.mode = reportModeOf(tag);
        options.splitAttributeList(attributes);
        for (unsigned codePage : {kLocalCodePage, kUtf8}) {
            if (codePage == kUtf8 && !utf8Too) break;
            SCOPED_TRACE(name + " -tag " + tag + " in " + std::to_string(codePage));
            testing::Report program[2];  // on the console, and with -o
            for (int toFile : {0, 1}) {
                options.outputPath = toFile ? "out.json" : "";
                // The tree is the reference, in the local code page compared with every way.
                const bool local = codePage == kLocalCodePage;
                program[toFile] = testing::elementReport(
                    page, options, local ? testing::kWays[0] : testing::Way{}, false, codePage);
                for (const testing::Way& way : std::span(testing::kWays).subspan(local ? 1 : 3)) {
                    const testing::Report other = testing::elementReport(page, options, way);
                    EXPECT_EQ(other.status, program[toFile].status);
                    EXPECT_EQ(other.files, program[toFile].files);
                    expectSame(other.console, program[toFile].console);
                    expectSame(other.file, program[toFile].file);
                }
            }
            for (TextForm form : {TextForm::Written, TextForm::Reported}) {
                const Report report = extract(page, {tag, options.attributeNames, codePage, form});
                EXPECT_EQ(static_cast<bool>(report), program[0].status == 1);
                if (!report) continue;
                expectSame(report.consoleText(), program[0].console);
                expectSame(report.fileText(), program[1].file);
            }
        }
    }
}

// Name and page.
const std::pair<const char*, const char*> kPages[] = {
    {"nested matches", "<html><div>a<div>b<p>c</p>d</div>e<b>f</b></div>g<div>h</html>"},
    {"text replaced in a slot", "<html><div><br>lost</x>kept<b>t</b>one</y>two</div></html>"},
    {"own text replaced", "<html><p>lost</q>kept</p></html>"},
    {"hand-back", "<html><a>1<a>2<p>3<div>4<i>5<div>6</div></i></div></p></a></html>"},
    {"last html is the root", "<html><a>1</a></html><html><a>2</a><a>3</a></html><a>x</a>"},
    {"first other is the root", "<!doctype html><body><a>1</a></body><div><a>2</a></div>"},
    {"later html split by controls", "<html><a>1</a></html><h\ntm\tL><a>2</a></html><a>3</a>"},
    {"html named in a comment", "<html><a>1</a></html><!--<html>--><b><a>2</a></b>"},
    {"html handed back", "<html><a>1<html><a>2</a></html><a>3</a>"},
    {"text only", "just text"},
    {"doctype only", "<!DOCTYPE html>"},
    {"root of text then html", "x<html><a href=1>2</a></html>"},
    {"references across pieces",
     "<html><div>&am<b>p;</b>&#x41;&lt;<i>&#</i>66;&amp</div><a href=\"&amp;x\">a&gt;</a></html>"},
    {"raw children", "<html><div>a<script>s<b>x</b></script>b<!--c-->d<style>t</style></div>"},
    {"unclosed at the end", "<html><div><div><a href=x>text"},
    {"control bytes", "<html><d\niv cl\rass=\"a\tb\">x\r\n y</d\niv><div>\t</div></html>"},
    {"attributes", "<html><a x href = \"h\" HREF='H' id=1 id=2 =v>t</a><a/><b/></html>"},
    {"stray and closed children", "<html><div><b>x<i>y</b>z</i>w</div></html>"},
    {"match is the root", "<div><div>inner</div></div>"},
    {"void and self-closing", "<html><p>a<br>b<img src=x/>c<p/>d</html>"},
    {"raw blocks",
     "<!--top--><html><SCRIPT type=x a>s<b></Script><p><style b a=1>t</style>"
     "<!--c--></p><ScRiPt src='y'/>z<!---->y<script></script></html><!--after-->"},
    {"raw blocks of candidates",
     "<div><script>1</script></div><html><script>2</script></html><html><!--3--><script>4"},
    {"script at the top level", "<script>top</script><body><script>in</script><style>s"},
    {"unclosed comment at the end", "<html><p>x<style>a</style>b<!-- never closed"},
    {"raw tags at the end", "<html><p><script>"},
    {"html written by a script",
     "<html><a href=1>x</a><script>document.write(\"<html>\")</script></html><!-- served -->"},
    {"many names",
     "<html><body><x a=1 ab=2 b=3 hreflang=en HREF=u>t</x><x AB=4 i=5/></body></html>"},
    {"utf-8", "<html><p>\xE4\xB8\xAD</p><a href=\"\xC3\xA9\">\xC3\xA9 \xF0\x9F\x98\x80</a></html>"},
    {"not utf-8", "<html>\xE4\xB8\xAD<a href=\"\xC3\xA9\">\xC3\xA9</a>\xFF</html>"},
    {"doctype words", "<!DOCTYPE html PUBLIC \"-//W3C//DTD\"><html><a href=1 id=x>A b</a></html>"},
    {"elements named doctype", "<html><doctype x=1>words</doctype><div>x</div></html>"},
    {"nul reference", "<html><script>s</script><!--c--><p>a&amp;b &#0; c</p></html>"}};

TEST(TwoPathsTest, SmallPages) {
    for (const auto& [name, html] : kPages) expectSameReports(name, html, kModes, true);
    expectSameReports("nul", std::string_view("<html><a>1</a>\0<a>2</a>", 23), kModes, true);
    for (const auto& c : testing::readCases("html/data/trees.txt", 2))
        expectSameReports(c[0], c[0], kModes, true);
}

TEST(TwoPathsTest, ReportsTooLargeToHold) {
    // Nested b elements: each one's text holds the texts of all below it, so that
    // a small page makes a report of tens of megabytes, in root candidates that
    // lose, and in the root.
    const Mode kNested[] = {{"b", ""}};
    std::string nested;
    for (int i = 0; i < 3000; ++i) nested += "<b>abcdefgh";
    expectSameReports("html loses", "<html>" + nested + "</html><html><b>1</b></html>", kNested);
    expectSameReports("other loses", "<div>" + nested + "</div><html><b>1</b></html>", kNested);
    expectSameReports("later others", "<body>" + nested + "</body><div><b>1</b></div>", kNested);
    // Raw blocks of megabytes: a losing candidate, then the root, too large to hold.
    const Mode kRaw[] = {{"script", ""}};
    std::string scripts;
    for (int i = 0; i < 9; ++i)
        scripts += "<script>" + std::string(2 << 20, static_cast<char>('a' + i)) + "</script>";
    expectSameReports("raw html loses", "<html>" + scripts + "</html><html>" + scripts, kRaw);
}

TEST(TwoPathsTest, WorstCases) {
    for (const std::string& name : testing::worstCaseNames())
        expectSameReports(name, testing::makeWorstCase(name).bytes, kWorstCaseModes);
    for (const testing::WorstCase& c : testing::nulAndEncodingCases())
        expectSameReports(c.name, c.bytes, kModes, true);
}

TEST(TwoPathsTest, Corpus) {
    const std::vector<std::string> pages = testing::corpusPages();
    if (pages.empty()) GTEST_SKIP() << "../shared/corpus/real is not here";
    for (const std::string& page : pages) expectSameReports(page, testing::readFile(page));
}

}  // namespace
}  // namespace kestrune
