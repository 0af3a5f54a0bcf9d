// SPDX-License-Identifier: MIT
// Generated and real inputs through the built binary in every report mode, on the
// console and to a file: hostile inputs (generated on the fly), the size limit, and
// the shared corpus of real web pages (skipped where it is absent, as in a fresh
// clone). The tool must finish normally: no crash, no sanitizer report, exit status
// 1 or 255. Time and memory are measured by bench/, not here.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "support/runTool.h"
#include "support/worstCases.h"

namespace kestrune {
namespace {

namespace fs = std::filesystem;
using testing::runTool;
using testing::TempDir;
using testing::ToolRun;

// Runs the tool on `page` in each mode, on the console and to a file in `out`, and
// returns the files of the element and doctype modes (JSON).
std::vector<std::string> runEveryMode(const std::string& page,
                                      const std::vector<std::string>& modes,
                                      const std::string& out) {
    std::vector<std::string> jsonFiles;
    for (const std::string& mode : modes) {
        SCOPED_TRACE(page + " -tag " + mode);
        const std::string file = out + "/" + fs::path(page).stem().string() + "." + mode + ".out";
        for (const ToolRun& r : {runTool({page, "-tag", mode, "-attr", "href,id"}),
                                 runTool({page, "-tag", mode, "-o", file})}) {
            EXPECT_EQ(r.signal, 0);
            EXPECT_TRUE(r.status == 1 || r.status == 255) << r.status;
            EXPECT_EQ(r.errors, "");
        }
        if (mode != "script" && mode != "style" && mode != "!--") jsonFiles.push_back(file);
    }
    return jsonFiles;
}

// Element mode (the marker tag, and the tag the inputs nest deepest), raw-block mode
// and doctype mode. (A tag whose elements each hold the whole rest of such an input,
// like every <b> of 1.5 million nested ones holding the same 5 MB of text, has a
// report of quadratic size by definition.)
const std::vector<std::string> kWorstCaseModes = {"a", "div", "script", "!doctype"};

class WorstCaseTest : public ::testing::TestWithParam<std::string> {};

TEST_P(WorstCaseTest, FinishesInEveryMode) {
    testing::WorstCase c = testing::makeWorstCase(GetParam());
    ASSERT_LT(c.bytes.size(), 10u * 1024 * 1024);
    TempDir dir;
    runEveryMode(dir.write(c.name + ".html", c.bytes), kWorstCaseModes, dir.path());
}

INSTANTIATE_TEST_SUITE_P(Large, WorstCaseTest, ::testing::ValuesIn(testing::worstCaseNames()),
                         [](const auto& param) { return testing::parameterName(param.param); });

TEST(NulAndEncodingTest, FinishesInEveryMode) {
    TempDir dir;
    for (const testing::WorstCase& c : testing::nulAndEncodingCases())
        runEveryMode(dir.write(c.name + ".html", c.bytes), kWorstCaseModes, dir.path());
}

// A page of the size limit is refused in the element and doctype modes alike (they
// read it their own ways); one byte less is read.
TEST(SizeLimitTest, RefusedAtTheLimit) {
    TempDir dir;
    const std::string at = dir.write("at.html", std::string(10 << 20, 'x'));
    const std::string under = dir.write("under.html", std::string((10 << 20) - 1, 'x'));
    for (const char* mode : {"a", "!doctype"}) {
        SCOPED_TRACE(mode);
        ToolRun r = runTool({at, "-tag", mode});
        EXPECT_EQ(r.status, 255);
        EXPECT_EQ(r.output, "Error: The file \"" + at + "\" open failed.\r\n");
        EXPECT_EQ(runTool({under, "-tag", mode}).status, 1);
    }
}

// Every page of the corpus in every mode; every JSON file it writes parses with an
// independent parser (tests/e2e/checkJsonFiles.py), from a list of them written
// beside them. Given KESTRUNE_TEST_REPORT_DIR, the reports and the list go there
// and the check is left to the caller: a Windows build cannot start Python, so
// tests/e2e/corpusOnHost.sh runs this case under Wine and the check on the host.
TEST(CorpusTest, EveryPageInEveryMode) {
    const std::vector<std::string> pages = testing::corpusPages();
    if (pages.empty()) GTEST_SKIP() << "../shared/corpus/real is not here";
    const char* const reportDir = std::getenv("KESTRUNE_TEST_REPORT_DIR");
#if defined(_WIN32)
    if (reportDir == nullptr) {
        GTEST_SKIP() << "the JSON check runs on the host: CTest runs this case through "
                        "tests/e2e/corpusOnHost.sh";
    }
#else
    if (reportDir == nullptr && !testing::pathExists("/usr/bin/python3")) {
        GTEST_SKIP() << "no python3 to check the JSON";
    }
#endif
    TempDir temp;
    const std::string out = reportDir != nullptr ? reportDir : temp.path();
    std::string list;  // one line per JSON file
    for (const std::string& page : pages) {
        for (const std::string& file : runEveryMode(
                 page, {"a", "p", "div", "script", "style", "!--", "!doctype", "nosuchtag"}, out))
            list += fs::path(file).filename().string() + "\n";
    }
    const std::string listFile = out + "/json-files.txt";
    std::ofstream(listFile, std::ios::binary) << list;
    ASSERT_EQ(testing::readFile(listFile), list);
    if (reportDir != nullptr) return;
    ToolRun check =
        runTool({KESTRUNE_TESTS_DIR "/e2e/checkJsonFiles.py", listFile}, "", "/usr/bin/python3");
    EXPECT_EQ(check.status, 0) << check.errors;
    EXPECT_EQ(check.output, std::to_string(std::count(list.begin(), list.end(), '\n')) + "\n");
}

}  // namespace
}  // namespace kestrune
