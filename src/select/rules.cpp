// SPDX-License-Identifier: MIT
// The per-element rules of selector matching.
#include "select/rules.h"

#include "base/asciiTable.h"
#include "html/attributes.h"

namespace kestrune::selectors {

bool isSelectorSpace(char c) { return isHtmlSpace(c) || c == '\f'; }

bool countsAsElement(std::string_view tagName) {
    if (tagName.empty()) return false;
    return tagName[0] != '!' || (tagName != "!--" && !equalsIgnoreCase(tagName, "!doctype"));
}

bool isEmptyElement(const HtmlElement& element) {
    if (!element.ownText().empty()) return false;
    for (const HtmlElement& child : element.children()) {
        if (countsAsElement(child.tagName()) || !child.tail().empty()) return false;
    }
    return true;
}

bool nthMatches(std::int64_t a, std::int64_t b, std::int64_t position) {
    if (a == 0) return position == b;
    const std::int64_t steps = position - b;
    return steps % a == 0 && steps / a >= 0;
}

namespace {

bool sameText(std::string_view a, std::string_view b, bool ignoreCase) {
    return ignoreCase ? equalsIgnoreCase(a, b) : a == b;
}

bool hasSpace(std::string_view s) {
    for (char c : s) {
        if (isSelectorSpace(c)) return true;
    }
    return false;
}

bool includesWord(std::string_view value, std::string_view word, bool ignoreCase) {
    if (word.empty() || hasSpace(word)) return false;
    std::size_t i = 0;
    while (i < value.size()) {
        while (i < value.size() && isSelectorSpace(value[i])) ++i;
        std::size_t end = i;
        while (end < value.size() && !isSelectorSpace(value[end])) ++end;
        if (end > i && sameText(value.substr(i, end - i), word, ignoreCase)) return true;
        i = end;
    }
    return false;
}

bool containsText(std::string_view value, std::string_view part, bool ignoreCase) {
    if (!ignoreCase) return value.find(part) != std::string_view::npos;
    for (std::size_t i = 0; i + part.size() <= value.size(); ++i) {
        if (equalsIgnoreCase(value.substr(i, part.size()), part)) return true;
    }
    return false;
}

}  // namespace

bool passesAttributeTest(const ElementTest& test, std::string_view attributeText,
                         TestScratch& scratch) {
    using Kind = ElementTest::Kind;
    if (test.kind == Kind::Exists)
        return hasAttributeOrWord(attributeText, test.name, scratch.text);
    if (findAttributeOrWord(attributeText, test.name, scratch.value, scratch.text) == 0)
        return false;
    const std::string_view value = scratch.value;
    const std::string_view wanted = test.value;
    const bool fold = test.ignoreCase;
    // An empty string is no prefix, suffix or part of anything here, as in CSS.
    switch (test.kind) {
        case Kind::Equals:
            return sameText(value, wanted, fold);
        case Kind::Includes:
            return includesWord(value, wanted, fold);
        case Kind::DashMatch:
            return sameText(value, wanted, fold) ||
                   (value.size() > wanted.size() && value[wanted.size()] == '-' &&
                    sameText(value.substr(0, wanted.size()), wanted, fold));
        case Kind::Prefix:
            return !wanted.empty() && value.size() >= wanted.size() &&
                   sameText(value.substr(0, wanted.size()), wanted, fold);
        case Kind::Suffix:
            return !wanted.empty() && value.size() >= wanted.size() &&
                   sameText(value.substr(value.size() - wanted.size()), wanted, fold);
        case Kind::Substring:
            return !wanted.empty() && containsText(value, wanted, fold);
        case Kind::Type:
        case Kind::Exists:
            break;
    }
    return false;
}

}  // namespace kestrune::selectors
