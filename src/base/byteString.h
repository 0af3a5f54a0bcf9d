// SPDX-License-Identifier: MIT
// Byte-string routines shared by every component. They work on bytes: no code
// page, no multi-byte awareness, ASCII rules only where stated.
#pragma once

#include <string>
#include <string_view>

namespace kestrune {

// Replaces every occurrence of `pattern` in `target` by `replacement`, scanning left
// to right; text that was just inserted is never searched again, so a replacement
// that contains the pattern ends after one pass. An empty pattern changes nothing.
// Linear in the size of `target`.
void replaceAll(std::string& target, std::string_view pattern, std::string_view replacement);

// Removes every CR, then every LF, then every TAB (wherever they stand).
void removeControlChars(std::string& target);

// Removes every CR, LF, TAB and space: the cleanup applied to element text.
void removeControlCharsAndSpaces(std::string& target);

// In place on a NUL-terminated array; a null pointer is left alone.
// trimLeft drops every leading `ch` (the rest moves to the start of the array),
// trimRight every trailing `ch`; toLowerAscii maps A-Z onto a-z and leaves every
// other byte, those from 0x80 up included, as it is.
void trimLeft(char* text, char ch);
void trimRight(char* text, char ch);
void toLowerAscii(char* text);

// The same trims on views: the returned view is a sub-range of `text`.
inline std::string_view trimLeftView(std::string_view text, char ch) {
    std::size_t skip = 0;
    while (skip < text.size() && text[skip] == ch) ++skip;
    return text.substr(skip);
}
inline std::string_view trimRightView(std::string_view text, char ch) {
    std::size_t len = text.size();
    while (len > 0 && text[len - 1] == ch) --len;
    return text.substr(0, len);
}

}  // namespace kestrune
