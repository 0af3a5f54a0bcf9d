// SPDX-License-Identifier: MIT
// The choice of the local code page, the same on every system; the conversion
// itself is the system converter's (platformPosix.cpp, platformWindows.cpp).
#include <charconv>
#include <cstdlib>
#include <string>

#include "base/platform.h"

namespace kestrune::platform {

namespace {

// A code page number: 1 to 65535 in decimal digits, nothing else; 0 when not.
unsigned parseCodePageNumber(std::string_view text) {
    unsigned number = 0;
    const char* end = text.data() + text.size();
    const auto [stop, error] = std::from_chars(text.data(), end, number);
    const bool digitsOnly = error == std::errc() && stop == end && text.size() <= 5;
    return digitsOnly && number <= 0xFFFF ? number : 0;
}

}  // namespace

bool isUsableCodePage(unsigned number) {
    // A code page that gives other bytes for ASCII (EBCDIC, UTF-16) cannot be used.
    std::string ascii;
    for (int c = 1; c < 0x80; ++c) ascii.push_back(static_cast<char>(c));
    return number != 0 && utf8ToCodePage(ascii, number) == ascii;
}

CodePageChoice localCodePage() {
    const char* setting = std::getenv(kCodePageVariable);
    // Set but empty is not set, as with most variables ("KESTRUNE_CODEPAGE= kestrune ...").
    if (setting == nullptr || *setting == '\0')
        return {.number = systemCodePage(), .usable = true, .setting = {}};
    const unsigned number = parseCodePageNumber(setting);
    return {.number = number, .usable = isUsableCodePage(number), .setting = setting};
}

}  // namespace kestrune::platform
