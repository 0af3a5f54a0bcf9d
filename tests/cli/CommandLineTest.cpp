// SPDX-License-Identifier: MIT
#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "base/platform.h"
#include "cli/CommandLine.h"
#include "cli/Options.h"

namespace kestrune {
namespace {

using Pairs = std::vector<std::pair<std::string, std::string>>;
using Strings = std::vector<std::string>;

Pairs pairsOf(const CommandLine& cl) {
    Pairs pairs;
    for (const auto& p : cl.optionPairs) pairs.emplace_back(p.name, p.value);
    return pairs;
}

void load(CommandLine& cl, const Strings& args) {
    cl.clear();
    for (const std::string& a : args) cl.addArgument(a);
    cl.recognizer = recognizeOption;
}

TEST(CommandLineTest, ArgumentGrammar) {
    struct Case {
        Strings args;
        Pairs pairs;
        Strings positionals;
    };
    const Case cases[] = {
        {{}, {}, {}},
        {{"page.html", "-tag", "a"}, {{"-tag", "a"}}, {"page.html"}},
        // An option name right after a value-taking option leaves it empty.
        {{"-tag", "-attr", "href", "x.html"}, {{"-tag", ""}, {"-attr", "href"}}, {"x.html"}},
        // At most one value per option; the rest are positionals.
        {{"-attr", "href", "src", "page.html"}, {{"-attr", "href"}}, {"src", "page.html"}},
        {{"-text", "x.html"}, {{"-text", ""}}, {"x.html"}},
        {{"-help"}, {{"-help", ""}}, {}},
        {{"x.html", "-?"}, {{"-?", ""}}, {"x.html"}},
        {{"-o"}, {{"-o", ""}}, {}},
        {{"-o", "x.html", "-tag", "a"}, {{"-o", "x.html"}, {"-tag", "a"}}, {}},
        {{"-TAG", "A", "-Attr", "Href"}, {{"-TAG", "A"}, {"-Attr", "Href"}}, {}},
        {{"-O", "x", "-HELP", "y", "-Text", "z"},
         {{"-O", "x"}, {"-HELP", ""}, {"-Text", ""}},
         {"y", "z"}},
        {{"-tag", "a", "-tag", "b"}, {{"-tag", "a"}, {"-tag", "b"}}, {}},
        // Unknown options are ordinary arguments, even right after a value-taking one.
        {{"-x", "-tag", "-y"}, {{"-tag", "-y"}}, {"-x"}},
        {{"tag", "--tag", "-tags", "-t", "/?", "", "-"},
         {},
         {"tag", "--tag", "-tags", "-t", "/?", "", "-"}},
        // An empty argument is the option's value and does not leave the slot open.
        {{"-tag", "", "x.html"}, {{"-tag", ""}}, {"x.html"}},
        // Embedded NUL: not the option "-tag".
        {{std::string("-tag\0x", 6), "a"}, {}, {std::string("-tag\0x", 6), "a"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::PrintToString(c.args));
        CommandLine cl;
        load(cl, c.args);
        EXPECT_EQ(cl.parse(), !c.pairs.empty());
        EXPECT_EQ(pairsOf(cl), c.pairs);
        EXPECT_EQ(cl.positionals, c.positionals);
    }
}

TEST(CommandLineTest, GetOptionFirstMatchAndCaseRule) {
    CommandLine cl;
    load(cl, {"-TAG", "A", "-tag", "b", "-text"});
    cl.parse();
    std::string value = "untouched";
    EXPECT_TRUE(cl.getOption("-tag", value, 1));
    EXPECT_EQ(value, "A");  // first occurrence wins, case of the value kept
    EXPECT_TRUE(cl.getOption("-tag", value, 0));
    EXPECT_EQ(value, "b");  // byte-for-byte comparison skips "-TAG"
    EXPECT_TRUE(cl.getOption("-TEXT", value, 1));
    EXPECT_EQ(value, "");

    value = "untouched";
    EXPECT_FALSE(cl.getOption("-TEXT", value, 0));
    EXPECT_FALSE(cl.getOption("-attr", value, 1));
    EXPECT_FALSE(cl.getOption("-ta", value, 1));
    EXPECT_EQ(value, "untouched");
}

TEST(CommandLineTest, CaptureProgramPathSplitsAtLastSeparator) {
    CommandLine cl;
    cl.captureProgramPath();
#if defined(_WIN32)
    EXPECT_EQ(cl.programFileName, "cli_test.exe");
#else
    EXPECT_EQ(cl.programFileName, "cli_test");
#endif
    const std::string path = platform::programFilePath();
    ASSERT_GT(path.size(), cl.programDirectory.size());
    EXPECT_EQ(path.substr(0, cl.programDirectory.size()), cl.programDirectory);
    EXPECT_TRUE(path[cl.programDirectory.size()] == '/' ||
                path[cl.programDirectory.size()] == '\\');
    EXPECT_EQ(path.substr(cl.programDirectory.size() + 1), cl.programFileName);
    EXPECT_TRUE(platform::directoryExists(cl.programDirectory));
    EXPECT_EQ(cl.programDirectoryCopy(), cl.programDirectory);
    EXPECT_NE(cl.commandLineText().find("cli_test"), std::string::npos);
}

}  // namespace
}  // namespace kestrune
