// SPDX-License-Identifier: MIT
// HtmlDocument: one parsed HTML document. It owns the document's text (as read,
// converted to the local code page when it was UTF-8, cut at its first NUL) and every
// element, which are views into that text.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <new>
#include <string>
#include <string_view>
#include <vector>

#include "html/HtmlElement.h"

namespace kestrune {

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
    // Takes over a block holding `length` bytes of text; parses it in place.
    int parseStorage(std::unique_ptr<Storage> storage, std::size_t length);
    void reset();
    // Converts the `length` bytes of text in `storage` to `codePage` (0: the local
    // one) when they are valid UTF-8 with a non-ASCII byte, and sets `converted`.
    // Code page 936 is converted in place; a text that grows gets a new block (with an
    // element arena when `arena`). False when the converter failed.
    static bool prepareText(std::unique_ptr<Storage>& storage, std::size_t& length,
                            unsigned codePage, bool arena, int& converted);
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

// 1 when the bytes of [text, text + length) are UTF-8 by a lax rule (lead bytes
// announce 1 to 5 continuation bytes; overlong forms and surrogates pass) with
// nothing pending at the end; allAscii = 1 when no byte >= 0x80 was seen before the
// scan ended.
int isUtf8(std::string_view text, int& allAscii);

// The number of space, TAB, CR and LF bytes at the start of `text`.
std::size_t countLeadingWhitespace(std::string_view text);

}  // namespace kestrune
