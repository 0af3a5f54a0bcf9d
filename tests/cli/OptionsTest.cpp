// SPDX-License-Identifier: MIT
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "base/platform.h"
#include "cli/Console.h"
#include "cli/Options.h"
#include "support/caseFile.h"
#include "support/runTool.h"

namespace kestrune {
namespace {

using testing::TempDir;
using Strings = std::vector<std::string>;

std::string outputNotValid(const std::string& typed) {
    return "Error: output file by -o \"" + typed + "\" is not valid.\r\n";
}

std::string programDirectory() {
    std::string path = platform::programFilePath();
    // The options store paths with forward slashes only.
    std::replace(path.begin(), path.end(), '\\', '/');
    return path.substr(0, path.rfind('/'));
}

struct ParseResult {
    bool accepted;
    std::string output;
};

ParseResult parseArgs(Options& options, const Strings& args) {
    std::vector<const char*> argv{"kestrune"};
    for (const std::string& a : args) argv.push_back(a.c_str());
    argv.push_back(nullptr);
    std::string output;
    bool accepted;
    {
        Console console(&output);
        accepted = options.parse(static_cast<int>(args.size() + 1), argv.data(), console);
    }
    return {accepted, output};
}

// Runs the body's checks with `dir` as the current directory, restoring it after.
class CurrentDirectory {
  public:
    explicit CurrentDirectory(const std::string& dir) : saved_(std::filesystem::current_path()) {
        std::filesystem::current_path(dir);
    }
    ~CurrentDirectory() { std::filesystem::current_path(saved_); }
    CurrentDirectory(const CurrentDirectory&) = delete;
    CurrentDirectory& operator=(const CurrentDirectory&) = delete;

  private:
    std::filesystem::path saved_;
};

// A file next to the test binary (found by its bare name) and one in a temporary
// directory (found by its full path).
class OptionsTest : public ::testing::Test {
  protected:
    static const std::string& bare() {
        static const std::string name = "kestrune-options-" + std::to_string(::getpid()) + ".html";
        return name;
    }
    static void SetUpTestSuite() {
        std::FILE* f = std::fopen((programDirectory() + "/" + bare()).c_str(), "wb");
        ASSERT_NE(f, nullptr);
        std::fputs("<p>x</p>", f);
        std::fclose(f);
    }
    static void TearDownTestSuite() { std::filesystem::remove(programDirectory() + "/" + bare()); }

    TempDir temp;
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
    CurrentDirectory cwd(temp.path());
    auto expand = [&](std::string s) {
        for (auto [key, value] :
             {std::pair{"@P@", programDirectory()}, {"@T@", temp.path()}, {"@B@", bare()}}) {
            for (std::size_t at; (at = s.find(key)) != std::string::npos;) s.replace(at, 3, value);
        }
        return s;
    };
    for (const auto& c : testing::readCases("cli/data/commandLines.txt", 2)) {
        Strings args;
        for (std::size_t from = 0, end = 0; !c[0].empty() && end != std::string::npos;
             from = end + 1) {
            end = c[0].find('\n', from);
            args.push_back(expand(c[0].substr(from, end - from)));
        }
        SCOPED_TRACE(::testing::PrintToString(args));
        ParseResult r = parseArgs(options, args);
        std::string result = r.output;
        if (r.accepted) {
            result += "input=" + options.inputPath + "\ntag=" + options.tagName + "\n";
            for (const std::string& name : options.attributeNames) result += "attr=" + name + "\n";
            result += "text=" + std::to_string(options.textFlag) + "\noutput=" + options.outputPath;
        }
        EXPECT_EQ(result, expand(c[1]));
    }
}

TEST(ValidatePathTest, Cases) {
    TempDir temp;
    // Windows allows no "?" in names: there the cases inside such a directory go.
    std::error_code noOddNames;
    std::filesystem::create_directory(temp.path() + "/a?b", noOddNames);
    const std::string t = temp.path();
    struct Case {
        std::string path;
        bool valid;
        int hasDirectory;
    };
    const Case cases[] = {
        {"page.html", true, 0},
        {"a?b.html", false, 0},
        {t + "/page.html", true, 1},  // the file itself need not exist
        {t + "/", true, 1},           // empty file name passes
        {t + "/no-such-dir/page.html", false, 1},
        {t + "/page.html/x.html", false, 1},   // a file is not a directory
        {t + "/a?b/page.html", true, 1},       // forbidden characters left to the
        {t + "/no?such/page.html", false, 1},  // directory check before the last slash
        {t + "/a?b/p*.html", false, 1},
        {"/x.html", true, 1},  // directly under the root
        {"/x|y.html", false, 1},
        {"no-such-dir-kestrune/x.html", false, 1},
    };
    temp.write("page.html", "");
    for (const Case& c : cases) {
        SCOPED_TRACE(c.path);
        if (noOddNames && c.path.find("/a?b/") != std::string::npos) continue;
        int hasDirectory = -1;
        EXPECT_EQ(validatePath(c.path, hasDirectory), c.valid);
        EXPECT_EQ(hasDirectory, c.hasDirectory);
    }
}

TEST(ResolveOutputPathTest, Cases) {
    TempDir temp;
    const std::string t = temp.path();
    struct Case {
        const char* tag;
        std::string value;
        std::string expected;  // empty: rejected
    };
    const Case cases[] = {
        {"a", "", "/prog/dir/news.html.json"},
        {"style", "", "/prog/dir/news.html.js"},
        {"!--", "", "/prog/dir/news.html.js"},
        {"scripts", "", "/prog/dir/news.html.json"},
        {"!doctype", "", "/prog/dir/news.html.json"},
        {"a", "out.txt", "/prog/dir/out.txt"},        // any extension
        {"style", "out.json", "/prog/dir/out.json"},  // the tag only picks the default suffix
        {"a", t + "/out.json", t + "/out.json"},
        {"a", t + "\\out.json", t + "/out.json"},
        {"a", "/out.json", "/out.json"},
        {"a", "no-such-dir-kestrune/x.json", ""},
        {"a", "x<y.json", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.value + " " + c.tag);
        Options options;
        options.commandLine->programDirectory = "/prog/dir";
        options.inputPath = "/data/in/news.html";
        options.tagName = c.tag;
        std::string output;
        {
            Console console(&output);
            EXPECT_EQ(options.resolveOutputPath(c.value, console), !c.expected.empty());
        }
        EXPECT_EQ(output, c.expected.empty() ? outputNotValid(c.value) : "");
        EXPECT_EQ(options.outputPath, c.expected);
    }
}

}  // namespace
}  // namespace kestrune
