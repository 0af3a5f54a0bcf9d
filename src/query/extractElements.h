// SPDX-License-Identifier: MIT
// Element extraction without a tree: the elements of one tag name below the root,
// found in a single pass of the parser core over a document's text. Only the chain
// of open elements and the text pieces of elements still open are kept; each found
// element goes to the sink as soon as it and every element found before it are
// complete. The results equal findByTag(tag, list, 1) on the root of the document
// HtmlDocument builds from the same text, with getText(text, 1, 0) and the raw
// attribute text of every listed element.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "base/ByteBuffer.h"

namespace kestrune {

// How the extraction settles the root: Early streams a candidate's report as soon as
// no "html" tag can follow it; Hold, the reference, holds every candidate's report
// until the text ends.
enum class RootSettling { Early, Hold };

class ElementSink {
  public:
    virtual ~ElementSink() = default;
    // One found element (extractElements only), in document order: its raw attribute text and its
    // decoded text (both valid during the call). What the sink writes goes to `out`; `first` marks
    // the first element of the report.
    virtual void element(ByteBuffer& /*out*/, std::string_view /*attributeText*/,
                         std::string_view /*text*/, bool /*first*/) {}
    // One found comment, script or style element (extractRawBlocks only), numbered
    // from 1 in document order: its tag name as written, raw attribute text and raw
    // content.
    virtual void rawBlock(ByteBuffer& /*out*/, std::string_view /*tagName*/,
                          std::string_view /*attributeText*/, std::string_view /*content*/,
                          bool /*comment*/, std::size_t /*number*/) {}
    // A block of what element() wrote, for the report, in order. Called at least
    // once (perhaps with no bytes) when there is a root, never before the root is
    // known, and never when there is none.
    virtual void output(std::string_view bytes) = 0;
};

// Parses [text, text + length) (NUL-terminated, zero padding behind it, as a
// document's text is; tag names lose CR, LF and TAB in place, in a way that reading
// the text again gives the same names) and reports the elements named `tagName`
// (ASCII case ignored) below the root. False, with nothing output, when the text
// yields no root. The report of a root candidate is held until the root is known
// (at once when no "html" tag can follow it); a report too large to hold is made
// by a second pass that knows the root.
bool extractElements(char* text, std::size_t length, std::string_view tagName, ElementSink& sink,
                     RootSettling settling = RootSettling::Early);

// The same for the raw blocks of a report on "script", "style" or "!--": the
// elements named `tagName` below the root, each handed to sink.rawBlock as soon as
// the core has read it (raw elements hold no other element). The results equal
// findByTag(tag, list, 1) on the root with each element's outerHtml.
bool extractRawBlocks(char* text, std::size_t length, std::string_view tagName, ElementSink& sink,
                      RootSettling settling = RootSettling::Early);

}  // namespace kestrune
