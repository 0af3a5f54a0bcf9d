// SPDX-License-Identifier: MIT
// Byte-string routines shared by every component. They work on bytes: no code
// page, no multi-byte awareness, ASCII rules only where stated.
#pragma once

#include <algorithm>
#include <string>
#include <string_view>

namespace kestrune {

// Removes every CR, then every LF, then every TAB (wherever they stand).
void removeControlChars(std::string& target);

// `text` as removeControlChars leaves it: `text` itself when it holds no CR, LF or TAB,
// else a cleaned copy held in `scratch` (valid while `scratch` is unchanged).
std::string_view withoutControlChars(std::string_view text, std::string& scratch);

// Trims on views: trimLeftView drops every leading `ch`, trimRightView every
// trailing one; the returned view is a sub-range of `text`.
inline std::string_view trimLeftView(std::string_view text, char ch) {
    return text.substr(std::min(text.find_first_not_of(ch), text.size()));
}
inline std::string_view trimRightView(std::string_view text, char ch) {
    return text.substr(0, text.find_last_not_of(ch) + 1);
}

}  // namespace kestrune
