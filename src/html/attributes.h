// SPDX-License-Identifier: MIT
// Attribute text of a start tag -> name/value pairs and valueless words. Used inside
// src/html and src/query only.
//
// The syntax is a simple one: pieces separated by spaces, double quotes protecting
// spaces, one "=" between name and value. CR, LF and TAB are removed first (not
// turned into spaces). The byte right after a separating space is skipped by the
// scan, so it never separates and never opens quotes. Single quotes protect nothing.
#pragma once

#include <algorithm>
#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "base/asciiTable.h"
#include "base/byteString.h"
#include "base/swar.h"
#include "html/HtmlElement.h"

namespace kestrune {

namespace attributes_detail {

// The bytes the scan of attribute text stops at.
enum : unsigned char { kSeparator = 1, kQuote = 2 };
constexpr std::array<unsigned char, 256> makeScanStops() {
    std::array<unsigned char, 256> t{};
    t[' '] = kSeparator;
    t['"'] = kQuote;
    return t;
}
inline constexpr std::array<unsigned char, 256> kScanStop = makeScanStops();

inline bool hasControlChar(std::string_view text) {
    std::size_t i = 0;
    for (; text.size() - i >= 8; i += 8) {
        std::uint64_t w = swar::load(text.data() + i);
        if ((swar::hasByte(w, '\r') | swar::hasByte(w, '\n') | swar::hasByte(w, '\t')) != 0) break;
    }
    for (; i < text.size(); ++i) {
        if (isControlChar(text[i])) return true;
    }
    return false;
}

// One piece: trimmed; "name=rawValue" or a word. The value is handed over as it
// stands after the "="; attributeValue() gives its final form, so that callers
// looking for one name only trim the value they keep.
template <typename OnPair, typename OnWord>
void splitPiece(std::string_view piece, OnPair& onPair, OnWord& onWord) {
    piece = trimRightView(trimLeftView(piece, ' '), ' ');
    if (piece.empty()) return;
    std::size_t eq = piece.find('=');
    if (eq == std::string_view::npos) {
        onWord(piece);
        return;
    }
    std::string_view name = trimRightView(piece.substr(0, eq), ' ');
    if (!name.empty()) onPair(name, piece.substr(eq + 1));
}

}  // namespace attributes_detail

// The value of a name=value piece: leading spaces, then leading double quotes,
// leading single quotes, trailing double quotes and trailing single quotes removed.
// Quotes inside stay.
inline std::string_view attributeValue(std::string_view rawValue) {
    std::string_view value = trimLeftView(rawValue, ' ');
    value = trimLeftView(value, '"');
    value = trimLeftView(value, '\'');
    value = trimRightView(value, '"');
    return trimRightView(value, '\'');
}

// Calls onPair(name, rawValue) for every piece with "=" and a non-empty name and
// onWord(piece) for every piece without "=", in source order (attributeValue(rawValue)
// is the value). Repeated names are
// all reported; the caller keeps the first. The views point into `text`, or into
// `scratch` when `text` holds CR, LF or TAB.
template <typename OnPair, typename OnWord>
void forEachAttribute(std::string_view text, std::string& scratch, OnPair&& onPair,
                      OnWord&& onWord) {
    if (text.empty()) return;
    std::string_view s = text;
    if (attributes_detail::hasControlChar(text)) {
        scratch.assign(text);
        removeControlChars(scratch);
        s = scratch;
    }
    s = trimRightView(trimLeftView(s, ' '), ' ');
    std::size_t start = 0;
    bool inQuotes = false;
    std::size_t i = 0;
    const std::size_t n = s.size();
    for (; i < n; ++i) {
        const unsigned char stop = attributes_detail::kScanStop[static_cast<unsigned char>(s[i])];
        if (stop == 0) continue;
        if (stop == attributes_detail::kQuote) {
            inQuotes = !inQuotes;
        } else if (!inQuotes) {
            attributes_detail::splitPiece(s.substr(start, i - start), onPair, onWord);
            start = i + 1;
            ++i;  // the byte after a separating space is not examined
        }
    }
    attributes_detail::splitPiece(s.substr(start), onPair, onWord);
}

// Fills `attributes` (an existing name keeps its first value) and appends the
// valueless words to `valueless`. Returns the number of entries in `attributes`.
int parseAttributes(std::string_view text, AttributeMap& attributes,
                    std::vector<std::string>& valueless);

// One piece of attribute text, as parseAttributes hands it on.
void parseAttribute(std::string_view piece, AttributeMap& attributes,
                    std::vector<std::string>& valueless);

// What HtmlElement::getAttribute gives for an element with this attribute text.
int findAttribute(std::string_view attributeText, std::string_view name, std::string& value);

// Appends what HtmlElement::attributesString gives for an element with this
// attribute text.
void appendAttributesString(std::string& out, std::string_view attributeText);

}  // namespace kestrune
