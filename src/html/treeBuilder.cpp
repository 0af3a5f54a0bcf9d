// SPDX-License-Identifier: MIT
// The tree builder. Tokens are cut by "<" and ">" alone; an element's content ends
// at its own end tag, at a start tag that may not nest inside it (handed back to
// the enclosing element), or at the end of the text. The build is one loop over
// the chain of open elements (parent links), so nesting depth costs no stack.
#include "html/treeBuilder.h"

#include <array>
#include <cstring>

#include "base/asciiTable.h"
#include "base/compiler.h"
#include "html/tagTables.h"

namespace kestrune {

namespace {

// The first case-insensitive occurrence of `closer` (lower case, starting with
// "<") in [from, end), or end.
const char* findRawCloser(const char* from, const char* end, std::string_view closer) {
    const char* p = from;
    while (true) {
        std::size_t left = static_cast<std::size_t>(end - p);
        if (left < closer.size()) return end;
        const void* lt = std::memchr(p, '<', left - closer.size() + 1);
        if (lt == nullptr) return end;
        p = static_cast<const char*>(lt);
        std::size_t i = 1;
        while (i < closer.size() && toLowerByte(p[i]) == closer[i]) ++i;
        if (i == closer.size()) return p;
        ++p;
    }
}

// The first "-->" in [from, end), or null.
const char* findCommentEnd(const char* from, const char* end) {
    const char* p = from;
    while (end - p >= 3) {
        const void* dash = std::memchr(p, '-', static_cast<std::size_t>(end - p) - 2);
        if (dash == nullptr) return nullptr;
        p = static_cast<const char*>(dash);
        if (p[1] == '-' && p[2] == '>') return p;
        ++p;
    }
    return nullptr;
}

// Drops CR, LF and TAB from a tag name, moving the rest down inside the name.
std::size_t compactName(char* name, std::size_t length) {
    std::size_t out = 0;
    for (std::size_t i = 0; i < length; ++i) {
        if (!isControlChar(name[i])) name[out++] = name[i];
    }
    return out;
}

// What the scan of a tag's name stops at.
enum : unsigned char { kEndOfTag = 1, kSpace = 2, kNameControl = 4 };

constexpr std::array<unsigned char, 256> makeTagScanTable() {
    std::array<unsigned char, 256> t{};
    t['>'] = kEndOfTag;
    t[' '] = kSpace;
    t['\r'] = t['\n'] = t['\t'] = kNameControl;
    return t;
}
constexpr std::array<unsigned char, 256> kTagScan = makeTagScanTable();

// The classes of the element being read are looked up only when needed.
constexpr std::uint16_t kUnknownClass = 0xFFFF;

// One token; inlined into the builder's loop, which reads hundreds of thousands.
KESTRUNE_ALWAYS_INLINE std::size_t readToken(char* text, char* end, Token& token) {
    const std::size_t available = static_cast<std::size_t>(end - text);
    if (available == 0) return 0;
    char* lt = static_cast<char*>(std::memchr(text, '<', available));
    if (lt == nullptr) {
        token.leadingText = std::string_view(text, available);  // kept as it is
        return available;
    }
    if (lt != text) {
        const char* p = text;
        while (p < lt && isHtmlSpace(*p)) ++p;
        if (p < lt) token.leadingText = std::string_view(p, static_cast<std::size_t>(lt - p));
    }
    char* after = lt + 1;
    const std::size_t rest = static_cast<std::size_t>(end - after);
    if (rest >= 3 && after[0] == '!' && after[1] == '-' && after[2] == '-') {
        token.tagName = std::string_view(after, 3);
        return static_cast<std::size_t>(after - text) + 3;
    }
    // One pass over the name: it ends at the first space or at ">"; CR, LF and TAB
    // in it are noted. Names are short, so this beats two library searches.
    char* q = after;
    bool control = false;
    unsigned char stop = 0;
    for (; q < end; ++q) {
        stop = kTagScan[static_cast<unsigned char>(*q)];
        if (stop == 0) continue;
        if (stop != kNameControl) break;
        control = true;
    }
    char* space = nullptr;
    char* gt = q;
    if (q < end && stop == kSpace) {
        space = q;
        gt = static_cast<char*>(std::memchr(q, '>', static_cast<std::size_t>(end - q)));
    }
    if (gt == nullptr || gt == end) {
        // An unterminated tag: everything after "<" is text.
        token.leadingText = std::string_view(after, rest);
        return available;
    }
    std::size_t tagLength = static_cast<std::size_t>(gt - after);
    if (tagLength > 0 && after[tagLength - 1] == '/') {
        token.selfClosing = true;
        --tagLength;
    }
    if (tagLength > 0) {
        std::size_t nameLength = tagLength;
        if (space != nullptr && space != after && space < after + tagLength) {
            nameLength = static_cast<std::size_t>(space - after);
            token.attributeText = std::string_view(space, tagLength - nameLength);
        }
        if (control) nameLength = compactName(after, nameLength);
        token.tagName = std::string_view(after, nameLength);
    }
    return static_cast<std::size_t>(gt + 1 - text);
}

}  // namespace

std::size_t readTag(char* text, char* end, Token& token) { return readToken(text, end, token); }

// ----- OpenChildren -----

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
        while (start > 0 && nodes_[start - 1].owner == o && nodes_.size() - start <= kSmallBlock) {
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
    : document_(document), cursor_(text), end_(text + length), open_(document.elements_) {}

KESTRUNE_ALWAYS_INLINE bool TreeBuilder::nextToken(Token& token) {
    if (handedBack_) {
        // The same tag again; its text already has its place.
        token = handedBackToken_;
        token.leadingText = std::string_view();
        handedBack_ = false;
        return true;
    }
    if (cursor_ == end_) return false;
    cursor_ += readToken(cursor_, end_, token);
    return true;
}

void TreeBuilder::build() {
    HtmlElement* previous = nullptr;
    while (cursor_ != end_ || handedBack_) {
        HtmlElement* e = document_.newElement();
        if (previous != nullptr) {
            previous->nextSibling_ = static_cast<std::uint32_t>(e - previous);
        } else {
            document_.firstTopLevel_ = e;
        }
        previous = e;
        Token token;
        nextToken(token);
        e->tagName_ = e->spanOf(token.tagName);
        e->attributeText_ = e->spanOf(token.attributeText);
        e->trailing_ = e->spanOf(token.leadingText);
        buildSubtree(e, token.selfClosing);
        if (e->isDoctype()) {
            document_.doctype_ = e;
        } else if (equalsIgnoreCase(e->tagName(), "html")) {
            document_.root_ = e;
        }
        if (!handedBack_) {
            while (cursor_ != end_ && isHtmlSpace(*cursor_)) ++cursor_;
        }
    }
}

bool TreeBuilder::enter(HtmlElement& e, std::uint16_t classes, bool selfClosing) {
    if (classes & kTagDoctype) {
        e.setFlag(HtmlElement::kDoctype);
        return false;
    }
    if (cursor_ == end_) return false;
    std::size_t left = static_cast<std::size_t>(end_ - cursor_);
    if (classes & kTagComment) {
        const char* close = findCommentEnd(cursor_, end_);
        std::size_t length = close == nullptr ? left : static_cast<std::size_t>(close - cursor_);
        e.ownText_ = e.spanOf(cursor_, length);
        cursor_ += close == nullptr ? left : length + 3;
        e.setFlag(HtmlElement::kComment | HtmlElement::kClosed);
        return false;
    }
    if (classes & (kTagScript | kTagStyle)) {
        bool style = (classes & kTagStyle) != 0;
        std::string_view closer = style ? "</style>" : "</script>";
        const char* close = findRawCloser(cursor_, end_, closer);
        std::size_t length = static_cast<std::size_t>(close - cursor_);
        e.ownText_ = e.spanOf(cursor_, length);
        cursor_ += close == end_ ? length : length + closer.size();
        e.setFlag((style ? HtmlElement::kStyle : HtmlElement::kScript) | HtmlElement::kClosed);
        return false;
    }
    if (selfClosing || (classes & kTagVoid)) {
        e.setFlag(HtmlElement::kClosed);
        return false;
    }
    return true;
}

HtmlElement* TreeBuilder::newChild(HtmlElement* parent, HtmlElement* previous, const Token& token) {
    HtmlElement* k = document_.newElement();
    k->state_ = static_cast<std::uint32_t>(parent->depth() + 1);
    k->parent_ = static_cast<std::uint32_t>(k - parent);
    if (previous != nullptr) {
        previous->nextSibling_ = static_cast<std::uint32_t>(k - previous);
    } else {
        parent->firstChild_ = static_cast<std::uint32_t>(k - parent);
    }
    k->tagName_ = k->spanOf(token.tagName);
    k->attributeText_ = k->spanOf(token.attributeText);
    return k;
}

void TreeBuilder::buildSubtree(HtmlElement* top, bool selfClosing) {
    if (!isValidTagName(top->tagName())) return;
    std::uint16_t eClass = tagClassOfValidName(top->tagName());
    if (!enter(*top, eClass, selfClosing)) return;
    HtmlElement* e = top;         // the element whose content is being read
    HtmlElement* last = nullptr;  // e's last child so far
    Token token;
    while (true) {
        bool ends = false;
        token = Token();
        if (!nextToken(token)) {
            ends = true;  // end of the text: e stays open
        } else if (!isValidTagName(token.tagName)) {
            continue;  // the token and the text in front of it are dropped
        } else {
            // Each accepted tag assigns the text in front of it to the current slot.
            if (last != nullptr) {
                last->trailing_ = last->spanOf(token.leadingText);
            } else {
                e->ownText_ = e->spanOf(token.leadingText);
            }
            std::string_view name = token.tagName;
            if (name[0] == '/') {
                std::string_view closes = name.substr(1);
                if (equalsIgnoreCase(closes, e->tagName())) {
                    e->setFlag(HtmlElement::kClosed);
                    ends = true;
                } else {
                    // Only e's own open children can be closed here; an end tag of an
                    // ancestor is recorded as stray and e keeps reading.
                    if (HtmlElement* child = open_.takeFirst(e, closes)) {
                        child->setFlag(HtmlElement::kClosed);
                    } else {
                        document_.strayEndTags_.push_back({e, name});
                    }
                    continue;
                }
            } else if (cursor_ == end_) {
                ends = true;  // a start tag that ends the text creates no element
            } else {
                std::uint16_t kClass = tagClassOfValidName(name);
                // The open element's classes only matter to a block tag.
                if ((kClass & kTagBlock) && eClass == kUnknownClass)
                    eClass = tagClassOfValidName(e->tagName());
                if (!mayNestClasses(name, kClass, e->tagName(), eClass)) {
                    handedBack_ = true;
                    handedBackToken_ = token;
                    ends = true;
                } else {
                    HtmlElement* k = newChild(e, last, token);
                    if (kClass & kTagMeta) document_.metas_.push_back(k);
                    if (enter(*k, kClass, token.selfClosing)) {
                        e = k;
                        eClass = kClass;
                        last = nullptr;
                    } else {
                        last = k;
                        if (!k->closed() && cursor_ != end_ && name[0] != '!') open_.add(e, k);
                    }
                    continue;
                }
            }
        }
        if (ends) {
            open_.dropOwner(e);
            if (e == top) return;
            HtmlElement* parent = const_cast<HtmlElement*>(e->parent());
            if (!e->closed() && (cursor_ != end_ || handedBack_)) open_.add(parent, e);
            last = e;
            e = parent;
            eClass = kUnknownClass;
        }
    }
}

}  // namespace kestrune
