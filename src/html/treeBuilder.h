// Internal to src/html: the tree builder, a single forward pass over the document's
// text that turns it into top-level elements and their subtrees.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>
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

// The open children of the elements being built, by lower-case name, in the order
// they were added: an end tag that does not close the element reading it closes the
// first open child of that name. Only the element at the bottom of the chain of
// elements being built ever looks up or adds, so entries are added and dropped like
// a stack.
class OpenChildren {
  public:
    void add(const HtmlElement* owner, HtmlElement* child, std::string_view name);
    // Removes and returns the first open child of `owner` named `name`, or null.
    HtmlElement* takeFirst(const HtmlElement* owner, std::string_view name);
    // Forgets every entry of `owner` (it is complete; nothing can close its children).
    void dropOwner(const HtmlElement* owner);
    bool empty() const { return nodes_.empty(); }

  private:
    struct Key {
        const HtmlElement* owner = nullptr;
        std::uint64_t name0 = 0, name1 = 0;  // lower-case name, zero-padded (names are <= 16 bytes)
        bool operator==(const Key& o) const {
            return owner == o.owner && name0 == o.name0 && name1 == o.name1;
        }
    };
    struct Slot {
        Key key;                           // key.owner == null: free
        std::uint32_t head = 0, tail = 0;  // node indices + 1 of the queue's ends
    };
    struct Node {
        Key key;
        HtmlElement* child;
        std::uint32_t next;  // node index + 1, 0 = end of queue
    };
    static Key makeKey(const HtmlElement* owner, std::string_view name);
    std::size_t find(const Key& key) const;  // slot index, or slots_.size() when absent
    void erase(std::size_t slot);
    void grow();

    std::vector<Slot> slots_;
    std::size_t used_ = 0;
    std::vector<Node> nodes_;
};

class TreeBuilder {
  public:
    TreeBuilder(HtmlDocument& document, char* text, std::size_t length);
    // Builds every top-level element and its subtree, links them into the document
    // and sets its root and doctype candidates.
    void build();

  private:
    void buildSubtree(HtmlElement* top, bool selfClosing);
    // Raw content, flags and immediate completion of a new element; true when the
    // element goes on to read content.
    bool enter(HtmlElement& element, bool selfClosing);
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
