// SPDX-License-Identifier: MIT
// Byte-string routines: the cleanup of CR, LF and TAB, reading integers, and name lists.
#include "base/byteString.h"

#include <cstdint>
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

// The C library's isspace in the "C" locale.
bool isCSpace(char c) { return isHtmlSpace(c) || c == '\v' || c == '\f'; }

// The value of `c` as a digit (letters in either case from 10 up), or 36 and more.
unsigned digitValue(char c) {
    if (c >= '0' && c <= '9') return static_cast<unsigned>(c - '0');
    const char lower = toLowerByte(c);
    if (lower >= 'a' && lower <= 'z') return static_cast<unsigned>(lower - 'a' + 10);
    return 36;
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

std::int64_t readInteger(std::string_view text, int base) {
    std::size_t i = 0;
    while (i < text.size() && isCSpace(text[i])) ++i;
    const bool negative = i < text.size() && text[i] == '-';
    if (i < text.size() && (negative || text[i] == '+')) ++i;
    // "0x" is skipped only when a hexadecimal digit follows; otherwise the "0" is the
    // number (and the "x" where it ends).
    if (base == 16 && i + 2 < text.size() && text[i] == '0' && toLowerByte(text[i + 1]) == 'x' &&
        digitValue(text[i + 2]) < 16) {
        i += 2;
    }
    // The magnitude saturates at the limit of the sign.
    const auto radix = static_cast<std::uint64_t>(base);
    const std::uint64_t limit = (std::uint64_t{1} << 63) - (negative ? 0 : 1);
    std::uint64_t magnitude = 0;
    for (; i < text.size(); ++i) {
        const std::uint64_t digit = digitValue(text[i]);
        if (digit >= radix) break;
        if (magnitude > (limit - digit) / radix) {
            magnitude = limit;
            break;
        }
        magnitude = magnitude * radix + digit;
    }
    // Negated in unsigned arithmetic: 2^63 becomes INT64_MIN.
    return static_cast<std::int64_t>(negative ? 0 - magnitude : magnitude);
}

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

std::string squeezeSpaces(std::string_view text) {
    std::string out;
    bool gap = false;
    for (const char c : text) {
        if (isHtmlSpace(c)) {
            gap = !out.empty();
            continue;
        }
        if (gap) out += ' ';
        gap = false;
        out += c;
    }
    return out;
}

}  // namespace kestrune
