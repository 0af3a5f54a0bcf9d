// SPDX-License-Identifier: MIT
// The command-line layer through the built binary: messages, usage text, exit status.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/runTool.h"

namespace kestrune {
namespace {

using testing::runTool;
using testing::TempDir;
using testing::ToolRun;

const std::string kUsage =
    "Kestrune 1.0 - HTML data extractor, by the Kestrune authors\r\n"
    "Usage  : Kestrune c:/xxx.html -tag TagName -attr Attribute [-o] [c:/xxx.json]\r\n"
    "Example: Kestrune c:/pellane.html -tag a -attr href -o c:/pellane.json\r\n";

// Every rejected command line prints at most one message, then the usage block, and
// exits with 0; nothing goes to standard error.
TEST(CliTest, RejectedCommandLines) {
    TempDir temp;
    const std::string page = temp.write("page.html", "<p>x</p>");
    struct Case {
        std::vector<std::string> args;
        std::string message;
    };
    const Case cases[] = {
        {{}, "Error: lack HTML document for parse.\r\n"},
        {{"page.html", "-help"}, ""},
        {{"page.html", "-tag", "a"}, "Error: The file \"page.html\" is not exist.\r\n"},
        {{"a*b.html", "-tag", "a"}, "Error: The file \"a*b.html\" is not valid.\r\n"},
        {{page}, "Warning: need -tag parameter.\r\n"},
        {{page, "-tag", "a", "-o", "nodir/x.json"},
         "Error: output file by -o \"nodir/x.json\" is not valid.\r\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::PrintToString(c.args));
        // The temporary directory as working directory: a bare "page.html" exists there,
        // and must still not be found, since bare names mean the program's directory.
        ToolRun run = runTool(c.args, temp.path());
        EXPECT_EQ(run.status, 0);
        EXPECT_EQ(run.output, c.message + kUsage);
        EXPECT_EQ(run.errors, "");
    }
}

}  // namespace
}  // namespace kestrune
