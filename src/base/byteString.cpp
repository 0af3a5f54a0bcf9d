// SPDX-License-Identifier: MIT
// Byte-string routines: the cleanup of CR, LF and TAB.
#include "base/byteString.h"

#include <cstring>

#include "base/asciiTable.h"
#include "base/byteScan.h"

namespace kestrune {

namespace {

// Removes every CR, LF and TAB of `target` from `first` on, the first of them.
// Each byte is copied and the write position advances only past kept bytes, which
// costs no branch per byte however dense the removed bytes are.
void removeFrom(std::string& target, std::size_t first) {
    char* data = target.data();
    const std::size_t n = target.size();
    std::size_t w = first;
    for (std::size_t r = first; r < n; ++r) {
        const char c = data[r];
        data[w] = c;
        w += isControlChar(c) ? 0 : 1;
    }
    target.resize(w);
}

}  // namespace

void removeControlChars(std::string& target) {
    // Removing CR, then LF, then TAB one after the other leaves the same bytes as
    // removing all three in one pass. Nothing moves before the first of them, found
    // sixteen bytes at a time.
    const std::size_t first = findCleanupByte(target.data(), target.size(), false);
    if (first != target.size()) removeFrom(target, first);
}

std::string_view withoutControlChars(std::string_view text, std::string& scratch) {
    const std::size_t first = findCleanupByte(text.data(), text.size(), false);
    if (first == text.size()) return text;
    scratch.assign(text);
    removeFrom(scratch, first);
    return scratch;
}

}  // namespace kestrune
