// SPDX-License-Identifier: MIT
// CommandLine: a small general-purpose argument parser. It knows the tool's
// options only through the OptionRecognizer handed to it.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace kestrune {

struct OptionPair {
    std::string name;   // as typed, letter case kept
    std::string value;  // empty when the option received no value
};

// Returns non-zero when `text` is an option name, and then sets takesValue to 1
// when the option takes a value, else 0. The text is the whole argument, embedded
// NUL bytes included.
using OptionRecognizer = int (*)(std::string_view text, int& takesValue);

class CommandLine {
  public:
    CommandLine() = default;
    virtual ~CommandLine() = default;
    CommandLine(const CommandLine&) = delete;
    CommandLine& operator=(const CommandLine&) = delete;

    // Empties arguments, optionPairs and positionals.
    void clear();
    // Appends a copy of one raw argument.
    void addArgument(std::string_view text);
    // Fills programDirectory and programFileName from the platform.
    // The program's path is the platform's own answer or, failing that, the one
    // found for `programName` (the name the program was started under, argv[0]).
    // The directory is everything before the last separator of the path; both stay
    // empty when neither tells the path.
    void captureProgramPath(std::string_view programName = {});
    // Builds optionPairs and positionals from arguments (replacing earlier results).
    // An option that takes a value receives the one argument that follows it unless
    // that argument is itself an option name. False at once without a recognizer;
    // else true when at least one pair was recorded.
    bool parse();
    // The value of the first pair whose name equals `name` (without regard to ASCII
    // case when ignoreCase is non-zero); false and `value` untouched when none does.
    bool getOption(std::string_view name, std::string& value, int ignoreCase) const;

    // The program's directory, as a copy.
    std::string programDirectoryCopy() const { return programDirectory; }

    // The raw command line as the platform hands it to the process, read when asked
    // for (nothing in the tool asks).
    std::string commandLineText() const;

    std::string programDirectory;  // the program's own directory, no trailing separator
    std::string programFileName;   // nothing reads it
    std::vector<std::string> arguments;
    std::vector<OptionPair> optionPairs;
    std::vector<std::string> positionals;
    OptionRecognizer recognizer = nullptr;
};

}  // namespace kestrune
