// SPDX-License-Identifier: MIT
// Internal to the library: attribute text of a start tag -> name/value pairs and valueless words.
//
// The syntax is a simple one: pieces separated by spaces, double quotes protecting
// spaces, one "=" between name and value. CR, LF and TAB are removed first (not
// turned into spaces). The byte right after a separating space is skipped by the
// scan, so it never separates and never opens quotes. Single quotes protect nothing.
#pragma once

#include <kestrune/document.h>

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "base/asciiTable.h"
#include "base/byteScan.h"
#include "base/byteString.h"
#include "base/compiler.h"

namespace kestrune {

namespace attributes_detail {

// The piece [begin, end) of `s` whose first "=" is at `eq` (eq >= end: none),
// trimmed: "name=rawValue" or a word. The value is handed over as it stands after
// the "="; attributeValue() gives its final form, so that callers looking for one
// name only trim the value they keep.
template <typename OnPair, typename OnWord>
KESTRUNE_ALWAYS_INLINE void splitPiece(std::string_view s, std::size_t begin, std::size_t end,
                                       std::size_t eq, OnPair& onPair, OnWord& onWord) {
    while (begin < end && s[begin] == ' ') ++begin;
    while (end > begin && s[end - 1] == ' ') --end;
    if (begin == end) return;
    const char* p = s.data();
    if (eq >= end) {
        onWord(std::string_view(p + begin, end - begin));
        return;
    }
    // A space is never "=": begin <= eq < end.
    std::size_t nameEnd = eq;
    while (nameEnd > begin && p[nameEnd - 1] == ' ') --nameEnd;
    if (nameEnd > begin) {
        onPair(std::string_view(p + begin, nameEnd - begin),
               std::string_view(p + eq + 1, end - eq - 1));
    }
}

}  // namespace attributes_detail

// Of two different names equal without case, whether `name` answers before `other`:
// the one first in byte order does.
inline bool nameWins(std::string_view name, std::string_view other) { return name < other; }

// The value of a name=value piece: leading spaces, then leading double quotes,
// leading single quotes, trailing double quotes and trailing single quotes removed.
// Quotes inside stay.
inline std::string_view attributeValue(std::string_view rawValue) {
    const char* begin = rawValue.data();
    const char* end = begin + rawValue.size();
    for (char leading : {' ', '"', '\''}) {
        while (begin < end && *begin == leading) ++begin;
    }
    for (char trailing : {'"', '\''}) {
        while (end > begin && end[-1] == trailing) --end;
    }
    return std::string_view(begin, static_cast<std::size_t>(end - begin));
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
    const std::string_view s =
        trimRightView(trimLeftView(withoutControlChars(text, scratch), ' '), ' ');
    const char* p = s.data();
    const std::size_t n = s.size();
    const std::size_t none = n;
    std::size_t start = 0;  // of the piece being read
    // The usual form first, piece by piece: a name, "=", a value in double quotes, one
    // space before the next piece. Each such piece is one the scan below would cut
    // the same way; the scan takes over where a piece has another form.
    bool afterSeparator = false;
    while (true) {
        std::size_t i = start;
        while (i < n && p[i] != ' ' && p[i] != '"' && p[i] != '=') ++i;
        if (i == start || n - i < 2 || p[i] != '=' || p[i + 1] != '"') break;
        const void* close = std::memchr(p + i + 2, '"', n - i - 2);
        if (close == nullptr) break;
        const std::size_t after = static_cast<std::size_t>(static_cast<const char*>(close) - p) + 1;
        if (after != n && p[after] != ' ') break;
        onPair(std::string_view(p + start, i - start), std::string_view(p + i + 1, after - i - 1));
        if (after == n) return;
        start = after + 1;
        afterSeparator = true;
    }
    // One pass that also notes each piece's first "=", so that a piece is never
    // searched again. The byte after a separating space is neither a separator nor a
    // quote, but it may be the piece's "=".
    std::size_t eq = afterSeparator && p[start] == '=' ? start : none;
    const std::size_t from = afterSeparator ? start + 1 : start;
    bool inQuotes = false;
    forEachByteOf(p + from, n - from, ' ', '"', '=', [&](std::size_t at) -> std::size_t {
        const std::size_t i = from + at;
        const char c = p[i];
        if (c == '=') {
            if (eq == none) eq = i;
        } else if (c == '"') {
            inQuotes = !inQuotes;
        } else if (!inQuotes) {
            attributes_detail::splitPiece(s, start, i, eq, onPair, onWord);
            start = i + 1;
            eq = none;
            if (i + 1 < n && p[i + 1] == '=') eq = i + 1;
            return at + 2;
        }
        return at + 1;
    });
    attributes_detail::splitPiece(s, start, n, eq, onPair, onWord);
}

// The same pieces by the rule as it reads, byte by byte, for tests (the views are valid
// during the calls).
template <typename OnPair, typename OnWord>
void forEachAttributeReference(std::string_view text, OnPair&& onPair, OnWord&& onWord) {
    std::string cleaned;
    for (char c : text) {
        if (!isControlChar(c)) cleaned += c;
    }
    const std::string_view s = trimRightView(trimLeftView(cleaned, ' '), ' ');
    const std::size_t none = s.size();
    std::size_t start = 0;
    std::size_t eq = none;
    bool inQuotes = false;
    for (std::size_t i = 0; i < s.size(); ++i) {
        if (s[i] == '=') {
            if (eq == none) eq = i;
        } else if (s[i] == '"') {
            inQuotes = !inQuotes;
        } else if (s[i] == ' ' && !inQuotes) {
            attributes_detail::splitPiece(s, start, i, eq, onPair, onWord);
            start = i + 1;
            eq = none;
            if (i + 1 < s.size() && s[i + 1] == '=') eq = i + 1;
            ++i;  // the byte after a separating space
        }
    }
    attributes_detail::splitPiece(s, start, s.size(), eq, onPair, onWord);
}

// Fills `attributes` (an existing name keeps its first value) and appends the
// valueless words to `valueless`. Returns the number of entries in `attributes`.
int parseAttributes(std::string_view text, AttributeMap& attributes,
                    std::vector<std::string>& valueless);

// What HtmlElement::getAttribute gives for an element with this attribute text.
int findAttribute(std::string_view attributeText, std::string_view name, std::string& value);
// findAttribute's answer when it finds the name; otherwise 2 and `value` empty when a
// valueless word equals `name` ignoring ASCII case, else 0 and `value` untouched.
// `scratch` holds the text without CR, LF and TAB when it has them (a buffer kept by
// the caller saves an allocation per call).
int findAttributeOrWord(std::string_view attributeText, std::string_view name, std::string& value,
                        std::string& scratch);
// Whether findAttributeOrWord finds the name (its value is not decoded).
bool hasAttributeOrWord(std::string_view attributeText, std::string_view name,
                        std::string& scratch);

// The values of many attribute names, found in one scan of an attribute text: for
// each name the same value findAttribute gives. Names equal without case share
// their look-up.
class AttributeFinder {
  public:
    // Up to `fewGroups` groups of names are looked up one by one, comparing lengths
    // first; more by binary search in their order. Tests pick either way.
    static constexpr std::size_t kFewGroups = 8;
    explicit AttributeFinder(const std::vector<std::string>& names,
                             std::size_t fewGroups = kFewGroups);

    // Calls found(k, value) for every name names[k] the text holds (in no fixed
    // order); the value is valid until the next call of find and as long as the
    // text.
    template <typename Found>
    void find(std::string_view attributeText, Found&& found) {
        scan(attributeText);
        for (const Hit& hit : hits_) {
            for (std::uint32_t i = groupStart_[hit.group]; i < groupStart_[hit.group + 1]; ++i) {
                found(static_cast<std::size_t>(byGroup_[i]), hit.value);
            }
        }
    }

  private:
    struct Hit {
        std::uint32_t group;
        std::string_view value;  // into the text, or into values_ when decoded
    };
    struct Candidate {
        std::uint32_t group;
        std::uint32_t order;  // place in the text
        std::string_view name;
        std::string_view rawValue;
    };
    // Fills hits_ with one decoded value per group found in the text.
    void scan(std::string_view attributeText);
    // The group of names equal to `name` without case, or -1.
    long groupOf(std::string_view name) const;
    std::size_t fewGroups_;

    std::vector<std::uint32_t> byGroup_;     // name numbers, grouped, groups in order without case
    std::vector<std::uint32_t> groupStart_;  // group g is byGroup_[groupStart_[g], [g + 1])
    std::vector<std::string> groupNames_;    // the first name of each group
    std::vector<Candidate> candidates_;
    std::vector<Hit> hits_;
    std::vector<std::string> values_;  // decoded values, kept for their memory
    std::string scratch_;
};

// Appends what HtmlElement::attributesString gives for an element with this
// attribute text.
void appendAttributesString(std::string& out, std::string_view attributeText);

}  // namespace kestrune
