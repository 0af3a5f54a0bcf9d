// SPDX-License-Identifier: MIT
// The program entry: parses the command line and either shows the usage text or
// hands the accepted options to the extraction run.
#include "cli/entry.h"

#include <new>
#include <string_view>

#include "cli/Console.h"
#include "cli/Options.h"
#include "cli/driver.h"

namespace kestrune {

namespace {

constexpr std::string_view kUsageText =
    "Kestrune 1.0 - HTML data extractor, by the Kestrune authors\r\n"
    "Usage  : Kestrune c:/xxx.html -tag TagName -attr Attribute [-o] [c:/xxx.json]\r\n"
    "Example: Kestrune c:/pellane.html -tag a -attr href -o c:/pellane.json\r\n";

}  // namespace

int runProgram(int argc, const char* const* argv, Console& console) {
    int status = 0;
    try {
        console.reserve();
        Options options;
        // A rejected command line and a request for help end the same way.
        if (options.parse(argc, argv, console)) {
            status = runExtraction(options, console);
        } else {
            console << kUsageText;
        }
    } catch (const std::bad_alloc&) {
        // Everything the run made is released on the way here; an output file not
        // yet in place is removed, its target left as it was.
        console.writeNow("Error: out of memory.\r\n");
        status = -1;
    }
    // A report that did not reach standard output is a failed run.
    return console.flush() ? status : -1;
}

}  // namespace kestrune
