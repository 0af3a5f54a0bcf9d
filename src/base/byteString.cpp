// SPDX-License-Identifier: MIT
// Byte-string routines: the cleanups of CR, LF, TAB and spaces, and name lists.
#include "base/byteString.h"

#include <cstdint>
#include <cstring>

#include "base/asciiTable.h"
#include "base/byteScan.h"

namespace kestrune {

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

std::vector<std::string_view> splitNameList(std::string_view list) {
    std::vector<std::string_view> names;
    names.reserve(std::ranges::count_if(list, [](char c) { return c == ',' || c == ';'; }) + 1);
    std::size_t pos = 0;
    while (pos < list.size()) {
        std::size_t end = list.find_first_of(",;", pos);
        if (end == std::string_view::npos) end = list.size();
        const std::string_view name =
            trimRightView(trimLeftView(list.substr(pos, end - pos), ' '), ' ');
        if (!name.empty()) names.push_back(name);
        pos = end + 1;
    }
    return names;
}

}  // namespace kestrune
