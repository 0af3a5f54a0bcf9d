// SPDX-License-Identifier: MIT
// Byte classes and ASCII case folding from one 256-entry table.
// Nothing here depends on the locale, and bytes from 0x80 up are never letters.
#pragma once

#include <array>
#include <cstdint>
#include <string_view>

namespace kestrune {

namespace ascii {

enum : std::uint8_t {
    kSpaceClass = 1,       // space, TAB, CR, LF: the white space of HTML text
    kAlnumClass = 2,       // a-z, A-Z, 0-9
    kJsonEscapeClass = 4,  // bytes below 0x20, '"' and '\\': what JSON text must escape
    kCtrlClass = 8,        // CR, LF, TAB: the bytes the cleanups remove
};

constexpr std::array<std::uint8_t, 256> makeClassTable() {
    std::array<std::uint8_t, 256> t{};
    t[' '] = kSpaceClass;
    t['\t'] = t['\r'] = t['\n'] = kSpaceClass | kCtrlClass;
    for (int c = '0'; c <= '9'; ++c) t[c] = kAlnumClass;
    for (int c = 'a'; c <= 'z'; ++c) t[c] = kAlnumClass;
    for (int c = 'A'; c <= 'Z'; ++c) t[c] = kAlnumClass;
    for (int c = 0; c < 0x20; ++c) t[c] |= kJsonEscapeClass;
    t['"'] = t['\\'] = kJsonEscapeClass;
    return t;
}

constexpr std::array<unsigned char, 256> makeLowerTable() {
    std::array<unsigned char, 256> t{};
    for (int c = 0; c < 256; ++c) t[c] = static_cast<unsigned char>(c);
    for (int c = 'A'; c <= 'Z'; ++c) t[c] = static_cast<unsigned char>(c + 0x20);
    return t;
}

inline constexpr std::array<std::uint8_t, 256> kClass = makeClassTable();
inline constexpr std::array<unsigned char, 256> kLower = makeLowerTable();

}  // namespace ascii

// Space, TAB, CR or LF.
constexpr bool isHtmlSpace(char c) {
    return (ascii::kClass[static_cast<unsigned char>(c)] & ascii::kSpaceClass) != 0;
}

// CR, LF or TAB.
constexpr bool isControlChar(char c) {
    return (ascii::kClass[static_cast<unsigned char>(c)] & ascii::kCtrlClass) != 0;
}

// What the cleanups remove: CR, LF and TAB, and every space as well when `withSpace`
// (the cleanup of an element's own text).
constexpr bool isCleanupByte(char c, bool withSpace) {
    return isControlChar(c) || (withSpace && c == ' ');
}

// A byte JSON text must escape: below 0x20 (NUL included), '"' or '\\'. Bytes from 0x80
// up are copied unchanged.
constexpr bool isJsonEscapeByte(char c) {
    return (ascii::kClass[static_cast<unsigned char>(c)] & ascii::kJsonEscapeClass) != 0;
}

// ASCII letter or digit.
constexpr bool isAsciiAlnum(char c) {
    return (ascii::kClass[static_cast<unsigned char>(c)] & ascii::kAlnumClass) != 0;
}

// A-Z become a-z; every other byte is returned unchanged.
constexpr char toLowerByte(char c) {
    return static_cast<char>(ascii::kLower[static_cast<unsigned char>(c)]);
}

// Equal length and equal bytes once A-Z are folded onto a-z. Bytes from 0x80 up
// must match exactly; no locale is consulted.
constexpr bool equalsIgnoreCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    // Names are mostly written in one case: equal bytes need no folding.
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (a[i] != b[i] && toLowerByte(a[i]) != toLowerByte(b[i])) return false;
    }
    return true;
}

}  // namespace kestrune
