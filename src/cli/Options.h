// SPDX-License-Identifier: MIT
// Options: the accepted command line of one run, and the checks that lead to it.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "cli/CommandLine.h"
#include "query/report.h"

namespace kestrune {

class Console;

class Options {
  public:
    Options() = default;
    virtual ~Options() = default;
    Options(const Options&) = delete;
    Options& operator=(const Options&) = delete;

    // Reads the arguments argv[1] .. argv[argc - 1] (argv[0] is never looked at; a
    // null entry ends the list), checks them in a fixed order and prints the first
    // failure's message to `console`. True when the run can go on; false when the
    // usage text should be shown (a failed check, or -help / -? with an input file
    // present). Every field is reset first, so an object can parse more than once.
    bool parse(int argc, const char* const* argv, Console& console);

    std::string inputPath;                    // resolved, "/" separators only
    std::string tagName;                      // the -tag value as typed
    ReportMode mode = ReportMode::Elements;   // what the -tag value asks for
    std::vector<std::string> attributeNames;  // split from -attr, in order, duplicates kept
    int textFlag = 0;                         // 1 when -text is present; nothing reads it
    std::string outputPath;                   // resolved; non-empty exactly when -o was accepted

    // Cleared at the start of every parse.
    CommandLine commandLine;

    // Splits an -attr value at "," and ";" (a run of separators counts as one),
    // trims spaces (0x20 only) from each token, drops empty tokens and appends the
    // rest to attributeNames. Case and duplicates are kept.
    void splitAttributeList(std::string_view value);
    // Resolves the -o value into outputPath. Empty: the program's directory, the
    // input file's name and ".js" (tags script, style, !--) or ".json". Otherwise
    // the value as typed when it has a directory part, else in the program's
    // directory. Reads inputPath, tagName and commandLine's programDirectory.
    // Prints the message and returns false (outputPath untouched) when the value
    // is not a valid path.
    bool resolveOutputPath(std::string_view value, Console& console);
};

// The tool's option recognizer: -tag, -attr and -o take a value; -text, -help and
// -? do not. Names are compared without regard to ASCII case.
int recognizeOption(std::string_view text, int& takesValue);

// Checks a path as typed: its directory part (before the last "/" or "\\"), when
// there is one, must exist, and its file name must hold none of /:*?"<>|\ (an
// empty file name passes). A path directly under the root ("/x.html") has "/" as
// its directory part. hasDirectory is set to 1 when a directory part was present,
// else 0, whether or not the check succeeds.
bool validatePath(std::string_view path, int& hasDirectory);

// True when `name` holds none of the nine characters /:*?"<>|\ (the empty name passes).
bool hasValidFileNameChars(std::string_view name);

}  // namespace kestrune
