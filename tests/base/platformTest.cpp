// SPDX-License-Identifier: MIT
// The platform layer's answers that the rest relies on: the system converter's results
// for several code pages, and the program's path.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "base/platform.h"
#include "base/utf8.h"
#include "support/caseFile.h"

namespace kestrune {
namespace {

TEST(CodePageTest, ConversionsThroughTheSystemConverter) {
    for (const auto& c : testing::readCases("base/data/codePages.txt", 4)) {
#if defined(_WIN32)
        const std::string& expected = c[3].empty() ? c[2] : c[3];
#else
        const std::string& expected = c[2];
#endif
        EXPECT_EQ(platform::utf8ToCodePage(c[1], std::stoul(c[0])), expected)
            << c[0] << " " << c[1];
    }
}

// The test that lets well-formed UTF-8 skip the conversion to UTF-8 agrees with the
// conversion: the text is well-formed exactly when converting it changes nothing.
TEST(CodePageTest, WellFormedUtf8IsKept) {
    for (const auto& c : testing::readCases("base/data/utf8.txt", 2)) {
        const bool wellFormed = c[1] == "1";
        EXPECT_EQ(isWellFormedUtf8(c[0]), wellFormed) << c[0];
        EXPECT_EQ(platform::utf8ToCodePage(c[0], platform::kUtf8CodePage) == c[0],
                  wellFormed || c[0].empty())
            << c[0];
    }
}

// The program's path from the name it was started under, as a shell finds it.
TEST(PlatformTest, ProgramPathFromItsName) {
#if defined(_WIN32)
    GTEST_SKIP() << "POSIX paths and a PATH searched as a shell does; Windows searches its own way";
#else
    const std::string sh = platform::programFilePathFromName("/bin/sh");
    ASSERT_FALSE(sh.empty());
    EXPECT_EQ(sh.front(), '/');
    EXPECT_TRUE(platform::fileExists(sh));
    const char* saved = std::getenv("PATH");
    const std::string path = saved != nullptr ? saved : "";
    // The first PATH entry that holds the name wins; missing entries are passed over.
    ::setenv("PATH", "/no/such/dir:/bin:/usr/bin", 1);
    EXPECT_EQ(platform::programFilePathFromName("sh"), sh);
    EXPECT_EQ(platform::programFilePathFromName("no-such-program-here"), "");
    ::setenv("PATH", path.c_str(), 1);
    EXPECT_EQ(platform::programFilePathFromName("./no/such/program"), "");
    EXPECT_EQ(platform::programFilePathFromName(""), "");
#endif
}

}  // namespace
}  // namespace kestrune
