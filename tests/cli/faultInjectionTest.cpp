// SPDX-License-Identifier: MIT
// The whole run with faults injected through the platform layer's seams: the output
// file failing after every possible number of bytes, and memory refused at every
// allocation in turn. Whatever fails, the run ends with -1 and one message, and the
// previous report stays exactly as it was; otherwise the report is whole.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "base/platform.h"
#include "cli/Console.h"
#include "cli/entry.h"
#include "support/runTool.h"

namespace kestrune {
namespace {

using testing::readFile;
using testing::TempDir;

struct Outcome {
    int status = 0;
    std::string console;
};

class FaultInjectionTest : public ::testing::Test {
  protected:
    void TearDown() override {
        platform::faults::failOutputAfter(-1);
        platform::faults::failAllocationAfter(-1);
    }

    // Runs the tool in-process on a small page, the report going to out; out
    // holds "old" before each run.
    Outcome run(const std::vector<std::string>& options) {
        std::string page =
            dir.write("page.html",
                      "<!DOCTYPE html><html><body><a href=/x>Home</a><script>x()</script>"
                      "<a href=/y>About us</a><script src=s.js></script></body></html>");
        dir.write("out", "old");
        std::vector<const char*> argv{"kestrune", page.c_str()};
        for (const std::string& o : options) argv.push_back(o.c_str());
        argv.push_back("-o");
        argv.push_back(out.c_str());
        Outcome outcome;
        {
            Console console(&outcome.console);
            outcome.status = runProgram(static_cast<int>(argv.size()), argv.data(), console);
        }
        return outcome;
    }

    // The previous report is untouched and no temporary file is left beside it.
    void expectOldReportKept() {
        EXPECT_EQ(readFile(out), "old");
        for (const auto& entry : std::filesystem::directory_iterator(dir.path())) {
            EXPECT_NE(entry.path().filename().string().rfind(".kestrune-", 0), 0u) << entry.path();
        }
    }

    TempDir dir;
    std::string out = dir.path() + "/out";
};

const std::vector<std::vector<std::string>> kModes = {
    {"-tag", "a", "-attr", "href"},  // element report
    {"-tag", "!doctype"},            // doctype report
    {"-tag", "script"},              // raw-block records
};

TEST_F(FaultInjectionTest, OutputFailsAfterEveryByteCount) {
    for (const auto& mode : kModes) {
        SCOPED_TRACE(mode[1]);
        platform::faults::failOutputAfter(-1);
        Outcome whole = run(mode);
        ASSERT_EQ(whole.status, 1);
        const std::string report = readFile(out);
        for (std::size_t bytes = 0; bytes < report.size(); ++bytes) {
            SCOPED_TRACE(bytes);
            platform::faults::failOutputAfter(static_cast<long long>(bytes));
            Outcome failed = run(mode);
            EXPECT_EQ(failed.status, -1);
            EXPECT_EQ(failed.console, "Error: output file \"" + out +
                                          "\" could not be written: No space left on device.\r\n");
            expectOldReportKept();
        }
        platform::faults::failOutputAfter(static_cast<long long>(report.size()));
        EXPECT_EQ(run(mode).console, whole.console);
        EXPECT_EQ(readFile(out), report);
    }
}

TEST_F(FaultInjectionTest, AllocationRefusedAtEveryCall) {
    for (const auto& mode : kModes) {
        SCOPED_TRACE(mode[1]);
        Outcome whole = run(mode);
        const std::string report = readFile(out);
        for (long long calls = 0;; ++calls) {
            SCOPED_TRACE(calls);
            platform::faults::failAllocationAfter(calls);
            Outcome outcome = run(mode);
            platform::faults::failAllocationAfter(-1);
            if (outcome.status == 1) {
                // Enough memory at last: the whole report.
                EXPECT_EQ(outcome.console, whole.console);
                EXPECT_EQ(readFile(out), report);
                break;
            }
            EXPECT_EQ(outcome.status, -1);
            EXPECT_EQ(outcome.console, "Error: out of memory.\r\n");
            expectOldReportKept();
            ASSERT_LT(calls, 1000);
        }
    }
}

}  // namespace
}  // namespace kestrune
