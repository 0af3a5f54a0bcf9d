// SPDX-License-Identifier: MIT
// Internal to src/html: the tree builder, the consumer of the parser core that turns
// its events into the document's top-level elements and their subtrees.
#pragma once

#include <kestrune/document.h>

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "html/documentState.h"
#include "html/parserCore.h"

namespace kestrune {

// The open children of the elements being built: an end tag that does not close the
// element reading it closes that element's first open child of the same name (ASCII
// case ignored). Only the element at the bottom of the chain of elements being
// built adds or looks up, so each element's entries form the newest block of a
// stack; a block that grows large gets a by-name index, so that many open children
// and many end tags stay linear.
class OpenChildren {
  public:
    explicit OpenChildren(const HtmlElement* arena);
    void add(const HtmlElement* owner, const HtmlElement* child);
    // Removes and returns the first open child of `owner` named `name`, or null.
    HtmlElement* takeFirst(const HtmlElement* owner, std::string_view name);
    // Forgets every entry of `owner` (it is complete; nothing can close its children).
    void dropOwner(const HtmlElement* owner);

  private:
    static constexpr std::uint32_t kTaken = ~std::uint32_t{0};  // no element has this index
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
    std::size_t smallBlock_;  // blocks up to this size are scanned without an index
    std::vector<Node> nodes_;
    std::vector<Index> indexes_;  // one per large block, in block order
};

// The reference mode of the tree builder, for tests and fuzzing: with `on` false no
// block of open children gets a by-name index, so an end tag that closes no current
// element scans the open children of its element one by one (slow on large blocks,
// the same trees). Applies to the whole process until changed; on by default.
void useOpenChildrenIndex(bool on);

class TreeBuilder {
  public:
    // `text` is the document's own (names are compacted in it), with its scan.
    TreeBuilder(detail::DocumentState& document, const ScannedText& text);
    // Builds every top-level element and its subtree, links them into the document
    // and sets its root and doctype.
    void build();

    // ----- Events of the parser core -----
    void topLevel(const Token& token);
    void child(const Token& token, std::uint16_t classes);
    void finished(std::uint32_t flags, std::string_view content);
    void descend();
    void leaf(bool mayCloseLater);
    void slot(std::string_view text);
    void strayEnd(std::string_view name);
    std::string_view ascend(bool closed, bool more);
    void topLevelEnd(bool closed, TopLevelKind kind);

  private:
    detail::DocumentState& document_;
    ScannedText text_;
    HtmlElement* previousTop_ = nullptr;
    HtmlElement* newest_ = nullptr;     // the element made last
    HtmlElement* current_ = nullptr;    // the element whose content is being read
    HtmlElement* lastChild_ = nullptr;  // current_'s last child so far
    RootChoice<const HtmlElement*> root_;
    OpenChildren open_;
};

}  // namespace kestrune
