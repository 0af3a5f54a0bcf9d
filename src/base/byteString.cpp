// Byte-string routines: replace-all, trims, ASCII lower-casing and the cleanups.
#include "base/byteString.h"

#include <cstring>

#include "base/asciiTable.h"

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

template <typename Drop>
void removeBytes(std::string& target, Drop drop) {
    char* out = target.data();
    const char* in = target.data();
    const char* end = in + target.size();
    for (; in != end; ++in) {
        if (!drop(*in)) *out++ = *in;
    }
    target.resize(static_cast<std::size_t>(out - target.data()));
}

}  // namespace

void removeControlChars(std::string& target) {
    // Removing CR, then LF, then TAB one after the other leaves the same bytes as
    // removing all three in one pass.
    removeBytes(target, [](char c) { return isControlChar(c); });
}

void removeControlCharsAndSpaces(std::string& target) {
    removeBytes(target, [](char c) { return isControlChar(c) || c == ' '; });
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

std::string_view trimLeftView(std::string_view text, char ch) {
    std::size_t skip = 0;
    while (skip < text.size() && text[skip] == ch) ++skip;
    return text.substr(skip);
}

std::string_view trimRightView(std::string_view text, char ch) {
    std::size_t len = text.size();
    while (len > 0 && text[len - 1] == ch) --len;
    return text.substr(0, len);
}

}  // namespace kestrune
