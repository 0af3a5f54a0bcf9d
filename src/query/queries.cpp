// SPDX-License-Identifier: MIT
// Element queries: find by tag, attribute lookup, text gathering. All read-only and
// iterative.
#include <algorithm>
#include <array>

#include "base/asciiTable.h"
#include "base/byteScan.h"
#include "html/HtmlElement.h"
#include "html/attributes.h"
#include "html/charRefs.h"
#include "html/walk.h"

namespace kestrune {

std::size_t HtmlElement::childCount() const {
    std::size_t n = 0;
    for (const HtmlElement* c = firstChild(); c != nullptr; c = c->nextSibling()) ++n;
    return n;
}

const HtmlElement* HtmlElement::lastChild() const {
    const HtmlElement* c = firstChild();
    while (c != nullptr && c->nextSibling() != nullptr) c = c->nextSibling();
    return c;
}

int HtmlElement::findByTag(std::string_view name, ElementList& list, int recursive) const {
    if (recursive == 0) {
        for (const HtmlElement& c : children()) {
            if (equalsIgnoreCase(c.tagName(), name)) list.push_back(&c);
        }
        return static_cast<int>(list.size());
    }
    walkBelow(
        *this,
        [&](const HtmlElement& e) {
            if (equalsIgnoreCase(e.tagName(), name)) list.push_back(&e);
            return true;
        },
        [](const HtmlElement&) {});
    return static_cast<int>(list.size());
}

namespace {

// Among names equal to the wanted one without case, the one first in byte order
// wins; an identical later name keeps the first value.
struct AttributeMatch {
    std::string_view wanted;
    std::string_view best;
    std::string_view rawValue;
    bool found = false;
    void offer(std::string_view n, std::string_view v) {
        if (n.size() == wanted.size() && equalsIgnoreCase(n, wanted) && (!found || n < best)) {
            best = n;
            rawValue = v;
            found = true;
        }
    }
};

// One piece [begin, end) of trimmed attribute text whose first "=" is at eq.
void offerPiece(AttributeMatch& match, std::string_view s, std::size_t begin, std::size_t end,
                std::size_t eq) {
    if (eq >= end) return;  // a valueless word
    while (begin < eq && s[begin] == ' ') ++begin;
    std::string_view name = trimRightView(s.substr(begin, eq - begin), ' ');
    if (name.empty()) return;
    std::size_t valueEnd = end;
    while (valueEnd > eq + 1 && s[valueEnd - 1] == ' ') --valueEnd;
    match.offer(name, s.substr(eq + 1, valueEnd - eq - 1));
}

}  // namespace

int findAttribute(std::string_view text, std::string_view name, std::string& value) {
    AttributeMatch match{name, {}, {}, false};
    std::string scratch;  // holds the text without CR, LF and TAB while the match is used
    if (attributes_detail::hasControlChar(text)) {
        forEachAttribute(
            text, scratch, [&](std::string_view n, std::string_view v) { match.offer(n, v); },
            [](std::string_view) {});
    } else {
        // The same pieces as forEachAttribute cuts, found in one pass that also notes
        // each piece's first "=", so that only names are compared.
        std::string_view s = trimRightView(trimLeftView(text, ' '), ' ');
        const std::size_t n = s.size();
        const std::size_t none = n;
        std::size_t start = 0;
        std::size_t eq = none;
        bool inQuotes = false;
        forEachByteOf(s.data(), n, ' ', '"', '=', [&](std::size_t i) -> std::size_t {
            char c = s[i];
            if (c == '=') {
                if (eq == none) eq = i;
            } else if (c == '"') {
                inQuotes = !inQuotes;
            } else if (!inQuotes) {
                offerPiece(match, s, start, i, eq);
                start = i + 1;
                eq = none;
                // The byte after a separating space is neither a separator nor a
                // quote, but it may be the piece's "=".
                if (i + 1 < n && s[i + 1] == '=') eq = i + 1;
                return i + 2;
            }
            return i + 1;
        });
        offerPiece(match, s, start, n, eq);
    }
    if (!match.found) return 0;
    value.clear();
    appendDecoded(value, attributeValue(match.rawValue));
    return 1;
}

int HtmlElement::getAttribute(std::string_view name, std::string& value) const {
    return findAttribute(attributeText(), name, value);
}

namespace {

bool isSpecial(const HtmlElement& e) {
    return e.isComment() || e.isScript() || e.isStyle() || e.isDoctype();
}

}  // namespace

int HtmlElement::getText(std::string& text, int recursive, int skipSpecial) const {
    std::string raw(ownText());
    // A left-out child takes its tail with it; below the other children nothing is
    // left out.
    auto skipped = [&](const HtmlElement& e) {
        return skipSpecial != 0 && e.parent() == this && isSpecial(e);
    };
    if (recursive != 0) {
        walkBelow(
            *this,
            [&](const HtmlElement& e) {
                if (skipped(e)) return false;
                raw.append(e.ownText());
                return true;
            },
            [&](const HtmlElement& e) {
                if (!skipped(e)) raw.append(e.tail());
            });
    } else {
        for (const HtmlElement& c : children()) {
            if (!skipped(c)) raw.append(c.tail());
        }
    }
    text.clear();
    appendDecoded(text, raw);
    return 1;
}

}  // namespace kestrune
