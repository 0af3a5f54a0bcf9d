// SPDX-License-Identifier: MIT
// Hostile inputs through the built binary in every report mode, on the console and
// to a file: the tool must finish normally (no crash, no sanitizer report, exit
// status 1 or 255). Time and memory are measured by bench/, not here.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/runTool.h"
#include "support/worstCases.h"

namespace kestrune {
namespace {

using testing::runTool;
using testing::TempDir;
using testing::ToolRun;

// Element mode (the marker tag, and the tag the inputs nest deepest), raw-block mode
// and doctype mode. (A tag whose elements each hold the whole rest of such an input,
// like every <b> of 1.5 million nested ones holding the same 5 MB of text, has a
// report of quadratic size by definition.)
const char* const kModes[] = {"a", "div", "script", "!doctype"};

void runEveryMode(const std::string& name, const std::string& bytes, bool withAttributes) {
    TempDir dir;
    std::string page = dir.write(name + ".html", bytes);
    for (const char* mode : kModes) {
        SCOPED_TRACE(name + " -tag " + mode);
        std::vector<std::string> console{page, "-tag", mode};
        if (withAttributes) console.insert(console.end(), {"-attr", "href,a,b"});
        ToolRun r = runTool(console);
        EXPECT_EQ(r.signal, 0);
        EXPECT_TRUE(r.status == 1 || r.status == 255) << r.status;
        EXPECT_EQ(r.errors, "");
        std::string out = dir.path() + "/out";
        ToolRun f = runTool({page, "-tag", mode, "-o", out});
        EXPECT_EQ(f.signal, 0);
        EXPECT_TRUE(f.status == 1 || f.status == 255) << f.status;
        EXPECT_EQ(f.errors, "");
    }
}

class WorstCaseTest : public ::testing::TestWithParam<std::string> {};

TEST_P(WorstCaseTest, FinishesInEveryMode) {
    testing::WorstCase c = testing::makeWorstCase(GetParam());
    ASSERT_LT(c.bytes.size(), 10u * 1024 * 1024);
    runEveryMode(c.name, c.bytes, true);
}

INSTANTIATE_TEST_SUITE_P(Large, WorstCaseTest, ::testing::ValuesIn(testing::worstCaseNames()),
                         [](const auto& param) {
                             std::string n = param.param;
                             for (char& ch : n) {
                                 if (ch == '-') ch = '_';
                             }
                             return n;
                         });

// A page of the size limit is refused in the element and doctype modes alike (they
// read it their own ways); one byte less is read.
TEST(SizeLimitTest, RefusedAtTheLimit) {
    constexpr std::size_t kMaxBytes = 10 * 1024 * 1024;
    TempDir dir;
    const std::string at = dir.write("at.html", std::string(kMaxBytes, 'x'));
    const std::string under = dir.write("under.html", std::string(kMaxBytes - 1, 'x'));
    for (const char* mode : {"a", "!doctype"}) {
        SCOPED_TRACE(mode);
        ToolRun r = runTool({at, "-tag", mode});
        EXPECT_EQ(r.status, 255);
        EXPECT_EQ(r.output, "Error: The file \"" + at + "\" open failed.\r\n");
        EXPECT_EQ(runTool({under, "-tag", mode}).status, 1);
    }
}

TEST(NulAndEncodingTest, FinishesInEveryMode) {
    for (const testing::WorstCase& c : testing::nulAndEncodingCases())
        runEveryMode(c.name, c.bytes, true);
}

}  // namespace
}  // namespace kestrune
