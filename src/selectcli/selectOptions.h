// SPDX-License-Identifier: MIT
// The command line of kestrune-select: options, the selector and the files, read the
// way coreutils programs read theirs.
#pragma once

#include <string>
#include <vector>

namespace kestrune::selectcli {

// What each match is printed as.
enum class OutputForm { Text, Attributes, Html, Json };

struct SelectOptions {
    std::string selector;
    std::vector<std::string> files;       // "-" is standard input; none: standard input
    std::vector<std::string> attributes;  // --attr names, in the order given
    std::string encoding;                 // --encoding; empty: detected per input
    OutputForm form = OutputForm::Text;
    bool withFilename = false;  // -H
    bool squeeze = false;       // -s
    bool htmlWhitespace = false;
    bool help = false;
    bool version = false;
};

// Reads argv[1..argc-1] into `options`. Short options may be grouped ("-Hs") and take
// their value glued or as the next argument ("-ahref", "-a href"); long ones as
// "--attr=href" or "--attr href". "--" ends the options, and "-" alone is a file.
// Options may follow the selector and the files, unless "--" came first. False, with
// the reason in `error`, for an unknown option, an option without its value, or no
// selector (unless --help or --version was given).
bool parseOptions(int argc, const char* const* argv, SelectOptions& options, std::string& error);

// The --help text.
const char* usageText();

}  // namespace kestrune::selectcli
