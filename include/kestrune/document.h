// SPDX-License-Identifier: MIT
/// \file
/// Kestrune's document model: an HTML page parsed by the lenient parser into a tree of
/// elements, with the read-only queries (find by tag, attributes, texts) and the
/// serialiser as their operations.
///
/// \code{.cpp}
///   #include <kestrune/document.h>
///
///   // The href of every link of the page that has one.
///   std::vector<std::string> hrefs(std::string_view page) {
///       std::vector<std::string> found;
///       kestrune::HtmlDocument document;
///       if (!document.parse(page)) return found;
///       kestrune::ElementList links;
///       document.root()->findByTag("a", links, 1);
///       for (const kestrune::HtmlElement* a : links) {
///           std::string href;
///           if (a->getAttribute("href", href)) found.push_back(href);
///       }
///       return found;
///   }
/// \endcode
///
/// Elements live in their document's arena, right behind the document's text, and
/// are immutable once built. Every text of an element is a view into that text:
/// views stay valid, and element pointers stay valid, while the HtmlDocument lives
/// and until it parses again. An element is 48 bytes (kestrune/detail/element.h
/// holds its layout, which is not for callers).
/// Threads: a document's const operations may be called from many threads at once.
/// Errors: loads and parses report failure in their results; no exception leaves
/// these calls except std::bad_alloc.
#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <memory>
#include <new>
#include <string>
#include <string_view>
#include <vector>

#include "kestrune/detail/element.h"

namespace kestrune {

class HtmlElement;

/// Element references in document order; they own nothing.
using ElementList = std::vector<const HtmlElement*>;

/// Attribute name to value: unique names in unsigned byte order (a prefix before its
/// extensions, "ID" before "id").
using AttributeMap = std::map<std::string, std::string>;

/// An element of a parsed page: a node of its document's tree, read-only, owned by
/// the HtmlDocument it belongs to.
class HtmlElement {
  public:
    HtmlElement(const HtmlElement&) = delete;
    HtmlElement& operator=(const HtmlElement&) = delete;

    /// Nesting level: 0 at the top of the document, the parent's depth + 1 below.
    int depth() const { return static_cast<int>(links_.state & detail::ElementLinks::kDepthMask); }
    /// True once the element is known to be complete (its end tag, "/>", a void tag,
    /// raw content read, or a later end tag matched to it by its parent).
    bool closed() const { return flag(detail::ElementLinks::kClosed); }
    /// A comment, a script element, a style element, a doctype declaration.
    ///@{
    bool isComment() const { return flag(detail::ElementLinks::kComment); }
    bool isScript() const { return flag(detail::ElementLinks::kScript); }
    bool isStyle() const { return flag(detail::ElementLinks::kStyle); }
    bool isDoctype() const { return flag(detail::ElementLinks::kDoctype); }
    ///@}

    /// The tag name as written (letter case kept); "!--" for a comment; empty for a
    /// top-level element made of plain text.
    std::string_view tagName() const { return view(links_.tagName); }
    /// The raw attribute part of the start tag, from the space after the name up to
    /// ">" (a final "/" removed); empty when there is none.
    std::string_view attributeText() const { return view(links_.attributeText); }
    /// Text between the start tag and the first child, without the white space at its
    /// start; the whole raw content of a comment, script or style element.
    std::string_view ownText() const {
        const std::string_view written = view(links_.ownText);
        return flag(detail::ElementLinks::kRaw) ? written : detail::trimmedText(written);
    }
    /// Top-level elements only: the text in front of the start tag.
    std::string_view precedingText() const {
        return links_.parent == 0 ? detail::trimmedText(view(links_.trailing)) : std::string_view();
    }
    /// Below the top level only: the text after the element inside its parent, without
    /// the white space at its start.
    std::string_view tail() const {
        return links_.parent != 0 ? detail::trimmedText(view(links_.trailing)) : std::string_view();
    }
    ///@{
    /// The same two texts as written, white space at their start kept (the white space
    /// between two tags, too).
    std::string_view ownTextAsWritten() const { return view(links_.ownText); }
    std::string_view tailAsWritten() const {
        return links_.parent != 0 ? view(links_.trailing) : std::string_view();
    }
    ///@}

    /// Null for a top-level element.
    const HtmlElement* parent() const {
        return links_.parent == 0 ? nullptr : this - links_.parent;
    }
    /// The first child, or null.
    const HtmlElement* firstChild() const {
        return links_.firstChild == 0 ? nullptr : this + links_.firstChild;
    }
    /// The next child of the same parent (for top-level elements: the next top-level
    /// element), or null.
    const HtmlElement* nextSibling() const {
        return links_.nextSibling == 0 ? nullptr : this + links_.nextSibling;
    }
    /// Children in source order, e.g. `for (const HtmlElement& c : e.children())`.
    class ChildRange;
    /// \copydoc ChildRange
    ChildRange children() const;

    ///@{
    /// The attributes of the start tag, parsed from attributeText(): name=value pieces
    /// (the first value of a name stays) and the valueless words in source order,
    /// quotes kept.
    AttributeMap attributes() const;
    std::vector<std::string> valuelessAttributes() const;
    ///@}

    // ----- Queries (read-only; all iterative, so safe at any depth) -----

    /// Appends to `list` every element below this one whose tag name equals `name`
    /// (ASCII case ignored), in document order; the element itself is never tested.
    /// With recursive == 0 only the children are tested. The list is not cleared.
    /// Returns list.size().
    int findByTag(std::string_view name, ElementList& list, int recursive) const;
    /// True and `value` = the decoded value of the first attribute, in byte order of
    /// the names, whose name equals `name` ignoring ASCII case; false and `value`
    /// untouched when there is none. Valueless words are never found.
    bool getAttribute(std::string_view name, std::string& value) const;
    /// `text` = ownText, then per child (its text when recursive != 0) and its tail,
    /// with character references decoded once over the whole. With skipSpecial != 0
    /// comment, script, style and doctype children are left out with their tails.
    /// The element's own tail is never part of it. Always true: every element has a
    /// text, perhaps empty.
    bool getText(std::string& text, int recursive, int skipSpecial) const;

    // ----- Serialiser -----

    /// `out` = the element and its subtree as indented HTML with CR LF line ends.
    /// Returns 1; 0 (and `out` = precedingText) for an element without a tag name; -1
    /// (and `out` empty) when the HTML would be longer than `limit` bytes (0: 64 times
    /// the bytes its subtree was read from, at least 16 MiB, at most 1 GiB: each level
    /// of nesting indents every line below it, so a deep subtree asks for far more
    /// than itself).
    int outerHtml(std::string& out, int lineBreaks, std::size_t limit = 0) const;
    /// The valueless words joined by spaces, then name="value" pieces (each followed
    /// by a space) in byte order of the names; values as stored, not decoded.
    std::string attributesString() const;
    /// `out` = attributesString(). Always true.
    bool writeAttributes(std::string& out) const;

  private:
    friend struct detail::ElementAccess;

    HtmlElement() = default;

    bool flag(std::uint32_t bits) const { return (links_.state & bits) != 0; }
    std::string_view view(detail::TextSpan s) const {
        return std::string_view(reinterpret_cast<const char*>(this) - s.back, s.length);
    }

    detail::ElementLinks links_;
};

/// The children of an element in source order, as a range for a range-based for loop.
class HtmlElement::ChildRange {
  public:
    /// A forward iterator over the children, from an element to its next sibling.
    class Iterator {
      public:
        /// At `e`; null is the end.
        explicit Iterator(const HtmlElement* e) : element_(e) {}
        /// The element it is at.
        ///@{
        const HtmlElement& operator*() const { return *element_; }
        const HtmlElement* operator->() const { return element_; }
        ///@}
        /// On to the next sibling.
        Iterator& operator++() {
            element_ = element_->nextSibling();
            return *this;
        }
        /// Whether the two are at the same element.
        ///@{
        bool operator==(const Iterator& o) const { return element_ == o.element_; }
        bool operator!=(const Iterator& o) const { return element_ != o.element_; }
        ///@}

      private:
        const HtmlElement* element_;
    };
    /// The children from `first` on (none when it is null).
    explicit ChildRange(const HtmlElement* first) : first_(first) {}
    /// The first child, and the end.
    ///@{
    Iterator begin() const { return Iterator(first_); }
    Iterator end() const { return Iterator(nullptr); }
    ///@}
    /// True when there is no child.
    bool empty() const { return first_ == nullptr; }

  private:
    const HtmlElement* first_;
};

static_assert(sizeof(HtmlElement) == 48, "an element is four links and four texts of 32 bits");

inline HtmlElement::ChildRange HtmlElement::children() const { return ChildRange(firstChild()); }

/// Pages of this size or larger are refused, whatever they hold (a NUL early in a page
/// does not make it smaller).
inline constexpr long long kMaxInputBytes = 10 * 1024 * 1024;
/// Whether a page of `bytes` bytes is refused by that rule.
inline constexpr bool isTooLargeInput(std::size_t bytes) {
    return bytes >= static_cast<std::size_t>(kMaxInputBytes);
}

namespace detail {
struct DocumentState;
}  // namespace detail

/// An HTML page parsed into a tree of HtmlElement: it owns the text and every element.
class HtmlDocument {
  public:
    HtmlDocument();
    virtual ~HtmlDocument();
    /// Elements point into the document's own storage: it can be neither copied nor moved.
    HtmlDocument(const HtmlDocument&) = delete;
    HtmlDocument& operator=(const HtmlDocument&) = delete;
    HtmlDocument(HtmlDocument&&) = delete;
    HtmlDocument& operator=(HtmlDocument&&) = delete;

    /// Reads the file (read-only; "\\" counts as a separator), converts it when it is
    /// valid UTF-8 with a non-ASCII byte, and parses it. False when the file cannot be
    /// opened, holds 10 MiB or more, has an empty text, or yields no root; then an
    /// earlier document stays as it was unless the new text was non-empty.
    bool load(std::string_view fileName);
    /// Parses `text` (copied; it ends at its first NUL) as load does after reading; a
    /// text of 10 MiB or more is refused like such a file.
    bool parse(std::string_view text);

    /// The code page UTF-8 input is converted to, by its Windows number, for the loads
    /// and parses that follow; 0 (the default): the local one (KESTRUNE_CODEPAGE, else
    /// the system's), looked up when a text needs converting.
    ///@{
    void setCodePage(unsigned codePage);
    unsigned codePage() const;
    ///@}

    /// Whether tag names and attributes also end at TAB, LF, FF and CR, as browsers read
    /// them, for the loads and parses that follow: every start and end tag the parser
    /// reads has those bytes turned into spaces (in the document's text too). Off by
    /// default: names and attributes end at spaces only, and lose CR, LF and TAB
    /// (`<A\nHREF=x>` is an element "AHREF=x").
    ///@{
    void setHtmlWhitespace(bool on);
    bool htmlWhitespace() const;
    ///@}

    /// The last top-level "html" element, else the first other top-level element;
    /// null before a successful parse.
    const HtmlElement* root() const;
    /// The last top-level doctype declaration, or null.
    const HtmlElement* doctype() const;
    /// Every top-level element in document order (linked by nextSibling()).
    HtmlElement::ChildRange topLevel() const;
    /// The top-level elements that are neither doctype nor "html" elements.
    ElementList otherTopLevel() const;
    /// End tags met in `element`'s content that closed neither it nor one of its open
    /// children, each with its leading "/", in source order.
    std::vector<std::string_view> strayEndTags(const HtmlElement& element) const;
    /// The text the elements were built from.
    std::string_view text() const;
    /// The number of elements.
    std::size_t elementCount() const;

    /// The text was UTF-8 with non-ASCII bytes and was converted to the code page.
    bool convertedFromUtf8() const;
    /// From a meta http-equiv="content-type" below the root, before its ";"; empty
    /// when there is none.
    std::string_view contentType() const;
    /// From the first meta element below the root that declares one; empty when none
    /// does.
    std::string_view charset() const;

  private:
    std::unique_ptr<detail::DocumentState> state_;  // owned; never null
};

}  // namespace kestrune
