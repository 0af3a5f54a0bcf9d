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

TreeBuilder::TreeBuilder(HtmlDocument& document, char* text, std::size_t length)
    : document_(document), text_(text), length_(length), open_(document.elements_) {}

void TreeBuilder::build() {
    ParserCore<TreeBuilder>(text_, length_, *this).run();
    if (root_.found()) document_.root_ = root_.root();
}

void TreeBuilder::topLevel(const Token& token) {
    HtmlElement* e = document_.newElement();
    if (previousTop_ != nullptr) {
        previousTop_->nextSibling_ = static_cast<std::uint32_t>(e - previousTop_);
    } else {
        document_.firstTopLevel_ = e;
    }
    previousTop_ = e;
    e->tagName_ = e->spanOf(token.tagName);
    e->attributeText_ = e->spanOf(token.attributeText);
    e->trailing_ = e->spanOf(token.leadingText);
    newest_ = e;
    current_ = e;
    lastChild_ = nullptr;
}

void TreeBuilder::child(const Token& token, std::uint16_t classes) {
    HtmlElement* child = document_.newElement();
    child->state_ = static_cast<std::uint32_t>(current_->depth() + 1);
    child->parent_ = static_cast<std::uint32_t>(child - current_);
    if (lastChild_ != nullptr) {
        lastChild_->nextSibling_ = static_cast<std::uint32_t>(child - lastChild_);
    } else {
        current_->firstChild_ = static_cast<std::uint32_t>(child - current_);
    }
    child->tagName_ = child->spanOf(token.tagName);
    child->attributeText_ = child->spanOf(token.attributeText);
    if (classes & kTagMeta) document_.metas_.push_back(child);
    newest_ = child;
}

void TreeBuilder::finished(std::uint32_t flags, std::string_view content) {
    newest_->setFlag(flags);
    newest_->ownText_ = newest_->spanOf(content);
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
    if (lastChild_ != nullptr) {
        lastChild_->trailing_ = lastChild_->spanOf(text);
    } else {
        current_->ownText_ = current_->spanOf(text);
    }
}

void TreeBuilder::strayEnd(std::string_view name) {
    if (HtmlElement* child = open_.takeFirst(current_, name.substr(1))) {
        child->setFlag(HtmlElement::kClosed);
    } else {
        const auto offset = static_cast<std::uint32_t>(name.data() - text_);
        document_.strayEndTags_.push_back(
            {static_cast<std::uint32_t>(current_ - document_.elements_),
             offset << HtmlDocument::StrayEndTag::kLengthBits |
                 static_cast<std::uint32_t>(name.size())});
    }
}

std::string_view TreeBuilder::ascend(bool closed, bool more) {
    if (closed) current_->setFlag(HtmlElement::kClosed);
    open_.dropOwner(current_);
    HtmlElement* parent = const_cast<HtmlElement*>(current_->parent());
    if (!closed && more) open_.add(parent, current_);
    lastChild_ = current_;
    current_ = parent;
    return parent->tagName();
}

void TreeBuilder::topLevelEnd(bool closed, TopLevelKind kind) {
    HtmlElement* top = previousTop_;
    if (closed) top->setFlag(HtmlElement::kClosed);
    open_.dropOwner(top);
    if (kind == TopLevelKind::kDoctype) document_.doctype_ = top;
    root_.offer(kind, top);
}

}  // namespace kestrune
