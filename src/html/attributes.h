// Attribute text of a start tag -> name/value pairs and valueless words. Used inside
// src/html and src/query only.
//
// The syntax is a simple one: pieces separated by spaces, double quotes protecting
// spaces, one "=" between name and value. CR, LF and TAB are removed first (not
// turned into spaces). The byte right after a separating space is skipped by the
// scan, so it never separates and never opens quotes. Single quotes protect nothing.
#pragma once

#include <algorithm>
#include <string>
#include <string_view>
#include <vector>

#include "base/asciiTable.h"
#include "base/byteString.h"
#include "html/HtmlElement.h"

namespace kestrune {

namespace attributes_detail {

// One piece: trimmed; "name=value" (quotes stripped from the value's ends) or a word.
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
    std::string_view value = piece.substr(eq + 1);
    value = trimLeftView(value, ' ');
    value = trimLeftView(value, '"');
    value = trimLeftView(value, '\'');
    value = trimRightView(value, '"');
    value = trimRightView(value, '\'');
    if (!name.empty()) onPair(name, value);
}

}  // namespace attributes_detail

// Calls onPair(name, value) for every piece with "=" and a non-empty name and
// onWord(piece) for every piece without "=", in source order. Repeated names are
// all reported; the caller keeps the first. The views point into `text`, or into
// `scratch` when `text` holds CR, LF or TAB.
template <typename OnPair, typename OnWord>
void forEachAttribute(std::string_view text, std::string& scratch, OnPair&& onPair,
                      OnWord&& onWord) {
    if (text.empty()) return;
    std::string_view s = text;
    if (std::any_of(text.begin(), text.end(), isControlChar)) {
        scratch.assign(text);
        removeControlChars(scratch);
        s = scratch;
    }
    s = trimRightView(trimLeftView(s, ' '), ' ');
    std::size_t start = 0;
    bool inQuotes = false;
    std::size_t i = 0;
    while (i < s.size()) {
        char c = s[i];
        if (c == ' ' && !inQuotes) {
            attributes_detail::splitPiece(s.substr(start, i - start), onPair, onWord);
            start = i + 1;
            i += 2;  // the byte after a separating space is not examined
            continue;
        }
        if (c == '"') inQuotes = !inQuotes;
        ++i;
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

}  // namespace kestrune
