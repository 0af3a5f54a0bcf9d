// SPDX-License-Identifier: MIT
// The tree builder: the parser core's events become elements in the document's
// arena, linked by parent, first-child and next-sibling distances; end tags that
// close no current element are matched to open children or kept as stray.
#include "html/treeBuilder.h"

#include <cstring>

#include "base/asciiTable.h"
#include "html/tagTables.h"

namespace kestrune {

// ----- OpenChildren -----

namespace {

bool indexOpenChildren = true;

}  // namespace

void useOpenChildrenIndex(bool on) { indexOpenChildren = on; }

OpenChildren::OpenChildren(const HtmlElement* arena)
    : arena_(arena), smallBlock_(indexOpenChildren ? kSmallBlock : ~std::size_t{0}) {}

OpenChildren::NameKey OpenChildren::lowerName(std::string_view name) {
    // Children have valid names (at most 16 bytes); an end tag's name is one byte
    // shorter than its own limit. Longer text cannot name a child.
    char lower[16] = {};
    std::size_t n = name.size() < 16 ? name.size() : 16;
    for (std::size_t i = 0; i < n; ++i) lower[i] = toLowerByte(name[i]);
    NameKey key;
    std::memcpy(&key.low, lower, 8);
    std::memcpy(&key.high, lower + 8, 8);
    return key;
}

void OpenChildren::add(const HtmlElement* owner, const HtmlElement* child) {
    std::uint32_t o = indexOf(owner);
    nodes_.push_back(Node{o, indexOf(child)});
    if (!indexes_.empty() && indexes_.back().owner == o) {
        indexes_.back()
            .queue(lowerName(child->tagName()))
            .nodes.push_back(static_cast<std::uint32_t>(nodes_.size() - 1));
    }
}

OpenChildren::Index& OpenChildren::buildIndex(std::uint32_t owner, std::size_t blockStart) {
    indexes_.emplace_back();
    indexes_.back().owner = owner;
    Index& index = indexes_.back();
    for (std::size_t i = blockStart; i < nodes_.size(); ++i) {
        if (nodes_[i].child == kTaken) continue;
        index.queue(lowerName(element(nodes_[i].child)->tagName()))
            .nodes.push_back(static_cast<std::uint32_t>(i));
    }
    return index;
}

HtmlElement* OpenChildren::takeFirst(const HtmlElement* owner, std::string_view name) {
    std::uint32_t o = indexOf(owner);
    if (nodes_.empty() || nodes_.back().owner != o) return nullptr;
    Index* index = nullptr;
    if (!indexes_.empty() && indexes_.back().owner == o) {
        index = &indexes_.back();
    } else {
        std::size_t start = nodes_.size();
        while (start > 0 && nodes_[start - 1].owner == o && nodes_.size() - start <= smallBlock_) {
            --start;
        }
        if (start > 0 && nodes_[start - 1].owner == o) {
            while (start > 0 && nodes_[start - 1].owner == o) --start;
            index = &buildIndex(o, start);
        } else {
            for (std::size_t i = start; i < nodes_.size(); ++i) {
                if (nodes_[i].child == kTaken) continue;
                HtmlElement* child = element(nodes_[i].child);
                if (equalsIgnoreCase(child->tagName(), name)) {
                    nodes_[i].child = kTaken;
                    return child;
                }
            }
            return nullptr;
        }
    }
    Queue& queue = index->queue(lowerName(name));
    if (queue.head == queue.nodes.size()) return nullptr;
    Node& node = nodes_[queue.nodes[queue.head++]];
    HtmlElement* child = element(node.child);
    node.child = kTaken;
    return child;
}

void OpenChildren::dropOwner(const HtmlElement* owner) {
    // The owner's entries are the newest ones: those of the elements built inside it
    // were dropped when they ended.
    std::uint32_t o = indexOf(owner);
    while (!nodes_.empty() && nodes_.back().owner == o) nodes_.pop_back();
    if (!indexes_.empty() && indexes_.back().owner == o) indexes_.pop_back();
}

// ----- TreeBuilder -----

namespace {

using detail::ElementAccess;
using detail::ElementLinks;

ElementLinks& linksOf(HtmlElement* e) { return ElementAccess::links(*e); }

std::uint32_t distance(const HtmlElement* from, const HtmlElement* to) {
    return static_cast<std::uint32_t>(to > from ? to - from : from - to);
}

}  // namespace

TreeBuilder::TreeBuilder(detail::DocumentState& document, const ScannedText& text)
    : document_(document), text_(text), open_(document.elements) {}

void TreeBuilder::build() {
    ParserCore<TreeBuilder>(text_, *this, document_.text, document_.htmlWhitespace).run();
    if (root_.found()) document_.root = root_.root();
}

void TreeBuilder::topLevel(const Token& token) {
    HtmlElement* e = document_.newElement();
    if (previousTop_ != nullptr) {
        linksOf(previousTop_).nextSibling = distance(previousTop_, e);
    } else {
        document_.firstTopLevel = e;
    }
    previousTop_ = e;
    ElementLinks& links = linksOf(e);
    links.tagName = ElementAccess::spanOf(*e, token.tagName);
    links.attributeText = ElementAccess::spanOf(*e, token.attributeText);
    links.trailing = ElementAccess::spanOf(*e, token.text);
    newest_ = e;
    current_ = e;
    lastChild_ = nullptr;
}

void TreeBuilder::child(const Token& token, std::uint16_t classes) {
    HtmlElement* child = document_.newElement();
    ElementLinks& links = linksOf(child);
    links.state = static_cast<std::uint32_t>(current_->depth() + 1);
    links.parent = distance(child, current_);
    if (lastChild_ != nullptr) {
        linksOf(lastChild_).nextSibling = distance(lastChild_, child);
    } else {
        linksOf(current_).firstChild = distance(current_, child);
    }
    links.tagName = ElementAccess::spanOf(*child, token.tagName);
    links.attributeText = ElementAccess::spanOf(*child, token.attributeText);
    if (classes & kTagMeta) document_.metas.push_back(child);
    newest_ = child;
}

void TreeBuilder::finished(std::uint32_t flags, std::string_view content) {
    ElementLinks& links = linksOf(newest_);
    links.state |= flags;
    links.ownText = ElementAccess::spanOf(*newest_, content);
}

void TreeBuilder::descend() {
    current_ = newest_;
    lastChild_ = nullptr;
}

void TreeBuilder::leaf(bool mayCloseLater) {
    lastChild_ = newest_;
    if (mayCloseLater && !newest_->closed()) open_.add(current_, newest_);
}

void TreeBuilder::slot(std::string_view text) {
    // Texts are kept as written; the element's accessors give them as the tree reads them.
    if (lastChild_ != nullptr) {
        linksOf(lastChild_).trailing = ElementAccess::spanOf(*lastChild_, text);
    } else {
        linksOf(current_).ownText = ElementAccess::spanOf(*current_, text);
    }
}

void TreeBuilder::strayEnd(std::string_view name) {
    using StrayEndTag = detail::DocumentState::StrayEndTag;
    if (HtmlElement* child = open_.takeFirst(current_, name.substr(1))) {
        linksOf(child).state |= ElementLinks::kClosed;
    } else {
        const auto offset = static_cast<std::uint32_t>(name.data() - text_.data());
        document_.strayEndTags.push_back(
            {static_cast<std::uint32_t>(current_ - document_.elements),
             offset << StrayEndTag::kLengthBits | static_cast<std::uint32_t>(name.size())});
    }
}

std::string_view TreeBuilder::ascend(bool closed, bool more) {
    if (closed) linksOf(current_).state |= ElementLinks::kClosed;
    open_.dropOwner(current_);
    HtmlElement* parent = const_cast<HtmlElement*>(current_->parent());
    if (!closed && more) open_.add(parent, current_);
    lastChild_ = current_;
    current_ = parent;
    return parent->tagName();
}

void TreeBuilder::topLevelEnd(bool closed, TopLevelKind kind) {
    HtmlElement* top = previousTop_;
    if (closed) linksOf(top).state |= ElementLinks::kClosed;
    open_.dropOwner(top);
    if (kind == TopLevelKind::kDoctype) document_.doctype = top;
    root_.offer(kind, top);
}

}  // namespace kestrune
