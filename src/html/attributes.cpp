// SPDX-License-Identifier: MIT
// Attribute maps built from the raw attribute text of a start tag.
#include "html/attributes.h"

namespace kestrune {

namespace {

struct MapFiller {
    AttributeMap& attributes;
    std::vector<std::string>& valueless;
    void pair(std::string_view name, std::string_view value) {
        // try_emplace keeps the value already stored under an identical name.
        attributes.try_emplace(std::string(name), std::string(attributeValue(value)));
    }
    void word(std::string_view w) { valueless.emplace_back(w); }
};

}  // namespace

int parseAttributes(std::string_view text, AttributeMap& attributes,
                    std::vector<std::string>& valueless) {
    if (text.empty()) return 0;
    MapFiller fill{attributes, valueless};
    std::string scratch;
    forEachAttribute(
        text, scratch, [&](std::string_view n, std::string_view v) { fill.pair(n, v); },
        [&](std::string_view w) { fill.word(w); });
    return static_cast<int>(attributes.size());
}

AttributeMap HtmlElement::attributes() const {
    AttributeMap map;
    std::vector<std::string> unused;
    parseAttributes(attributeText(), map, unused);
    return map;
}

std::vector<std::string> HtmlElement::valuelessAttributes() const {
    AttributeMap unused;
    std::vector<std::string> words;
    parseAttributes(attributeText(), unused, words);
    return words;
}

}  // namespace kestrune
