// SPDX-License-Identifier: MIT
// The program entry: parses the command line and either shows the usage text or
// hands the accepted options to the extraction run.
#include "cli/entry.h"

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
    Options options;
    if (!options.parse(argc, argv, console)) {
        // A rejected command line and a request for help end the same way.
        console << kUsageText;
        return 0;
    }
    return runExtraction(options, console);
}

}  // namespace kestrune
