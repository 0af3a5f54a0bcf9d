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
        {{"x.html", "-?"}, ""},
        {{"tag", "-tag", "a"}, notExist("tag")},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::PrintToString(c.args));
        ParseResult r = parseArgs(options, c.args);
        EXPECT_FALSE(r.accepted);
        EXPECT_EQ(r.output, c.expected);
    }
}

// Accepted command lines and the fields they give. The cases run in order on one
// object, in the temporary directory: each parse starts from empty fields. "@P@"
// stands for the program's directory, "@T@" for the temporary one.
TEST_F(OptionsTest, AcceptedCommandLines) {
    std::filesystem::create_directory(temp.path() + "/sub");
    temp.write("sub/page.html", "<p>x</p>");
    struct Case {
        Strings args;
        std::string input;
        std::string tag;
        Strings attributes;
        int text;
        std::string output;
    };
    const std::string b = bare();
    const Case cases[] = {
        // A bare name means the program's directory; option names ignore case, values
        // keep it; the first occurrence wins.
        {{"-TAG", "A", "-tag", "b", b}, "@P@/" + b, "A", {}, 0, ""},
        {{"@T@/page.html", "-tag", "a", "-attr", "href", "-text", "-o", ""},
         "@T@/page.html",
         "a",
         {"href"},
         1,
         "@P@/page.html.json"},
        {{"@T@/page.html", "-tag", "b", "-attr", "src"}, "@T@/page.html", "b", {"src"}, 0, ""},
        // A path with a directory part is used as typed, "\\" made "/".
        {{"sub/page.html", "-tag", "a", "-o", "sub\\out.json"},
         "sub/page.html",
         "a",
         {},
         0,
         "sub/out.json"},
        {{"sub\\page.html", "-tag", "a"}, "sub/page.html", "a", {}, 0, ""},
        {{"./sub/page.html", "-tag", "a", "-o"},
         "./sub/page.html",
         "a",
         {},
         0,
         "@P@/page.html.json"},
        // At most one value per option; the first positional is the input, the rest
        // and unknown options are passed over, even right after a value-taking option.
        {{"-tag", "a", "-tag", "b", b, "-attr", " href ;;src,", "-attr", "alt", "-text", "extra"},
         "@P@/" + b,
         "a",
         {"href", "src"},
         1,
         ""},
        {{"-text", b, "-x", "--tag", "x", "-tags", "-t", "/?", "", "-", "-tag", "-y"},
         "@P@/" + b,
         "-y",
         {},
         1,
         ""},
        // The -attr list: "," and ";" separate, only 0x20 is trimmed, case and
        // duplicates are kept.
        {{b, "-tag", "a", "-attr", ""}, "@P@/" + b, "a", {}, 0, ""},
        {{b, "-tag", "a", "-attr", ",;href,,;src;"}, "@P@/" + b, "a", {"href", "src"}, 0, ""},
        {{b, "-tag", "a", "-attr", "  ,  ; "}, "@P@/" + b, "a", {}, 0, ""},
        {{b, "-tag", "a", "-attr", "HREF,href,HREF"},
         "@P@/" + b,
         "a",
         {"HREF", "href", "HREF"},
         0,
         ""},
        {{b, "-tag", "a", "-attr", "\thref\t, data x "},
         "@P@/" + b,
         "a",
         {"\thref\t", "data x"},
         0,
         ""},
    };
    CurrentDirectory cwd(temp.path());
    auto expand = [&](std::string s) {
        for (auto [key, value] : {std::pair{"@P@", programDirectory()}, {"@T@", temp.path()}}) {
            if (s.starts_with(key)) s.replace(0, 3, value);
        }
        return s;
    };
    for (const Case& c : cases) {
        Strings args;
        for (const std::string& a : c.args) args.push_back(expand(a));
        SCOPED_TRACE(::testing::PrintToString(args));
        ParseResult r = parseArgs(options, args);
        ASSERT_TRUE(r.accepted) << r.output;
        EXPECT_EQ(r.output, "");
        EXPECT_EQ(options.inputPath, expand(c.input));
        EXPECT_EQ(options.tagName, c.tag);
        EXPECT_EQ(options.attributeNames, c.attributes);
        EXPECT_EQ(options.textFlag, c.text);
        EXPECT_EQ(options.outputPath, expand(c.output));
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
