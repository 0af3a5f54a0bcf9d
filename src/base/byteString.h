// SPDX-License-Identifier: MIT
// Byte-string routines shared by every component. They work on bytes: no code
// page, no multi-byte awareness, ASCII rules only where stated.
#pragma once

#include <algorithm>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace kestrune {

// Removes every CR, then every LF, then every TAB (wherever they stand).
void removeControlChars(std::string& target);

// `text` as removeControlChars leaves it: `text` itself when it holds no CR, LF or TAB,
// else a cleaned copy held in `scratch` (valid while `scratch` is unchanged).
std::string_view withoutControlChars(std::string_view text, std::string& scratch);

// Reads the start of `text` as strtoll does in `base` (2 to 36) in the "C" locale:
// white space (space, TAB, LF, VT, FF, CR), an optional sign, in base 16 an optional
// "0x" or "0X", then digits (letters in either case stand for 10 and up) up to the
// first byte that is not a digit of the base. 0 when there is no digit; a value
// beyond the range saturates at its limit.
std::int64_t readInteger(std::string_view text, int base = 10);

// Each run of white space (space, TAB, CR, LF) made one space, none at either end: a
// text as it reads, for output one line long.
std::string squeezeSpaces(std::string_view text);

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
