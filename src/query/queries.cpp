// SPDX-License-Identifier: MIT
// Element queries: find by tag, attribute lookup, text gathering. All read-only and
// iterative.
#include <kestrune/document.h>

#include <algorithm>

#include "base/asciiTable.h"
#include "html/attributes.h"
#include "html/charRefs.h"
#include "html/walk.h"

namespace kestrune {

int HtmlElement::findByTag(std::string_view name, ElementList& list, int recursive) const {
    walkBelow(
        *this,
        [&](const HtmlElement& e) {
            if (equalsIgnoreCase(e.tagName(), name)) list.push_back(&e);
            // Without recursion only the children are tested.
            return recursive != 0;
        },
        [](const HtmlElement&) {});
    return static_cast<int>(list.size());
}

bool HtmlElement::getAttribute(std::string_view name, std::string& value) const {
    return findAttribute(attributeText(), name, value) != 0;
}

bool HtmlElement::getText(std::string& text, int recursive, int skipSpecial) const {
    std::string raw(ownText());
    // A left-out child takes its tail with it; below the other children nothing is
    // left out.
    auto skipped = [&](const HtmlElement& e) {
        return skipSpecial != 0 && e.parent() == this &&
               (e.isComment() || e.isScript() || e.isStyle() || e.isDoctype());
    };
    // Without recursion only the children's tails follow the own text.
    walkBelow(
        *this,
        [&](const HtmlElement& e) {
            if (skipped(e) || recursive == 0) return false;
            raw.append(e.ownText());
            return true;
        },
        [&](const HtmlElement& e) {
            if (!skipped(e)) raw.append(e.tail());
        });
    text.clear();
    appendDecoded(text, raw);
    return true;
}

}  // namespace kestrune
