// SPDX-License-Identifier: MIT
// The whole run with faults injected through the platform layer's seams: the output
// file failing after every possible number of bytes, and memory refused at every
// allocation in turn. Whatever fails, the run ends with -1 and one message, and the
// previous report stays exactly as it was; otherwise the report is whole.
#include <gtest/gtest.h>
#if defined(_WIN32)
#include <windows.h>
#endif

#include <filesystem>
#include <string>
#include <utility>
#include <vector>

#include "base/platform.h"
#include "cli/Console.h"
#include "cli/entry.h"
#include "support/runTool.h"

namespace kestrune {
namespace {

// The system's words for a full disk.
std::string diskFull() {
#if defined(_WIN32)
    ::SetLastError(ERROR_DISK_FULL);
    return platform::errorText();
#else
    return "No space left on device";
#endif
}

// Each seam set to fail after 0, 1, 2, ... bytes written or allocations in turn:
// every run fails until the first that succeeds, which gives the whole report. The
// output fails for every byte count below the report's size.
TEST(FaultInjectionTest, EveryFaultUntilTheRunSucceeds) {
    const testing::TempDir dir;
    const std::string page =
        dir.write("page.html",
                  "<!DOCTYPE html><html><body><a href=/x>Home</a><script>x()</script>"
                  "<a href=/y>About us</a><script src=s.js></script></body></html>");
    const std::string out = dir.path() + "/out";
    // Runs the tool in-process on the page, the report going to out, which holds
    // "old" before.
    auto run = [&](const std::vector<std::string>& options) {
        dir.write("out", "old");
        std::vector<const char*> argv{"kestrune", page.c_str()};
        for (const std::string& o : options) argv.push_back(o.c_str());
        argv.insert(argv.end(), {"-o", out.c_str()});
        std::pair<int, std::string> outcome;  // the status and the console's text
        Console console(&outcome.second);
        outcome.first = runProgram(static_cast<int>(argv.size()), argv.data(), console);
        console.flush();
        return outcome;
    };
    const struct {
        void (*failAfter)(long long);
        std::string message;
        bool byBytes;
    } seams[] = {
        {platform::faults::failOutputAfter,
         "Error: output file \"" + out + "\" could not be written: " + diskFull() + ".\r\n", true},
        {platform::faults::failAllocationAfter, "Error: out of memory.\r\n", false}};
    // An element report, the doctype's, raw-block records.
    const std::vector<std::string> modes[] = {
        {"-tag", "a", "-attr", "href"}, {"-tag", "!doctype"}, {"-tag", "script"}};
    for (const auto& seam : seams) {
        for (const auto& mode : modes) {
            SCOPED_TRACE(seam.message + mode[1]);
            const auto [wholeStatus, wholeConsole] = run(mode);
            ASSERT_EQ(wholeStatus, 1);
            const std::string report = testing::readFile(out);
            for (long long n = 0;; ++n) {
                SCOPED_TRACE(n);
                seam.failAfter(n);
                const auto [status, console] = run(mode);
                seam.failAfter(-1);
                if (status == 1) {
                    EXPECT_EQ(console, wholeConsole);
                    EXPECT_EQ(testing::readFile(out), report);
                    EXPECT_TRUE(!seam.byBytes || n == static_cast<long long>(report.size())) << n;
                    break;
                }
                EXPECT_EQ(status, -1);
                EXPECT_EQ(console, seam.message);
                // The previous report untouched, no temporary file left beside it.
                EXPECT_EQ(testing::readFile(out), "old");
                for (const auto& entry : std::filesystem::directory_iterator(dir.path()))
                    EXPECT_NE(entry.path().filename().string().rfind(".kestrune-", 0), 0u);
                ASSERT_LT(n, 1000);
            }
        }
    }
}

}  // namespace
}  // namespace kestrune
