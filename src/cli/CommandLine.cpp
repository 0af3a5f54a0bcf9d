// SPDX-License-Identifier: MIT
// CommandLine: splits raw arguments into option pairs and positional arguments.
#include "cli/CommandLine.h"

#include <algorithm>

#include "base/asciiTable.h"
#include "base/platform.h"

namespace kestrune {

void CommandLine::clear() {
    arguments.clear();
    optionPairs.clear();
    positionals.clear();
}

void CommandLine::addArgument(std::string_view text) { arguments.emplace_back(text); }

void CommandLine::captureProgramPath(std::string_view programName) {
    std::string path = platform::programFilePath();
    if (path.empty()) path = platform::programFilePathFromName(programName);
    // A backslash separates path parts everywhere in this tool, so it counts here too.
    const std::size_t cut = path.find_last_of("/\\");
    // A program in the root directory has "/" as its directory.
    programDirectory = cut == std::string::npos ? "" : path.substr(0, cut == 0 ? 1 : cut);
    // The whole path when it holds no separator (npos + 1 is 0).
    programFileName = path.substr(cut + 1);
}

std::string CommandLine::commandLineText() const { return platform::rawCommandLine(); }

bool CommandLine::parse() {
    optionPairs.clear();
    positionals.clear();
    if (recognizer == nullptr) return false;

    std::string currentName;
    std::string currentValue;
    int takesValue = 0;
    // Whether the current option already received its argument. Testing the value
    // for emptiness instead would let an empty argument ("") hand the option's slot
    // on to the next argument, so "-tag '' page.html" would swallow the file name.
    bool valueTaken = false;
    auto endOption = [&] {
        if (!currentName.empty()) {
            optionPairs.push_back(OptionPair{std::move(currentName), std::move(currentValue)});
        }
    };
    for (const std::string& argument : arguments) {
        int argumentTakesValue = 0;
        if (recognizer(argument, argumentTakesValue) != 0) {
            endOption();
            currentName = argument;
            currentValue.clear();
            takesValue = argumentTakesValue;
            valueTaken = false;
        } else if (!currentName.empty() && takesValue != 0 && !valueTaken) {
            currentValue = argument;
            valueTaken = true;
        } else {
            positionals.push_back(argument);
        }
    }
    endOption();
    return !optionPairs.empty();
}

bool CommandLine::getOption(std::string_view name, std::string& value, int ignoreCase) const {
    const auto pair = std::ranges::find_if(optionPairs, [&](const OptionPair& p) {
        return ignoreCase != 0 ? equalsIgnoreCase(p.name, name) : p.name == name;
    });
    if (pair == optionPairs.end()) return false;
    value = pair->value;
    return true;
}

}  // namespace kestrune
