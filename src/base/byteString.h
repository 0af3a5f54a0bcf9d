// SPDX-License-Identifier: MIT
// Byte-string routines shared by every component. They work on bytes: no code
// page, no multi-byte awareness, ASCII rules only where stated.
#pragma once

#include <algorithm>
#include <string>
#include <string_view>
#include <vector>

namespace kestrune {

// Removes every CR, then every LF, then every TAB (wherever they stand).
void removeControlChars(std::string& target);

// Removes every CR, LF, TAB and space: the cleanup applied to element text.
void removeControlCharsAndSpaces(std::string& target);

// Trims on views: trimLeftView drops every leading `ch`, trimRightView every
// trailing one; the returned view is a sub-range of `text`.
inline std::string_view trimLeftView(std::string_view text, char ch) {
    return text.substr(std::min(text.find_first_not_of(ch), text.size()));
}
inline std::string_view trimRightView(std::string_view text, char ch) {
    return text.substr(0, text.find_last_not_of(ch) + 1);
}

// The names of a list such as "href, title;id": split at every "," and ";", the
// spaces around each name trimmed, empty names dropped; case and duplicates kept.
// The views are sub-ranges of `list`.
std::vector<std::string_view> splitNameList(std::string_view list);

}  // namespace kestrune
