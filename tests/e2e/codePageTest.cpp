// SPDX-License-Identifier: MIT
// Without KESTRUNE_CODEPAGE, UTF-8 pages are converted to the system's code page: 936
// on Linux, under Wine the one of the locale (LC_ALL). CTest runs this case under
// several locales on Windows and names the code page each should give. (The code
// pages the variable names are cases of the case folders.)
#include <gtest/gtest.h>

#include <cstdlib>
#include <map>
#include <string>

#include "base/platform.h"
#include "support/runTool.h"

namespace kestrune {
namespace {

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
