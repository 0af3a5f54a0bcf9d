// SPDX-License-Identifier: MIT
// Byte-string routines: replace-all, trims, ASCII lower-casing and the cleanups.
#include "base/byteString.h"

#include <cstdint>
#include <cstring>

#include "base/asciiTable.h"
#include "base/byteScan.h"

namespace kestrune {

void replaceAll(std::string& target, std::string_view pattern, std::string_view replacement) {
    // An empty pattern would match again and again at the same place.
    if (pattern.empty()) return;
    std::size_t found = target.find(pattern);
    if (found == std::string::npos) return;
    // Non-overlapping matches of the original text, left to right: equivalent to
    // searching again right after each inserted replacement, but built in one pass.
    std::string result;
    result.reserve(target.size());
    std::size_t from = 0;
    while (found != std::string::npos) {
        result.append(target, from, found - from);
        result.append(replacement);
        from = found + pattern.size();
        found = target.find(pattern, from);
    }
    result.append(target, from, std::string::npos);
    target.swap(result);
}

namespace {

// Removes every CR, LF and TAB, and every space when withSpace. Nothing moves
// until the first byte to remove, found sixteen bytes at a time; from there on
// each byte is copied and the write position advances only past kept bytes, which
// costs no branch per byte however dense the removed bytes are (prose has a space
// every few bytes).
void removeBytes(std::string& target, bool withSpace) {
    char* data = target.data();
    const std::size_t n = target.size();
    std::size_t w = findCleanupByte(data, n, withSpace);
    if (w == n) return;
    const unsigned char dropSpace = withSpace ? 1 : 0;
    for (std::size_t r = w; r < n; ++r) {
        const auto c = static_cast<unsigned char>(data[r]);
        data[w] = static_cast<char>(c);
        const unsigned char drop = isControlChar(static_cast<char>(c)) | ((c == ' ') & dropSpace);
        w += 1u - drop;
    }
    target.resize(w);
}

}  // namespace

void removeControlChars(std::string& target) {
    // Removing CR, then LF, then TAB one after the other leaves the same bytes as
    // removing all three in one pass.
    removeBytes(target, false);
}

void removeControlCharsAndSpaces(std::string& target) { removeBytes(target, true); }

void trimLeft(char* text, char ch) {
    if (text == nullptr) return;
    std::size_t skip = 0;
    while (text[skip] != '\0' && text[skip] == ch) ++skip;
    if (skip != 0) std::memmove(text, text + skip, std::strlen(text + skip) + 1);
}

void trimRight(char* text, char ch) {
    if (text == nullptr) return;
    std::size_t len = std::strlen(text);
    while (len > 0 && text[len - 1] == ch) --len;
    text[len] = '\0';
}

void toLowerAscii(char* text) {
    if (text == nullptr) return;
    for (; *text != '\0'; ++text) *text = toLowerByte(*text);
}

}  // namespace kestrune
