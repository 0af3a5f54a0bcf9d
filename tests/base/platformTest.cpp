// SPDX-License-Identifier: MIT
// The platform layer's answers that the rest relies on: the system converter's results
// for several code pages, the same on Linux (iconv) and Windows, and the program's path.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <tuple>

#include "base/platform.h"
#include "base/utf8.h"

namespace kestrune {
namespace {

// Where a code page lacks a letter, Windows' converter writes a similar one ("best
// fit": e for e-acute) and gives each half of a surrogate pair its own "?"; iconv
// writes one "?" for the character.
#if defined(_WIN32)
const std::string kBestFitE = "e";
const std::string kBeyondBmp = "??";
#else
const std::string kBestFitE = "?";
const std::string kBeyondBmp = "?";
#endif

TEST(CodePageTest, ConversionsThroughTheSystemConverter) {
    const std::tuple<unsigned, std::string, std::string> cases[] = {
        {936, "a\xC3\xA9\xE4\xB8\xAD", "a\xA8\xA6\xD6\xD0"},
        {1252, "a\xC3\xA9\xE2\x82\xAC", "a\xE9\x80"},
        {1252, "\xE4\xB8\xAD<b>", "?<b>"},  // what the code page lacks becomes "?"
        {1252, "\xF0\x9F\x98\x80", kBeyondBmp},
        {1251, "\xD0\x96\xC3\xA9", "\xC6" + kBestFitE},
        {932, "\xE6\x97\xA5\xE6\x9C\xAC", "\x93\xFA\x96\x7B"},
        {437, "\xC3\xA9", "\x82"},
        {65001, "a\xC3\xA9\xE4\xB8\xAD", "a\xC3\xA9\xE4\xB8\xAD"},
        // UTF-8 out: ill-formed sequences become U+FFFD, which may lengthen the text.
        {65001, "\xC0\x80", "\xEF\xBF\xBD\xEF\xBF\xBD"},
        {65001, "x\x80y", "x\xEF\xBF\xBDy"},
        {65001, "\xEF\xBF\xBD", "\xEF\xBF\xBD"},
        {59999, "\xC3\xA9", ""},  // no such code page
    };
    for (const auto& [codePage, utf8, expected] : cases) {
        EXPECT_EQ(platform::utf8ToCodePage(utf8, codePage), expected) << codePage << " " << utf8;
    }
}

// The test that lets well-formed UTF-8 skip the conversion to UTF-8 agrees with the
// conversion: the text is well-formed exactly when converting it changes nothing.
TEST(CodePageTest, WellFormedUtf8IsKept) {
    const std::pair<std::string, bool> cases[] = {
        {"", true},
        {"plain ASCII, longer than sixteen bytes", true},
        {std::string("nul\0inside", 11), true},
        {"a\xC3\xA9\xE4\xB8\xAD\xF0\x9F\x98\x80", true},
        {"\xEF\xBF\xBD", true},  // U+FFFD itself
        {"0123456789abcdef\xC3\xA9 after a block", true},
        {"\xC0\x80", false},                      // overlong
        {"\xED\xA0\x80", false},                  // surrogate
        {"\xF8\x88\x80\x80\x80", false},          // five bytes
        {"0123456789abcdef0123\xE4\xB8", false},  // cut short at the end
        {"x\x80y", false},
    };
    for (const auto& [text, wellFormed] : cases) {
        EXPECT_EQ(isWellFormedUtf8(text), wellFormed) << text;
        EXPECT_EQ(platform::utf8ToCodePage(text, platform::kUtf8CodePage) == text,
                  wellFormed || text.empty())
            << text;
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
