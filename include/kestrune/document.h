// SPDX-License-Identifier: MIT
// Kestrune's document model: an HTML page parsed by the lenient parser into a tree of
// elements, with the read-only queries (find by tag, attributes, texts) and the
// serialiser as their operations.
//
//   #include <kestrune/document.h>
//
//   kestrune::HtmlDocument document;
//   if (document.parse(page) == 1) {
//       kestrune::ElementList links;
//       document.root()->findByTag("a", links, 1);
//       for (const kestrune::HtmlElement* a : links) {
//           std::string href;
//           a->getAttribute("href", href);
//       }
//   }
//
// Elements live in their document's arena, right behind the document's text, and
// are immutable once built. Every text of an element is a view into that text:
// views stay valid, and element pointers stay valid, while the HtmlDocument lives
// and until it parses again. An element is 48 bytes: links and views are stored
// as 32-bit distances (children and texts are never further than 4 GiB away).
// Threads: a document's const operations may be called from many threads at once.
// Errors: loads and parses report failure in their results; no exception leaves
// these calls except std::bad_alloc.
#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <memory>
#include <new>
#include <string>
#include <string_view>
#include <vector>

namespace kestrune {

class HtmlElement;

// Element references in document order; they own nothing.
using ElementList = std::vector<const HtmlElement*>;

// Attribute name to value: unique names in unsigned byte order (a prefix before its
// extensions, "ID" before "id").
using AttributeMap = std::map<std::string, std::string>;

class HtmlElement {
  public:
    // The bits of an element's state above its depth: why it is complete. The parser
    // reports an element complete as soon as it is made with these.
    static constexpr std::uint32_t kClosed = 1u << 27;
    static constexpr std::uint32_t kComment = 1u << 28;
    static constexpr std::uint32_t kScript = 1u << 29;
    static constexpr std::uint32_t kStyle = 1u << 30;
    static constexpr std::uint32_t kDoctype = 1u << 31;

    HtmlElement(const HtmlElement&) = delete;
    HtmlElement& operator=(const HtmlElement&) = delete;

    // Nesting level: 0 at the top of the document, the parent's depth + 1 below.
    int depth() const { return static_cast<int>(state_ & kDepthMask); }
    // 1 once the element is known to be complete (its end tag, "/>", a void tag, raw
    // content read, or a later end tag matched to it by its parent), else 0.
    int closed() const { return flag(kClosed); }
    int isComment() const { return flag(kComment); }
    int isScript() const { return flag(kScript); }
    int isStyle() const { return flag(kStyle); }
    int isDoctype() const { return flag(kDoctype); }

    // The tag name as written (letter case kept); "!--" for a comment; empty for a
    // top-level element made of plain text.
    std::string_view tagName() const { return view(tagName_); }
    // The raw attribute part of the start tag, from the space after the name up to
    // ">" (a final "/" removed); empty when there is none.
    std::string_view attributeText() const { return view(attributeText_); }
    // Text between the start tag and the first child; the whole raw content of a
    // comment, script or style element.
    std::string_view ownText() const { return view(ownText_); }
    // Top-level elements only: the text in front of the start tag.
    std::string_view precedingText() const {
        return parent_ == 0 ? view(trailing_) : std::string_view();
    }
    // Below the top level only: the text after the element inside its parent.
    std::string_view tail() const { return parent_ != 0 ? view(trailing_) : std::string_view(); }

    // Null for a top-level element.
    const HtmlElement* parent() const { return parent_ == 0 ? nullptr : this - parent_; }
    const HtmlElement* firstChild() const {
        return firstChild_ == 0 ? nullptr : this + firstChild_;
    }
    // The next child of the same parent (for top-level elements: the next top-level
    // element), or null.
    const HtmlElement* nextSibling() const {
        return nextSibling_ == 0 ? nullptr : this + nextSibling_;
    }
    // Children in source order, e.g. `for (const HtmlElement& c : e.children())`.
    class ChildRange;
    ChildRange children() const;

    // The attributes of the start tag, parsed from attributeText(): name=value pieces
    // (the first value of a name stays) and the valueless words in source order,
    // quotes kept.
    AttributeMap attributes() const;
    std::vector<std::string> valuelessAttributes() const;

    // ----- Queries (read-only; all iterative, so safe at any depth) -----

    // Appends to `list` every element below this one whose tag name equals `name`
    // (ASCII case ignored), in document order; the element itself is never tested.
    // With recursive == 0 only the children are tested. The list is not cleared.
    // Returns list.size().
    int findByTag(std::string_view name, ElementList& list, int recursive) const;
    // 1 and `value` = the decoded value of the first attribute, in byte order of the
    // names, whose name equals `name` ignoring ASCII case; 0 and `value` untouched
    // when there is none. Valueless words are never found.
    int getAttribute(std::string_view name, std::string& value) const;
    // `text` = ownText, then per child (its text when recursive != 0) and its tail,
    // with character references decoded once over the whole. With skipSpecial != 0
    // comment, script, style and doctype children are left out with their tails.
    // The element's own tail is never part of it. Always 1: every element has a text,
    // perhaps empty.
    int getText(std::string& text, int recursive, int skipSpecial) const;

    // ----- Serialiser -----

    // `out` = the element and its subtree as indented HTML with CR LF line ends.
    // Returns 1, or 0 (and `out` = precedingText) for an element without a tag name.
    int outerHtml(std::string& out, int lineBreaks) const;
    // The valueless words joined by spaces, then name="value" pieces (each followed
    // by a space) in byte order of the names; values as stored, not decoded.
    std::string attributesString() const;
    // `out` = attributesString(). Always 1.
    int writeAttributes(std::string& out) const;

  private:
    friend class HtmlDocument;
    friend class TreeBuilder;

    HtmlElement() = default;

    static constexpr std::uint32_t kDepthMask = (1u << 27) - 1;

    // A text at `back` bytes in front of this element.
    struct Span {
        std::uint32_t back = 0;
        std::uint32_t length = 0;
    };

    int flag(std::uint32_t bit) const { return (state_ & bit) ? 1 : 0; }
    void setFlag(std::uint32_t bit) { state_ |= bit; }
    std::string_view view(Span s) const {
        return std::string_view(reinterpret_cast<const char*>(this) - s.back, s.length);
    }
    Span spanOf(const char* begin, std::size_t length) const {
        Span s;
        if (length != 0) {
            s.back = static_cast<std::uint32_t>(reinterpret_cast<const char*>(this) - begin);
            s.length = static_cast<std::uint32_t>(length);
        }
        return s;
    }
    Span spanOf(std::string_view text) const { return spanOf(text.data(), text.size()); }

    std::uint32_t state_ = 0;        // depth in the low 27 bits, flags above
    std::uint32_t parent_ = 0;       // elements back to the parent; 0 = none
    std::uint32_t firstChild_ = 0;   // elements forward to the first child; 0 = none
    std::uint32_t nextSibling_ = 0;  // elements forward to the next sibling; 0 = none
    Span tagName_;
    Span attributeText_;
    Span ownText_;
    Span trailing_;  // precedingText at the top level, tail below it
};

class HtmlElement::ChildRange {
  public:
    class Iterator {
      public:
        explicit Iterator(const HtmlElement* e) : element_(e) {}
        const HtmlElement& operator*() const { return *element_; }
        const HtmlElement* operator->() const { return element_; }
        Iterator& operator++() {
            element_ = element_->nextSibling();
            return *this;
        }
        bool operator==(const Iterator& o) const { return element_ == o.element_; }
        bool operator!=(const Iterator& o) const { return element_ != o.element_; }

      private:
        const HtmlElement* element_;
    };
    explicit ChildRange(const HtmlElement* first) : first_(first) {}
    Iterator begin() const { return Iterator(first_); }
    Iterator end() const { return Iterator(nullptr); }
    bool empty() const { return first_ == nullptr; }

  private:
    const HtmlElement* first_;
};

static_assert(sizeof(HtmlElement) == 48, "an element is four links and four views of 32 bits");

inline HtmlElement::ChildRange HtmlElement::children() const { return ChildRange(firstChild()); }

// Files of this size or larger are refused.
inline constexpr long long kMaxInputBytes = 10 * 1024 * 1024;

class HtmlDocument {
  public:
    HtmlDocument();
    virtual ~HtmlDocument();
    // Elements point into the document's own storage: it can be neither copied nor moved.
    HtmlDocument(const HtmlDocument&) = delete;
    HtmlDocument& operator=(const HtmlDocument&) = delete;
    HtmlDocument(HtmlDocument&&) = delete;
    HtmlDocument& operator=(HtmlDocument&&) = delete;

    // Reads the file (read-only; "\\" counts as a separator), converts it when it is
    // valid UTF-8 with a non-ASCII byte, and parses it. 0 when the file cannot be
    // opened, holds 10 MiB or more, has an empty text, or yields no root; then an
    // earlier document stays as it was unless the new text was non-empty.
    int load(std::string_view fileName);
    // Parses `text` (copied; it ends at its first NUL) as load does after reading;
    // a text of 10 MiB or more is refused like such a file.
    int parse(std::string_view text);

    // The last top-level "html" element, else the first other top-level element;
    // null before a successful parse.
    const HtmlElement* root() const { return root_; }
    // The last top-level doctype declaration, or null.
    const HtmlElement* doctype() const { return doctype_; }
    // Every top-level element in document order (linked by nextSibling()).
    HtmlElement::ChildRange topLevel() const { return HtmlElement::ChildRange(firstTopLevel_); }
    // The top-level elements that are neither doctype nor "html" elements.
    ElementList otherTopLevel() const;
    // End tags met in `element`'s content that closed neither it nor one of its open
    // children, each with its leading "/", in source order.
    std::vector<std::string_view> strayEndTags(const HtmlElement& element) const;
    // The text the elements were built from.
    std::string_view text() const { return std::string_view(text_, textLength_); }
    std::size_t elementCount() const { return elementCount_; }

    int convertedFromUtf8 = 0;  // the input was UTF-8 with non-ASCII bytes and was converted
    // The code page UTF-8 input is converted to, by its Windows number; 0: the local
    // one (platform::localCodePage), looked up when a text needs converting.
    unsigned codePage = 0;
    std::string contentType;  // from a meta http-equiv="content-type", before its ";"
    std::string charset;      // from the first meta element that declares one

  private:
    friend class TreeBuilder;
    friend class DocumentText;

    struct Storage;
    // An end tag that closed nothing, in 8 bytes (a worst case has millions): the
    // element that read it, by its place in the arena, and its name in the text.
    struct StrayEndTag {
        static constexpr std::uint32_t kLengthBits = 5;  // names hold at most 16 bytes
        std::uint32_t owner;
        std::uint32_t name;  // offset in the text << kLengthBits | length
    };
    static_assert(std::uint64_t{kMaxInputBytes} << StrayEndTag::kLengthBits <= 0xFFFFFFFFull,
                  "every text offset and name length fit one 32-bit word");

    // Reads the charset declarations of the meta elements below the root the builder
    // chose. 0 when there is no root.
    int detectCharset();
    // Reads one meta element's declaration into charset / contentType; the first
    // charset found wins.
    void examineMeta(const HtmlElement& meta);
    // Takes over a block of text and parses it in place; 0 for none (null).
    int parseStorage(std::unique_ptr<Storage> storage);
    void reset();
    // Converts the text in `storage` to `codePage` (0: the local one) when it is valid
    // UTF-8 with a non-ASCII byte, and sets `converted`. Code page 936 is converted in
    // place; a text that grows gets a new block (with an element arena when `arena`).
    // False when the converter failed.
    static bool prepareText(std::unique_ptr<Storage>& storage, unsigned codePage, bool arena,
                            int& converted);
    HtmlElement* newElement() {
        if (elementCount_ == elementCapacity_) arenaExhausted();
        return new (elements_ + elementCount_++) HtmlElement();
    }
    [[noreturn]] static void arenaExhausted();

    std::unique_ptr<Storage> storage_;
    char* text_ = nullptr;
    std::size_t textLength_ = 0;
    HtmlElement* elements_ = nullptr;
    std::size_t elementCount_ = 0;
    std::size_t elementCapacity_ = 0;
    const HtmlElement* root_ = nullptr;
    const HtmlElement* doctype_ = nullptr;
    const HtmlElement* firstTopLevel_ = nullptr;
    std::vector<StrayEndTag> strayEndTags_;
    std::vector<const HtmlElement*> metas_;  // meta elements below the top level, in order
};

}  // namespace kestrune
