// SPDX-License-Identifier: MIT
// HtmlDocument: storage of the text and the element arena, and the document-level
// views of the tree.
#include <kestrune/document.h>

#include <new>

#include "base/asciiTable.h"
#include "html/documentState.h"

namespace kestrune {

namespace detail {

std::string_view trimmedText(std::string_view asWritten) {
    // Only a text that a tag follows lost its leading white space when it was read.
    if (asWritten.empty() || asWritten.data()[asWritten.size()] != '<') return asWritten;
    std::size_t i = 0;
    while (i < asWritten.size() && isHtmlSpace(asWritten[i])) ++i;
    return asWritten.substr(i);
}

void DocumentState::reset() {
    root = nullptr;
    doctype = nullptr;
    firstTopLevel = nullptr;
    elementCount = 0;
    strayEndTags.clear();
    strayEndTags.shrink_to_fit();
    metas.clear();
}

HtmlElement* DocumentState::newElement() {
    // Every element consumes at least two bytes of text, so the arena sized from the
    // text length cannot run out; should it ever, the run ends as out of memory.
    if (elementCount == elementCapacity) throw std::bad_alloc();
    return ElementAccess::make(elements + elementCount++);
}

}  // namespace detail

HtmlDocument::HtmlDocument() : state_(std::make_unique<detail::DocumentState>()) {}
HtmlDocument::~HtmlDocument() = default;

void HtmlDocument::setCodePage(unsigned codePage) { state_->codePage = codePage; }
unsigned HtmlDocument::codePage() const { return state_->codePage; }
void HtmlDocument::setHtmlWhitespace(bool on) { state_->htmlWhitespace = on; }
bool HtmlDocument::htmlWhitespace() const { return state_->htmlWhitespace; }
const HtmlElement* HtmlDocument::root() const { return state_->root; }
const HtmlElement* HtmlDocument::doctype() const { return state_->doctype; }
HtmlElement::ChildRange HtmlDocument::topLevel() const {
    return HtmlElement::ChildRange(state_->firstTopLevel);
}
std::string_view HtmlDocument::text() const {
    return std::string_view(state_->text, state_->textLength);
}
std::size_t HtmlDocument::elementCount() const { return state_->elementCount; }
bool HtmlDocument::convertedFromUtf8() const { return state_->convertedFromUtf8; }
std::string_view HtmlDocument::contentType() const { return state_->contentType; }
std::string_view HtmlDocument::charset() const { return state_->charset; }

ElementList HtmlDocument::otherTopLevel() const {
    ElementList list;
    for (const HtmlElement& e : topLevel()) {
        if (!e.isDoctype() && !equalsIgnoreCase(e.tagName(), "html")) list.push_back(&e);
    }
    return list;
}

std::vector<std::string_view> HtmlDocument::strayEndTags(const HtmlElement& element) const {
    using StrayEndTag = detail::DocumentState::StrayEndTag;
    std::vector<std::string_view> names;
    const auto owner = static_cast<std::uint32_t>(&element - state_->elements);
    constexpr std::uint32_t kLengthMask = (1u << StrayEndTag::kLengthBits) - 1;
    for (const StrayEndTag& s : state_->strayEndTags) {
        if (s.owner == owner) {
            names.push_back(
                text().substr(s.name >> StrayEndTag::kLengthBits, s.name & kLengthMask));
        }
    }
    return names;
}

}  // namespace kestrune
