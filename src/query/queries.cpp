// SPDX-License-Identifier: MIT
// Element queries: find by tag, attribute lookup, text gathering. All read-only and
// iterative.
#include <algorithm>

#include "base/asciiTable.h"
#include "base/keyOrder.h"
#include "html/HtmlElement.h"
#include "html/attributes.h"
#include "html/charRefs.h"
#include "html/walk.h"

namespace kestrune {

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

}  // namespace

int findAttribute(std::string_view text, std::string_view name, std::string& value) {
    AttributeMatch match{name, {}, {}, false};
    std::string scratch;  // holds the text without CR, LF and TAB while the match is used
    forEachAttribute(
        text, scratch, [&](std::string_view n, std::string_view v) { match.offer(n, v); },
        [](std::string_view) {});
    if (!match.found) return 0;
    value.clear();
    appendDecoded(value, attributeValue(match.rawValue));
    return 1;
}

namespace {

// Byte order of the texts with ASCII letters made lower case.
int compareIgnoreCase(std::string_view a, std::string_view b) {
    const std::size_t n = a.size() < b.size() ? a.size() : b.size();
    for (std::size_t i = 0; i < n; ++i) {
        const unsigned char x = ascii::kLower[static_cast<unsigned char>(a[i])];
        const unsigned char y = ascii::kLower[static_cast<unsigned char>(b[i])];
        if (x != y) return x < y ? -1 : 1;
    }
    return a.size() == b.size() ? 0 : (a.size() < b.size() ? -1 : 1);
}

}  // namespace

AttributeFinder::AttributeFinder(const std::vector<std::string>& names) {
    byGroup_ = keyOrder(
        names.size(), [&](std::size_t k) { return std::string_view(names[k]); },
        [](unsigned char c) { return ascii::kLower[c]; });
    // An empty name is never found (an attribute's name is never empty); they sort first.
    std::size_t empty = 0;
    while (empty < byGroup_.size() && names[byGroup_[empty]].empty()) ++empty;
    byGroup_.erase(byGroup_.begin(), byGroup_.begin() + static_cast<std::ptrdiff_t>(empty));
    for (std::uint32_t i = 0; i < byGroup_.size(); ++i) {
        if (i == 0 || !equalsIgnoreCase(names[byGroup_[i - 1]], names[byGroup_[i]])) {
            groupStart_.push_back(i);
            groupNames_.push_back(names[byGroup_[i]]);
        }
    }
    groupStart_.push_back(static_cast<std::uint32_t>(byGroup_.size()));
}

long AttributeFinder::groupOf(std::string_view name) const {
    const std::size_t groups = groupNames_.size();
    if (groups <= kFewGroups) {
        // The usual case (one name or a few): lengths compared first, no order needed.
        for (std::size_t g = 0; g < groups; ++g) {
            if (equalsIgnoreCase(groupNames_[g], name)) return static_cast<long>(g);
        }
        return -1;
    }
    std::size_t low = 0;
    std::size_t high = groups;
    while (low < high) {
        const std::size_t middle = low + (high - low) / 2;
        const int c = compareIgnoreCase(name, groupNames_[middle]);
        if (c == 0) return static_cast<long>(middle);
        if (c < 0) {
            high = middle;
        } else {
            low = middle + 1;
        }
    }
    return -1;
}

void AttributeFinder::scan(std::string_view attributeText) {
    hits_.clear();
    candidates_.clear();
    if (byGroup_.empty()) return;
    std::uint32_t order = 0;
    forEachAttribute(
        attributeText, scratch_,
        [&](std::string_view n, std::string_view v) {
            const long group = groupOf(n);
            if (group >= 0)
                candidates_.push_back({static_cast<std::uint32_t>(group), order++, n, v});
        },
        [](std::string_view) {});
    // In each group the name first in byte order answers, the first of identical ones.
    // (Most elements have one candidate at most: no call for them.)
    if (candidates_.size() > 1) {
        std::sort(candidates_.begin(), candidates_.end(),
                  [](const Candidate& a, const Candidate& b) {
                      if (a.group != b.group) return a.group < b.group;
                      const int c = a.name.compare(b.name);
                      return c != 0 ? c < 0 : a.order < b.order;
                  });
    }
    // Room for every value to be decoded, so that no string moves while viewed.
    if (values_.size() < candidates_.size()) values_.resize(candidates_.size());
    for (std::size_t i = 0; i < candidates_.size(); ++i) {
        if (i > 0 && candidates_[i].group == candidates_[i - 1].group) continue;
        const std::string_view value = attributeValue(candidates_[i].rawValue);
        if (value.find('&') == std::string_view::npos) {
            // Nothing to decode: the value is the text itself.
            hits_.push_back({candidates_[i].group, value});
            continue;
        }
        std::string& decoded = values_[hits_.size()];
        decoded.clear();
        appendDecoded(decoded, value);
        hits_.push_back({candidates_[i].group, decoded});
    }
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
