// SPDX-License-Identifier: MIT
// Runs the built kestrune binary as a child process and captures what it prints.
#pragma once

#include <string>
#include <vector>

namespace kestrune::testing {

struct ToolRun {
    int status = -1;     // exit status as the shell sees it (0-255); -1 when it did not exit
    int signal = 0;      // the signal that ended it, or 0
    std::string output;  // everything written to standard output
    std::string errors;  // everything written to standard error (only when standard output failed)
};

// Runs KESTRUNE_BINARY (or `binary` when given) with `args` in the working
// directory `cwd` (the current one when empty), in this process's environment with
// the "NAME=value" entries of `environment` added or replaced.
ToolRun runTool(const std::vector<std::string>& args, const std::string& cwd = "",
                const std::string& binary = "", const std::vector<std::string>& environment = {});

// Path of the built binary under test; the environment variable KESTRUNE_BINARY,
// when set, names another.
std::string toolPath();

// A fresh, empty directory below the system's temporary directory; removed with
// its content when the object goes away.
class TempDir {
  public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const std::string& path() const { return path_; }
    // Writes `bytes` to path()/name and returns the full path.
    std::string write(const std::string& name, const std::string& bytes) const;

  private:
    std::string path_;
};

// Makes `dir` the current directory while the object lives.
class CurrentDirectory {
  public:
    explicit CurrentDirectory(const std::string& dir);
    ~CurrentDirectory();
    CurrentDirectory(const CurrentDirectory&) = delete;
    CurrentDirectory& operator=(const CurrentDirectory&) = delete;

  private:
    std::string saved_;
};

// The pages (*.html) of the shared corpus of real web pages beside the checkout
// (../shared/corpus/real), sorted; none where it is absent, as in a fresh clone.
std::vector<std::string> corpusPages();

// Reads a whole file; empty when it cannot be read.
std::string readFile(const std::string& path);
bool pathExists(const std::string& path);

// A GoogleTest parameter name for a case named `name` ("-" becomes "_").
std::string parameterName(std::string name);

}  // namespace kestrune::testing
