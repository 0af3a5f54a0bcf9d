// SPDX-License-Identifier: MIT
// Byte-string routines shared by every component. They work on bytes: no code
// page, no multi-byte awareness, ASCII rules only where stated.
#pragma once

#include <string>
#include <string_view>

namespace kestrune {

// Removes every CR, then every LF, then every TAB (wherever they stand).
void removeControlChars(std::string& target);

// Removes every CR, LF, TAB and space: the cleanup applied to element text.
void removeControlCharsAndSpaces(std::string& target);

// Trims on views: trimLeftView drops every leading `ch`, trimRightView every
// trailing one; the returned view is a sub-range of `text`.
inline std::string_view trimLeftView(std::string_view text, char ch) {
    std::size_t skip = 0;
    while (skip < text.size() && text[skip] == ch) ++skip;
    return std::string_view(text.data() + skip, text.size() - skip);
}
inline std::string_view trimRightView(std::string_view text, char ch) {
    std::size_t len = text.size();
    while (len > 0 && text[len - 1] == ch) --len;
    return std::string_view(text.data(), len);
}

}  // namespace kestrune
