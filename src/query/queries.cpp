// Element queries: find by tag, attribute lookup, text gathering. All read-only and
// iterative.
#include <algorithm>

#include "base/asciiTable.h"
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

int HtmlElement::getAttribute(std::string_view name, std::string& value) const {
    std::string_view best;
    std::string_view bestValue;
    bool found = false;
    std::string scratch;
    forEachAttribute(
        attributeText(), scratch,
        [&](std::string_view n, std::string_view v) {
            // Among names equal without case the one first in byte order wins; an
            // identical later name keeps the first value.
            if (equalsIgnoreCase(n, name) && (!found || n < best)) {
                best = n;
                bestValue = v;
                found = true;
            }
        },
        [](std::string_view) {});
    if (!found) return 0;
    value.clear();
    appendDecoded(value, attributeValue(bestValue));
    return 1;
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
