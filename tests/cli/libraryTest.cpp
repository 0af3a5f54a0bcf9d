// SPDX-License-Identifier: MIT
// The library call against the program: for the same page, tag, attributes and code
// page, extract()'s rendered console and file text equal, byte for byte, what the
// program's run prints and writes, and it fails exactly where the program cannot read
// the page.
#include <gtest/gtest.h>
#include <kestrune/extract.h>

#include <string>
#include <vector>

#include "support/caseFile.h"
#include "support/runTool.h"
#include "support/twoPaths.h"
#include "support/worstCases.h"

namespace kestrune {
namespace {

struct Mode {
    const char* tag;
    const char* attributes;
};

const Mode kModes[] = {{"a", "href,id"}, {"div", "class;title,text"},
                       {"p", ""},        {"script", ""},
                       {"!--", ""},      {"!doctype", ""},
                       {"DocType", "x"}, {"x", "a,b,c,d,e,f,g,h,i,ab,A,href"}};
const Mode kWorstCaseModes[] = {{"a", "href,id"}, {"div", ""}, {"script", ""}, {"doctype", ""}};

template <std::size_t N = std::size(kModes)>
void expectSameAsProgram(const std::string& name, std::string_view page, unsigned codePage,
                         const Mode (&modes)[N] = kModes) {
    for (const Mode& mode : modes) {
        SCOPED_TRACE(name + " -tag " + mode.tag + " in " + std::to_string(codePage));
        Options options;
        options.tagName = mode.tag;
        options.mode = reportModeOf(mode.tag);
        options.splitAttributeList(mode.attributes);
        const testing::Report console = testing::elementReport(page, options, {}, false, codePage);
        options.outputPath = "out.json";
        const testing::Report file = testing::elementReport(page, options, {}, false, codePage);

        Request request;
        request.tag = mode.tag;
        request.attributes = options.attributeNames;
        request.codePage = codePage;
        for (TextForm form : {TextForm::Written, TextForm::Reported}) {
            request.text = form;
            const Report report = extract(page, request);
            EXPECT_EQ(static_cast<bool>(report), console.status == 1);
            if (!report) continue;
            EXPECT_TRUE(report.consoleText() == console.console) << console.console.substr(0, 400);
            EXPECT_TRUE(report.fileText() == file.file) << file.file.substr(0, 400);
        }
    }
}

const char* const kPages[] = {
    "<!DOCTYPE html PUBLIC \"-//W3C//DTD\"><html><a href=1 id=x>A b</a><a HREF=2>c\td</a></html>",
    "<html><doctype x=1>words</doctype><div class=\"a\tb\" title=t>x<div>y</div></div></html>",
    "<html><script>s</script><!--c--><p>a&amp;b &#0; c</p></html>",
    "<html><body><x a=1 ab=2 b=3>t</x><x AB=4 i=5 A=6/></body></html>",
    "<html>\xE4\xB8\xAD<a href=\"\xC3\xA9\">\xC3\xA9 \xF0\x9F\x98\x80</a>\xFF</html>",
    "",
    "just text",
    "<!DOCTYPE html>",
    "\0<html><a>1</a>",
};

TEST(LibraryTest, RendersAsTheProgram) {
    for (unsigned codePage : {kLocalCodePage, kUtf8}) {
        for (const char* page : kPages) expectSameAsProgram(page, page, codePage);
        expectSameAsProgram("nul", std::string_view("<html><a>1</a>\0<a>2</a>", 23), codePage);
        for (const auto& c : testing::readCases("html/data/trees.txt", 2))
            expectSameAsProgram(c[0], c[0], codePage);
    }
}

TEST(LibraryTest, WorstCases) {
    for (const std::string& name : testing::worstCaseNames()) {
        const testing::WorstCase c = testing::makeWorstCase(name);
        expectSameAsProgram(c.name, c.bytes, kLocalCodePage, kWorstCaseModes);
    }
    for (const testing::WorstCase& c : testing::nulAndEncodingCases()) {
        expectSameAsProgram(c.name, c.bytes, kLocalCodePage);
        expectSameAsProgram(c.name, c.bytes, kUtf8);
    }
}

TEST(LibraryTest, Corpus) {
    const std::vector<std::string> pages = testing::corpusPages();
    if (pages.empty()) GTEST_SKIP() << "../shared/corpus/real is not here";
    for (const std::string& page : pages) {
        expectSameAsProgram(page, testing::readFile(page), kLocalCodePage, kWorstCaseModes);
    }
}

}  // namespace
}  // namespace kestrune
