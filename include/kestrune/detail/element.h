// SPDX-License-Identifier: MIT
// Not for callers: how an element is laid out in its document's arena. Only
// kestrune/document.h includes this header, for its inline accessors; the names here
// may change in any release.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace kestrune {

class HtmlElement;

namespace detail {

// A text of an element, stored as its distance back from the element and its length
// (texts are never further than 4 GiB away).
struct TextSpan {
    std::uint32_t back = 0;
    std::uint32_t length = 0;
};

// An element: four links and four texts of 32 bits. Links are distances in
// elements (back to the parent, forward to the first child and the next sibling; 0
// for none); the state holds the depth and, above it, why the element is complete.
struct ElementLinks {
    static constexpr std::uint32_t kDepthMask = (1u << 27) - 1;
    static constexpr std::uint32_t kClosed = 1u << 27;
    static constexpr std::uint32_t kComment = 1u << 28;
    static constexpr std::uint32_t kScript = 1u << 29;
    static constexpr std::uint32_t kStyle = 1u << 30;
    static constexpr std::uint32_t kDoctype = 1u << 31;
    static constexpr std::uint32_t kRaw = kComment | kScript | kStyle;

    std::uint32_t state = 0;  // depth in the low 27 bits, flags above
    std::uint32_t parent = 0;
    std::uint32_t firstChild = 0;
    std::uint32_t nextSibling = 0;
    TextSpan tagName;
    TextSpan attributeText;
    TextSpan ownText;   // as written; the raw content of a comment, script or style
    TextSpan trailing;  // as written: precedingText at the top level, tail below it
};

// The text of a slot (own text, tail, preceding text) as the tree reads it, from
// the text as written: the white space at its start is dropped when a tag follows
// it, and a text of white space only is empty. A text that ends the page without a
// tag after it (the page's last text, or an unterminated tag) stays as written.
// Texts are views into a document's text, which a NUL ends.
std::string_view trimmedText(std::string_view asWritten);

// The library's own way to build elements (src/html); defined there.
struct ElementAccess;

}  // namespace detail
}  // namespace kestrune
