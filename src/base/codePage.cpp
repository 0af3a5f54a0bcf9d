// SPDX-License-Identifier: MIT
// The choice of the local code page, the same on every system; the conversion
// itself is the system converter's (platformPosix.cpp, platformWindows.cpp).
#include <cstdlib>
#include <string>

#include "base/platform.h"

namespace kestrune::platform {

namespace {

// A code page number: 1 to 65535 in decimal digits, nothing else; 0 when not.
unsigned parseCodePageNumber(std::string_view text) {
    if (text.empty() || text.size() > 5) return 0;
    unsigned number = 0;
    for (char c : text) {
        if (c < '0' || c > '9') return 0;
        number = number * 10 + static_cast<unsigned>(c - '0');
    }
    return number <= 0xFFFF ? number : 0;
}

}  // namespace

bool isUsableCodePage(unsigned number) {
    // A code page that gives other bytes for ASCII (EBCDIC, UTF-16) cannot be used.
    std::string ascii;
    for (int c = 1; c < 0x80; ++c) ascii.push_back(static_cast<char>(c));
    return number != 0 && utf8ToCodePage(ascii, number) == ascii;
}

CodePageChoice localCodePage() {
    CodePageChoice choice;
    const char* setting = std::getenv(kCodePageVariable);
    if (setting == nullptr) {
        choice.number = systemCodePage();
        choice.usable = true;
        return choice;
    }
    choice.setting = setting;
    choice.number = parseCodePageNumber(choice.setting);
    choice.usable = isUsableCodePage(choice.number);
    return choice;
}

}  // namespace kestrune::platform
