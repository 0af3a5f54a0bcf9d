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
#include "support/runTool.h"

namespace kestrune {
namespace {

using testing::TempDir;
using Strings = std::vector<std::string>;

const char kLackMessage[] = "Error: lack HTML document for parse.\r\n";
const char kNeedTagMessage[] = "Warning: need -tag parameter.\r\n";

std::string notValid(const std::string& typed) {
    return "Error: The file \"" + typed + "\" is not valid.\r\n";
}
std::string notExist(const std::string& typed) {
    return "Error: The file \"" + typed + "\" is not exist.\r\n";
}
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

// Every case has a file next to the test binary (found by its bare name) and one in a
// temporary directory (found by its full path).
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

// Each rejection prints exactly one message (or none for help), and the first failing
// check is the one reported.
TEST_F(OptionsTest, RejectionsAndOrderOfChecks) {
    std::filesystem::create_directory(temp.path() + "/sub.html");
    struct Case {
        Strings args;
        std::string expected;
    };
    const Case cases[] = {
        {{}, kLackMessage},
        {{"-help"}, kLackMessage},  // the input check comes before the help check
        {{"-o", "x.html", "-tag", "a"}, kLackMessage},  // x.html is the output name
        {{bare(), "-help"}, ""},
        {{"no/such/dir/x.html", "-HELP"}, ""},  // help before the path checks
        {{"a?b.html", "-tag", "a"}, notValid("a?b.html")},
        {{"no-such-dir/x.html", "-tag", "a"}, notValid("no-such-dir/x.html")},
        {{"missing-kestrune.html", "-tag", "a"}, notExist("missing-kestrune.html")},
        {{temp.path() + "/", "-tag", "a"}, notExist(temp.path() + "/")},
        {{temp.path() + "/sub.html", "-tag", "a"}, notExist(temp.path() + "/sub.html")},
        {{"-x", bare(), "-tag", "a"}, notExist("-x")},  // unknown option taken as input
        {{"-attr", "href", "src", bare(), "-tag", "a"}, notExist("src")},
        {{bare()}, kNeedTagMessage},
        {{"-tag", "-attr", "href", bare()}, kNeedTagMessage},
        {{"-tag", "", bare()}, kNeedTagMessage},
        {{bare(), "-o", "no-such-dir/x.json"}, kNeedTagMessage},  // -tag before -o
        {{bare(), "-tag", "a", "-o", "no-such-dir/x.json"}, outputNotValid("no-such-dir/x.json")},
        {{bare(), "-tag", "a", "-o", temp.path() + "\\y:z.json"},
         outputNotValid(temp.path() + "\\y:z.json")},
        {{"a<b.html", "-tag", "a", "-o", "x|y.json"}, notValid("a<b.html")},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::PrintToString(c.args));
        ParseResult r = parseArgs(options, c.args);
        EXPECT_FALSE(r.accepted);
        EXPECT_EQ(r.output, c.expected);
    }
}

TEST_F(OptionsTest, BareNameMeansProgramDirectory) {
    ParseResult r = parseArgs(options, {"-TAG", "A", bare()});
    ASSERT_TRUE(r.accepted);
    EXPECT_EQ(r.output, "");
    EXPECT_EQ(options.inputPath, programDirectory() + "/" + bare());
    EXPECT_EQ(options.tagName, "A");
    EXPECT_TRUE(options.attributeNames.empty());
    EXPECT_EQ(options.textFlag, 0);
    EXPECT_EQ(options.outputPath, "");
}

TEST_F(OptionsTest, BareNameIsNeverLookedUpInCurrentDirectory) {
    CurrentDirectory cwd(temp.path());
    ParseResult r = parseArgs(options, {"page.html", "-tag", "a"});
    EXPECT_FALSE(r.accepted);
    EXPECT_EQ(r.output, notExist("page.html"));
}

TEST_F(OptionsTest, RelativePathWithDirectoryIsUsedAsTyped) {
    std::filesystem::create_directory(temp.path() + "/sub");
    temp.write("sub/page.html", "<p>x</p>");
    CurrentDirectory cwd(temp.path());
    for (const std::string typed : {"sub/page.html", "sub\\page.html", "./sub/page.html"}) {
        SCOPED_TRACE(typed);
        ParseResult r = parseArgs(options, {typed, "-tag", "a", "-o", "sub\\out.json"});
        ASSERT_TRUE(r.accepted) << r.output;
        std::string expected = typed;
        std::replace(expected.begin(), expected.end(), '\\', '/');
        EXPECT_EQ(options.inputPath, expected);
        EXPECT_EQ(options.outputPath, "sub/out.json");
    }
}

TEST_F(OptionsTest, FirstOccurrenceWinsAndAttributesSplit) {
    ParseResult r = parseArgs(options, {"-tag", "a", "-tag", "b", page, "-attr", " href ;;src,",
                                        "-attr", "alt", "-text", "extra"});
    ASSERT_TRUE(r.accepted) << r.output;
    EXPECT_EQ(options.tagName, "a");
    EXPECT_EQ(options.attributeNames, (Strings{"href", "src"}));
    EXPECT_EQ(options.textFlag, 1);
}

TEST_F(OptionsTest, ParsingAgainStartsFromEmptyFields) {
    ASSERT_TRUE(
        parseArgs(options, {page, "-tag", "a", "-attr", "href", "-text", "-o", ""}).accepted);
    ASSERT_TRUE(parseArgs(options, {page, "-tag", "b", "-attr", "src"}).accepted);
    EXPECT_EQ(options.attributeNames, Strings{"src"});
    EXPECT_EQ(options.textFlag, 0);
    EXPECT_EQ(options.outputPath, "");
}

TEST(SplitAttributeListTest, Cases) {
    struct Case {
        const char* value;
        Strings expected;
    };
    const Case cases[] = {
        {"", {}},
        {"href", {"href"}},
        {" href ;;src,", {"href", "src"}},
        {",;href,,;src;", {"href", "src"}},
        {"  ,  ; ", {}},
        {"HREF,href,HREF", {"HREF", "href", "HREF"}},   // case and duplicates kept
        {"\thref\t, data x ", {"\thref\t", "data x"}},  // only 0x20 is trimmed
        {"a b", {"a b"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.value);
        Options options;
        options.splitAttributeList(c.value);
        EXPECT_EQ(options.attributeNames, c.expected);
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
        options.commandLine.programDirectory = "/prog/dir";
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
