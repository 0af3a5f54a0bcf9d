// Byte-string routines: replace-all, trims, ASCII lower-casing and the cleanups.
#include "base/byteString.h"

#include <cstdint>
#include <cstring>

#include "base/asciiTable.h"
#include "base/swar.h"

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

// Removes every byte for which drop() holds. Words that hold none of them (the
// common case) are skipped eight bytes at a time; nothing moves until the first
// byte to drop.
template <typename Drop, typename WordHasDrop>
void removeBytes(std::string& target, Drop drop, WordHasDrop wordHasDrop) {
    char* data = target.data();
    const std::size_t n = target.size();
    std::size_t r = 0;
    while (n - r >= 8 && !wordHasDrop(swar::load(data + r))) r += 8;
    while (r < n && !drop(data[r])) ++r;
    if (r == n) return;
    std::size_t w = r;
    while (r < n) {
        if (n - r >= 8 && !wordHasDrop(swar::load(data + r))) {
            std::memmove(data + w, data + r, 8);
            r += 8;
            w += 8;
            continue;
        }
        if (!drop(data[r])) data[w++] = data[r];
        ++r;
    }
    target.resize(w);
}

bool wordHasControl(std::uint64_t w) {
    return (swar::hasByte(w, '\r') | swar::hasByte(w, '\n') | swar::hasByte(w, '\t')) != 0;
}

}  // namespace

void removeControlChars(std::string& target) {
    // Removing CR, then LF, then TAB one after the other leaves the same bytes as
    // removing all three in one pass.
    removeBytes(
        target, [](char c) { return isControlChar(c); }, wordHasControl);
}

void removeControlCharsAndSpaces(std::string& target) {
    removeBytes(
        target, [](char c) { return isControlChar(c) || c == ' '; },
        [](std::uint64_t w) { return wordHasControl(w) || swar::hasByte(w, ' ') != 0; });
}

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
