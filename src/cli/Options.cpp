// SPDX-License-Identifier: MIT
// Options: turns the arguments into the accepted command line of one run, checking
// them in a fixed order and printing the first failure.
#include "cli/Options.h"

#include <algorithm>
#include <array>

#include "base/asciiTable.h"
#include "base/byteString.h"
#include "base/platform.h"
#include "cli/Console.h"

namespace kestrune {

namespace {

struct OptionName {
    std::string_view name;
    int takesValue;
};

constexpr std::array<OptionName, 6> kOptionNames = {{
    {"-tag", 1},
    {"-attr", 1},
    {"-o", 1},
    {"-text", 0},
    {"-help", 0},
    {"-?", 0},
}};

// The option names are looked up without regard to ASCII case.
constexpr int kIgnoreCase = 1;

}  // namespace

int recognizeOption(std::string_view text, int& takesValue) {
    const auto* option = std::ranges::find_if(
        kOptionNames, [&](const OptionName& o) { return equalsIgnoreCase(text, o.name); });
    if (option == kOptionNames.end()) return 0;
    takesValue = option->takesValue;
    return 1;
}

bool hasValidFileNameChars(std::string_view name) {
    return name.find_first_of(std::string_view("/:*?\"<>|\\")) == std::string_view::npos;
}

bool validatePath(std::string_view path, int& hasDirectory) {
    const std::string copy = platform::withForwardSlashes(path);
    const std::size_t slash = copy.rfind('/');
    hasDirectory = slash == std::string::npos ? 0 : 1;
    // "/x.html" lives in the root: its directory part is "/", not the empty text.
    if (hasDirectory != 0 &&
        !platform::directoryExists(slash == 0 ? std::string_view("/")
                                              : std::string_view(copy).substr(0, slash)))
        return false;
    // The file name: the whole path when it has no directory part (npos + 1 is 0).
    return hasValidFileNameChars(std::string_view(copy).substr(slash + 1));
}

bool Options::parse(int argc, const char* const* argv, Console& console) {
    inputPath.clear();
    tagName.clear();
    attributeNames.clear();
    textFlag = 0;
    outputPath.clear();

    CommandLine& cl = commandLine;
    cl.clear();
    for (int i = 1; argv != nullptr && i < argc && argv[i] != nullptr; ++i) {
        cl.addArgument(argv[i]);
    }

    // The program's name is only a clue to its directory, for when the platform
    // cannot tell it; it is never taken for an argument.
    cl.captureProgramPath(argc > 0 && argv != nullptr && argv[0] != nullptr ? argv[0] : "");
    cl.recognizer = recognizeOption;
    cl.parse();

    if (cl.positionals.empty()) {
        console << "Error: lack HTML document for parse.\r\n";
        return false;
    }
    std::string ignored;
    if (cl.getOption("-help", ignored, kIgnoreCase) || cl.getOption("-?", ignored, kIgnoreCase)) {
        return false;
    }

    const std::string& inputArgument = cl.positionals.front();
    std::string tagValue;
    std::string attrValue;
    std::string outputValue;
    cl.getOption("-tag", tagValue, kIgnoreCase);
    cl.getOption("-attr", attrValue, kIgnoreCase);
    textFlag = cl.getOption("-text", ignored, kIgnoreCase) ? 1 : 0;
    bool outputRequested = cl.getOption("-o", outputValue, kIgnoreCase);

    int hasDirectory = 0;
    if (!validatePath(inputArgument, hasDirectory)) {
        console << "Error: The file \"" << inputArgument << "\" is not valid.\r\n";
        return false;
    }
    // A bare name always means a file next to the program, whatever the current
    // directory; a name with a directory part is used as typed.
    // Without a known program directory a bare name names no file at all.
    std::string candidate =
        hasDirectory != 0 ? inputArgument : cl.programDirectory + "\\" + inputArgument;
    if ((hasDirectory == 0 && cl.programDirectory.empty()) || !platform::fileExists(candidate)) {
        console << "Error: The file \"" << inputArgument << "\" is not exist.\r\n";
        return false;
    }
    inputPath = platform::withForwardSlashes(candidate);

    if (tagValue.empty()) {
        console << "Warning: need -tag parameter.\r\n";
        return false;
    }
    tagName = tagValue;
    mode = reportModeOf(tagName);
    splitAttributeList(attrValue);

    if (!outputRequested) return true;
    return resolveOutputPath(outputValue, console);
}

void Options::splitAttributeList(std::string_view value) {
    for (const std::string_view name : splitNameList(value)) attributeNames.emplace_back(name);
}

bool Options::resolveOutputPath(std::string_view value, Console& console) {
    int hasDirectory = 0;
    if (!validatePath(value, hasDirectory) ||
        (hasDirectory == 0 && commandLine.programDirectory.empty())) {
        // A bare name (or none) goes to the program's directory: without one it
        // cannot be placed anywhere.
        console << "Error: output file by -o \"" << value << "\" is not valid.\r\n";
        return false;
    }
    // No name: the input file's name (after the last "/" of inputPath, if any), with
    // ".js" for raw blocks, written as text, or ".json" for the other reports.
    std::string resolved = value.empty() ? inputPath.substr(inputPath.rfind('/') + 1) +
                                               (mode == ReportMode::RawBlocks ? ".js" : ".json")
                                         : std::string(value);
    if (hasDirectory == 0) resolved = commandLine.programDirectory + "/" + resolved;
    outputPath = platform::withForwardSlashes(resolved);
    return true;
}

}  // namespace kestrune
