// SPDX-License-Identifier: MIT
// Runs the built binary once for every folder of tests/cli/data, in a fresh working
// directory, and compares all it does with what the folder holds:
//   args            the command line, one argument per line
//   in/             files put into the working directory before the run
//   env             NAME=value lines added to the environment (optional)
//   stdout          the expected standard output (none when absent)
//   stdout.windows  the Windows program's, where its converter differs (optional)
//   status          the expected exit status (1 when absent)
//   out/            the files the run leaves beside in/, byte for byte; no other
//                   file may be left in the working directory
// "@DIR@" in args and stdout stands for the working directory. Nothing goes to
// standard error.
//
// Without KESTRUNE_CODEPAGE, UTF-8 pages are converted to the system's code page: 936
// on Linux, under Wine the one of the locale (LC_ALL). CTest runs that case under
// several locales on Windows and names the code page each should give. (The code
// pages the variable names are cases of the case folders.)
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "base/platform.h"
#include "support/caseFile.h"
#include "support/runTool.h"

namespace kestrune {
namespace {

namespace fs = std::filesystem;
using testing::readFile;

const fs::path kCases = testing::testsPath("cli/data");

std::set<std::string> caseNames() {
    std::set<std::string> names;
    std::error_code ec;
    for (const auto& entry : fs::directory_iterator(kCases, ec)) {
        if (entry.is_directory()) names.insert(entry.path().filename().string());
    }
    return names;
}

std::string withDirectory(std::string text, const std::string& dir) {
    for (std::size_t at; (at = text.find("@DIR@")) != std::string::npos;) text.replace(at, 5, dir);
    return text;
}

std::vector<std::string> linesOf(const fs::path& file, const std::string& dir) {
    std::istringstream in(withDirectory(readFile(file.string()), dir));
    std::vector<std::string> lines;
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

// Every file below `root` by its path relative to it, with its bytes.
std::map<std::string, std::string> filesBelow(const fs::path& root) {
    std::map<std::string, std::string> files;
    std::error_code ec;
    for (const auto& entry : fs::recursive_directory_iterator(root, ec)) {
        if (!entry.is_directory()) {
            files[entry.path().lexically_relative(root).generic_string()] =
                readFile(entry.path().string());
        }
    }
    return files;
}

class GoldenTest : public ::testing::TestWithParam<std::string> {};

TEST_P(GoldenTest, Run) {
    const fs::path folder = kCases / GetParam();
    const testing::TempDir work;
    const std::string dir = work.path();
    std::map<std::string, std::string> files = filesBelow(folder / "in");
    std::error_code absent;  // a case without in/ starts in an empty directory
    fs::copy(folder / "in", dir, fs::copy_options::recursive, absent);
    testing::ToolRun run =
        testing::runTool(linesOf(folder / "args", dir), dir, "", linesOf(folder / "env", dir));

    fs::path stdoutFile = folder / "stdout";
#if defined(_WIN32)
    if (fs::exists(folder / "stdout.windows")) stdoutFile = folder / "stdout.windows";
#endif
    EXPECT_EQ(run.output, withDirectory(readFile(stdoutFile.string()), dir));
    EXPECT_EQ(run.errors, "");
    EXPECT_EQ(run.signal, 0);
    const std::string status = readFile((folder / "status").string());
    EXPECT_EQ(run.status, status.empty() ? 1 : std::stoi(status));
    for (auto& [name, bytes] : filesBelow(folder / "out")) files[name] = bytes;
    EXPECT_EQ(filesBelow(dir), files);
}

INSTANTIATE_TEST_SUITE_P(Cli, GoldenTest, ::testing::ValuesIn(caseNames()),
                         [](const auto& param) { return testing::parameterName(param.param); });

TEST(SystemCodePageTest, FollowsTheSystem) {
    // "é" (U+00E9) and "中" (U+4E2D) in each system code page; Windows' converter
    // writes a similar letter where a code page lacks one ("best fit").
    const std::map<unsigned, std::string> texts = {
        {936, "\xA8\xA6\xD6\xD0"}, {932, "e\x92\x86"}, {1252, "\xE9?"}};
    const char* expected = std::getenv("KESTRUNE_TEST_SYSTEM_CODEPAGE");
    const unsigned codePage = expected != nullptr ? std::stoul(expected) : 936;
    ASSERT_EQ(platform::systemCodePage(), codePage);
    ASSERT_EQ(std::getenv("KESTRUNE_CODEPAGE"), nullptr);
    testing::TempDir dir;
    testing::ToolRun r = testing::runTool(
        {dir.write("page.html", "<html><body><p>\xC3\xA9\xE4\xB8\xAD</p></body></html>"), "-tag",
         "p"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.output, "text=" + texts.at(codePage) + "\r\nattr=\r\n");
}

}  // namespace
}  // namespace kestrune
