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
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "support/caseFile.h"
#include "support/runTool.h"

namespace kestrune {
namespace {

namespace fs = std::filesystem;
using testing::readFile;

const fs::path kCases = testing::testsPath("cli/data");

std::vector<std::string> caseNames() {
    std::vector<std::string> names;
    std::error_code ec;
    for (const auto& entry : fs::directory_iterator(kCases, ec)) {
        if (entry.is_directory()) names.push_back(entry.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
}

std::string withDirectory(std::string text, const std::string& dir) {
    for (std::size_t at = text.find("@DIR@"); at != std::string::npos;
         at = text.find("@DIR@", at + dir.size())) {
        text.replace(at, 5, dir);
    }
    return text;
}

std::vector<std::string> linesOf(const std::string& text, const std::string& dir) {
    std::vector<std::string> lines;
    for (std::size_t from = 0, end; (end = text.find('\n', from)) != std::string::npos;
         from = end + 1) {
        lines.push_back(withDirectory(text.substr(from, end - from), dir));
    }
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
    std::map<std::string, std::string> files = filesBelow(folder / "in");
    for (const auto& [name, bytes] : files) {
        fs::create_directories(fs::path(work.path() + "/" + name).parent_path());
        work.write(name, bytes);
    }
    const std::string dir = work.path();
    testing::ToolRun run = testing::runTool(linesOf(readFile((folder / "args").string()), dir), dir,
                                            "", linesOf(readFile((folder / "env").string()), dir));

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

INSTANTIATE_TEST_SUITE_P(Cli, GoldenTest, ::testing::ValuesIn(caseNames()), [](const auto& param) {
    std::string name = param.param;
    std::replace(name.begin(), name.end(), '-', '_');
    return name;
});

}  // namespace
}  // namespace kestrune
