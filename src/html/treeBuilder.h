// SPDX-License-Identifier: MIT
// Internal to src/html: the tree builder, a single forward pass over the document's
// text that turns it into top-level elements and their subtrees.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "html/HtmlDocument.h"
#include "html/HtmlElement.h"

namespace kestrune {

// One token as readTag cuts it: the text in front of a tag, and the tag itself.
struct Token {
    std::string_view tagName;        // empty for text without a following tag
    std::string_view attributeText;  // from the first space after the name, space included
    std::string_view leadingText;    // text in front of "<", leading white space removed
    bool selfClosing = false;        // the tag ended in "/>"
};

// Reads one token from [text, end) (text < end, *end == '\0') and returns the bytes
// consumed. CR, LF and TAB are removed from the tag name in place, so the name stays
// a view into the text.
std::size_t readTag(char* text, char* end, Token& token);

// The open children of the elements being built: an end tag that does not close the
// element reading it closes that element's first open child of the same name (ASCII
// case ignored). Only the element at the bottom of the chain of elements being
// built adds or looks up, so each element's entries form the newest block of a
// stack; a block that grows large gets a by-name index, so that many open children
// and many end tags stay linear.
class OpenChildren {
  public:
    explicit OpenChildren(const HtmlElement* arena) : arena_(arena) {}
    void add(const HtmlElement* owner, const HtmlElement* child);
    // Removes and returns the first open child of `owner` named `name`, or null.
    HtmlElement* takeFirst(const HtmlElement* owner, std::string_view name);
    // Forgets every entry of `owner` (it is complete; nothing can close its children).
    void dropOwner(const HtmlElement* owner);

  private:
    static constexpr std::uint32_t kTaken = 0;  // element 0 is never a child
    static constexpr std::size_t kSmallBlock = 32;
    struct Node {
        std::uint32_t owner;
        std::uint32_t child;
    };
    struct Queue {
        std::vector<std::uint32_t> nodes;  // indices into nodes_
        std::size_t head = 0;
    };
    // A lower-case name of at most 16 bytes, zero-padded (names hold no zero byte).
    struct NameKey {
        std::uint64_t low = 0, high = 0;
        bool operator==(const NameKey& o) const { return low == o.low && high == o.high; }
    };
    struct NameKeyHash {
        std::size_t operator()(const NameKey& k) const {
            return static_cast<std::size_t>((k.low * 0x9E3779B97F4A7C15ull) ^
                                            (k.high + (k.low >> 29)));
        }
    };
    struct Index {
        std::uint32_t owner;
        std::unordered_map<NameKey, Queue, NameKeyHash> byName;
        // The queue used last: runs of one name (many <p>, many </p>) skip the hash.
        NameKey lastKey;
        Queue* last = nullptr;
        Queue& queue(const NameKey& key) {
            if (last == nullptr || !(lastKey == key)) {
                last = &byName[key];
                lastKey = key;
            }
            return *last;
        }
    };
    std::uint32_t indexOf(const HtmlElement* e) const {
        return static_cast<std::uint32_t>(e - arena_);
    }
    HtmlElement* element(std::uint32_t i) const { return const_cast<HtmlElement*>(arena_ + i); }
    static NameKey lowerName(std::string_view name);
    Index& buildIndex(std::uint32_t owner, std::size_t blockStart);

    const HtmlElement* arena_;
    std::vector<Node> nodes_;
    std::vector<Index> indexes_;  // one per large block, in block order
};

class TreeBuilder {
  public:
    TreeBuilder(HtmlDocument& document, char* text, std::size_t length);
    // Builds every top-level element and its subtree, links them into the document
    // and sets its root and doctype candidates.
    void build();

  private:
    void buildSubtree(HtmlElement* top, bool selfClosing);
    // Raw content, flags and immediate completion of a new element with a valid name
    // and the given tag classes; true when the element goes on to read content.
    bool enter(HtmlElement& element, std::uint16_t classes, bool selfClosing);
    HtmlElement* newChild(HtmlElement* parent, HtmlElement* previous, const Token& token);
    bool nextToken(Token& token);

    HtmlDocument& document_;
    char* cursor_;
    char* end_;
    // A start tag that an element refused: the element that reads it next takes it
    // from here instead of scanning the same text again, and stores an empty text
    // for it (the text stays with the element that read it first).
    bool handedBack_ = false;
    Token handedBackToken_;
    OpenChildren open_;
};

}  // namespace kestrune
