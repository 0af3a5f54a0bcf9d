// SPDX-License-Identifier: MIT
// Runs the built kestrune-select once for every case of selectcli/data/cases.txt, in
// the folder of its pages (selectcli/data/pages), and compares its standard output,
// standard error and exit status with the case's. A case's fields:
//   the arguments, one per line
//   a shell redirection for the run ("< page.html", "> /dev/full"); empty: none. Such
//   cases run through /bin/sh, and not on Windows
//   the expected standard output, then standard error (each line ends in LF)
//   the expected exit status
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/caseFile.h"
#include "support/runTool.h"

namespace kestrune {
namespace {

using Case = std::vector<std::string>;

std::vector<Case> cases() { return testing::readCases("selectcli/data/cases.txt", 5); }

std::string asLines(const std::string& field) { return field.empty() ? field : field + "\n"; }

class SelectToolTest : public ::testing::TestWithParam<std::size_t> {};

TEST_P(SelectToolTest, Run) {
    const Case c = cases()[GetParam()];
    const std::vector<std::string> args = testing::fieldLines(c[0]);
    const std::string& redirect = c[1];
    const std::string pages = testing::testsPath("selectcli/data/pages");
    testing::ToolRun run;
    if (redirect.empty()) {
        run = testing::runTool(args, pages, KESTRUNE_SELECT_BINARY);
    } else {
#if defined(_WIN32)
        GTEST_SKIP() << "needs a POSIX shell";
#endif
        std::vector<std::string> shell = {"-c", "exec \"$0\" \"$@\" " + redirect,
                                          KESTRUNE_SELECT_BINARY};
        shell.insert(shell.end(), args.begin(), args.end());
        run = testing::runTool(shell, pages, "/bin/sh");
    }
    EXPECT_EQ(run.output, asLines(c[2]));
    EXPECT_EQ(run.errors, asLines(c[3]));
    EXPECT_EQ(run.status, std::stoi(c[4]));
}

INSTANTIATE_TEST_SUITE_P(Cases, SelectToolTest, ::testing::Range<std::size_t>(0, cases().size()),
                         [](const ::testing::TestParamInfo<std::size_t>& param) {
                             return testing::caseName(param.param, cases()[param.param][0]);
                         });

}  // namespace
}  // namespace kestrune
