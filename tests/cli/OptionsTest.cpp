// SPDX-License-Identifier: MIT
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "base/platform.h"
#include "cli/Console.h"
#include "cli/Options.h"
#include "support/caseFile.h"
#include "support/runTool.h"

namespace kestrune {
namespace {

std::string programDirectory() {
    std::string path = platform::programFilePath();
    // The options store paths with forward slashes only.
    std::replace(path.begin(), path.end(), '\\', '/');
    return path.substr(0, path.rfind('/'));
}

const std::string kBare = "kestrune-options-" + std::to_string(::getpid()) + ".html";

// A file next to the test binary (found by its bare name) and one in a temporary
// directory (found by its full path).
class OptionsTest : public ::testing::Test {
  protected:
    static void SetUpTestSuite() { std::ofstream(programDirectory() + "/" + kBare) << "<p>x</p>"; }
    static void TearDownTestSuite() { std::filesystem::remove(programDirectory() + "/" + kBare); }

    // `s` with "@P@" made the program's directory, "@T@" the temporary one and "@B@"
    // the bare name.
    std::string expand(std::string s) const {
        for (auto [key, value] :
             {std::pair{"@P@", programDirectory()}, {"@T@", temp.path()}, {"@B@", kBare}})
            for (std::size_t at; (at = s.find(key)) != std::string::npos;) s.replace(at, 3, value);
        return s;
    }

    testing::TempDir temp;
    std::string page = temp.write("page.html", "<p>x</p>");
    Options options;
};

// The command lines of the data file, parsed in order by one object in the
// temporary directory: the printed message, or the fields, must be those the file
// gives.
TEST_F(OptionsTest, CommandLines) {
    std::filesystem::create_directory(temp.path() + "/sub");
    std::filesystem::create_directory(temp.path() + "/sub.html");
    temp.write("sub/page.html", "<p>x</p>");
    testing::CurrentDirectory cwd(temp.path());
    for (const auto& c : testing::readCases("cli/data/commandLines.txt", 2)) {
        std::vector<std::string> args = testing::fieldLines(c[0]);
        std::vector<const char*> argv{"kestrune"};
        for (std::string& a : args) argv.push_back((a = expand(a)).c_str());
        argv.push_back(nullptr);
        SCOPED_TRACE(::testing::PrintToString(args));
        std::string result;
        Console console(&result);
        const bool accepted =
            options.parse(static_cast<int>(args.size() + 1), argv.data(), console);
        console.flush();
        if (accepted) {
            result += "input=" + options.inputPath + "\ntag=" + options.tagName + "\n";
            for (const std::string& name : options.attributeNames) result += "attr=" + name + "\n";
            result += "text=" + std::to_string(options.textFlag) + "\noutput=" + options.outputPath;
        }
        EXPECT_EQ(result, expand(c[1]));
    }
}

TEST_F(OptionsTest, ValidatePath) {
    // Windows allows no "?" in names: there the cases inside such a directory go.
    std::error_code noOddNames;
    std::filesystem::create_directory(temp.path() + "/a?b", noOddNames);
    for (const auto& c : testing::readCases("cli/data/paths.txt", 3)) {
        const std::string path = expand(c[0]);
        SCOPED_TRACE(path);
        if (noOddNames && path.find("/a?b/") != std::string::npos) continue;
        int hasDirectory = -1;
        EXPECT_EQ(validatePath(path, hasDirectory), c[1] == "1");
        EXPECT_EQ(hasDirectory, std::stoi(c[2]));
    }
}

TEST_F(OptionsTest, ResolveOutputPath) {
    for (const auto& c : testing::readCases("cli/data/outputPaths.txt", 3)) {
        const std::string value = expand(c[1]);
        SCOPED_TRACE(value + " " + c[0]);
        options.commandLine.programDirectory = "/prog/dir";
        options.inputPath = "/data/in/news.html";
        options.tagName = c[0];
        options.mode = reportModeOf(c[0]);
        options.outputPath.clear();
        std::string output;
        Console console(&output);
        EXPECT_EQ(options.resolveOutputPath(value, console), !c[2].empty());
        console.flush();
        const std::string error = "Error: output file by -o \"" + value + "\" is not valid.\r\n";
        EXPECT_EQ(output, c[2].empty() ? error : "");
        EXPECT_EQ(options.outputPath, expand(c[2]));
    }
}

}  // namespace
}  // namespace kestrune
