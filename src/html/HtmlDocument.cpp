// SPDX-License-Identifier: MIT
// HtmlDocument: storage of the text and the element arena, and the document-level
// views of the tree.
#include <kestrune/document.h>

#include <new>

#include "base/asciiTable.h"
#include "html/documentStorage.h"

namespace kestrune {

HtmlDocument::HtmlDocument() = default;
HtmlDocument::~HtmlDocument() = default;

void HtmlDocument::reset() {
    root_ = nullptr;
    doctype_ = nullptr;
    firstTopLevel_ = nullptr;
    elementCount_ = 0;
    strayEndTags_.clear();
    strayEndTags_.shrink_to_fit();
    metas_.clear();
}

void HtmlDocument::arenaExhausted() {
    // Every element consumes at least two bytes of text, so the arena sized from the
    // text length cannot run out; should it ever, the run ends as out of memory.
    throw std::bad_alloc();
}

ElementList HtmlDocument::otherTopLevel() const {
    ElementList list;
    for (const HtmlElement& e : topLevel()) {
        if (!e.isDoctype() && !equalsIgnoreCase(e.tagName(), "html")) list.push_back(&e);
    }
    return list;
}

std::vector<std::string_view> HtmlDocument::strayEndTags(const HtmlElement& element) const {
    std::vector<std::string_view> names;
    const auto owner = static_cast<std::uint32_t>(&element - elements_);
    constexpr std::uint32_t kLengthMask = (1u << StrayEndTag::kLengthBits) - 1;
    for (const StrayEndTag& s : strayEndTags_) {
        if (s.owner == owner) {
            names.push_back(
                text().substr(s.name >> StrayEndTag::kLengthBits, s.name & kLengthMask));
        }
    }
    return names;
}

}  // namespace kestrune
