// SPDX-License-Identifier: MIT
// The local code page: its choice by KESTRUNE_CODEPAGE and the system converter's
// results for several code pages, the same on Linux (iconv) and Windows.
#include <gtest/gtest.h>

#include <cstdlib>
#include <optional>
#include <string>

#include "base/platform.h"

namespace kestrune {
namespace {

// Sets (or with nullopt removes) the variable for one test, restoring it after.
class ScopedVariable {
  public:
    ScopedVariable(const char* name, std::optional<std::string> value) : name_(name) {
        if (const char* old = std::getenv(name)) old_ = old;
        set(value);
    }
    ~ScopedVariable() { set(old_); }

  private:
    void set(const std::optional<std::string>& value) {
#if defined(_WIN32)
        // An empty value removes a variable on Windows; "=" marks an empty one here.
        _putenv((name_ + "=" + value.value_or("")).c_str());
#else
        if (value) {
            setenv(name_.c_str(), value->c_str(), 1);
        } else {
            unsetenv(name_.c_str());
        }
#endif
    }
    std::string name_;
    std::optional<std::string> old_;
};

TEST(CodePageTest, ChoiceFromTheEnvironment) {
    struct Case {
        std::optional<std::string> setting;
        bool usable;
        unsigned number;  // when usable
    };
    const Case cases[] = {
        {std::nullopt, true, platform::systemCodePage()},
        {"936", true, 936},
        {"1252", true, 1252},
        {"932", true, 932},
        {"1251", true, 1251},
        {"65001", true, 65001},
        {"437", true, 437},
        {"37", false, 0},     // EBCDIC: ASCII letters are other bytes there
        {"1200", false, 0},   // UTF-16
        {"99999", false, 0},  // no code page number
        {"59999", false, 0},  // a number no converter knows
        {"cp1252", false, 0},
        {" 1252", false, 0},
        {"-1252", false, 0},
        {"1252x", false, 0},
    };
    for (const Case& c : cases) {
        ScopedVariable variable(platform::kCodePageVariable, c.setting);
        platform::CodePageChoice choice = platform::localCodePage();
        const std::string label = c.setting.value_or("(unset)");
        EXPECT_EQ(choice.usable, c.usable) << label;
        if (c.usable) {
            EXPECT_EQ(choice.number, c.number) << label;
        } else {
            EXPECT_EQ(choice.setting, label);
        }
    }
}

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
    struct Case {
        unsigned codePage;
        std::string utf8;
        std::string expected;
    };
    const Case cases[] = {
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
    for (const Case& c : cases) {
        EXPECT_EQ(platform::utf8ToCodePage(c.utf8, c.codePage), c.expected)
            << c.codePage << " " << c.utf8;
    }
}

}  // namespace
}  // namespace kestrune
