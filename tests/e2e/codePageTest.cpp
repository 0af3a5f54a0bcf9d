// SPDX-License-Identifier: MIT
// The code page UTF-8 pages are converted to: the system's (936 on Linux; under Wine
// the one of the locale, LC_ALL), or the one KESTRUNE_CODEPAGE names.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "base/platform.h"
#include "support/runTool.h"

namespace kestrune {
namespace {

using testing::runTool;
using testing::TempDir;
using testing::ToolRun;

// "é" (U+00E9) and "中" (U+4E2D): each code page lacks one or the other or neither.
const std::string kPage = "<html><body><p>\xC3\xA9\xE4\xB8\xAD</p></body></html>";

// Where a code page lacks a letter, Windows' converter writes a similar one ("best
// fit"); iconv writes "?".
#if defined(_WIN32)
const std::string kEAcuteMissing = "e";
#else
const std::string kEAcuteMissing = "?";
#endif

struct Expected {
    unsigned codePage;
    std::string text;
};
const Expected kTexts[] = {
    {936, "\xA8\xA6\xD6\xD0"},    {932, kEAcuteMissing + "\x92\x86"}, {1252, "\xE9?"},
    {1251, kEAcuteMissing + "?"}, {65001, "\xC3\xA9\xE4\xB8\xAD"},
};

std::string reportOf(unsigned codePage) {
    for (const Expected& e : kTexts) {
        if (e.codePage == codePage) return "text=" + e.text + "\r\nattr=\r\n";
    }
    ADD_FAILURE() << "no expectation for code page " << codePage;
    return std::string();
}

TEST(CodePageTest, NamedInTheEnvironment) {
    TempDir dir;
    const std::string page = dir.write("page.html", kPage);
    for (const Expected& e : kTexts) {
        const std::string setting = std::to_string(e.codePage);
        ToolRun r = runTool({page, "-tag", "p"}, "", "", {"KESTRUNE_CODEPAGE=" + setting});
        EXPECT_EQ(r.status, 1) << setting;
        EXPECT_EQ(r.output, reportOf(e.codePage)) << setting;
    }
}

// UTF-8 out: what the lax UTF-8 check let through comes out as U+FFFD, three bytes
// for each of the overlong form's two.
TEST(CodePageTest, Utf8OutputIsWellFormed) {
    TempDir dir;
    const std::string page = dir.write("page.html", "<html><p>\xC0\x80\xC3\xA9</p></html>");
    ToolRun r = runTool({page, "-tag", "p"}, "", "", {"KESTRUNE_CODEPAGE=65001"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.output, "text=\xEF\xBF\xBD\xEF\xBF\xBD\xC3\xA9\r\nattr=\r\n");
}

TEST(CodePageTest, UnusableSettingStopsTheRun) {
    TempDir dir;
    const std::string page = dir.write("page.html", kPage);
    for (const std::string setting : {"abc", "", "37", "99999", "59999"}) {
        ToolRun r = runTool({page, "-tag", "p", "-o", dir.path() + "/out.json"}, "", "",
                            {"KESTRUNE_CODEPAGE=" + setting});
        EXPECT_EQ(r.status, 255) << setting;
        EXPECT_EQ(r.output, "Error: The code page \"" + setting +
                                "\" set in KESTRUNE_CODEPAGE is not available.\r\n");
        EXPECT_FALSE(testing::pathExists(dir.path() + "/out.json")) << setting;
    }
}

// Without the variable the system's code page applies. CTest runs this case under
// several locales on Windows and names the code page each should give.
TEST(SystemCodePageTest, FollowsTheSystem) {
    const char* expected = std::getenv("KESTRUNE_TEST_SYSTEM_CODEPAGE");
    const unsigned codePage = expected != nullptr ? std::stoul(expected) : 936;
    ASSERT_EQ(platform::systemCodePage(), codePage);
    ASSERT_EQ(std::getenv("KESTRUNE_CODEPAGE"), nullptr);
    TempDir dir;
    ToolRun r = runTool({dir.write("page.html", kPage), "-tag", "p"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.output, reportOf(codePage));
}

}  // namespace
}  // namespace kestrune
