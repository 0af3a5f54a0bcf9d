// SPDX-License-Identifier: MIT
// Element extraction without a tree: the elements of one tag name below the root,
// found in a single pass of the parser core over a document's text. Only the chain
// of open elements and the text pieces of elements still open are kept; each found
// element goes to the sink as soon as it and every element found before it are
// complete. The results equal findByTag(tag, list, 1) on the root of the document
// HtmlDocument builds from the same text, with getText(text, 1, 0) (or, with
// asWritten, the same text from the texts as written) and the raw attribute text of
// every listed element.
#pragma once

#include <kestrune/select.h>

#include <cstddef>
#include <string>
#include <string_view>

#include "html/textScan.h"

namespace kestrune {

// How the extraction settles the root: Early streams a candidate's report as soon as
// no "html" tag can follow it; Hold, the reference, holds every candidate's report
// until the text ends.
enum class RootSettling { Early, Hold };

// Which of the two held reports a root candidate's findings are kept as until the
// text ends: the first top-level element that is neither doctype nor "html", or the
// latest "html" one (which replaces an earlier one).
enum class HeldAs { FirstOther, LastHtml };

// Where a run's findings go while the root is not known. The findings of the
// top-level element being read are its own; they become the report when the run
// says so (stream: it is the root for certain; commit: it was held and turned out
// to be the root), or are dropped. The sink owns what it holds.
class RootCandidates {
  public:
    virtual ~RootCandidates() = default;
    // The top-level element being read is the root: its findings so far and from now
    // on are the report's.
    virtual void stream() = 0;
    // The top-level element being read ends and may still be the root: its findings
    // are held as `as`, replacing what was held there.
    virtual void keep(HeldAs as) = 0;
    // The text has ended: the findings held as `as` are the report's, the others dropped.
    virtual void commit(HeldAs as) = 0;
    // Everything held is dropped: the run stopped holding, and a second pass that
    // knows the root makes the report.
    virtual void dropAll() = 0;
    // Bytes held for candidates not yet decided (the one being read included).
    virtual std::size_t heldBytes() const = 0;
    // True once the report cannot be made: nothing more need be found for it.
    virtual bool failed() const { return false; }
};

// What the extraction finds, in document order, for the top-level element being read.
class ElementSink {
  public:
    virtual ~ElementSink() = default;
    // One found element (extractElements only): its raw attribute text and its
    // decoded text (both valid during the call).
    virtual void element(std::string_view /*attributeText*/, std::string_view /*text*/) {}
    // One found comment, script or style element (extractRawBlocks only), numbered
    // from 1 in document order: its tag name as written, raw attribute text and raw
    // content.
    virtual void rawBlock(std::string_view /*tagName*/, std::string_view /*attributeText*/,
                          std::string_view /*content*/, bool /*comment*/, std::size_t /*number*/) {}
};

// Parses the scanned text (only reading it) and reports the elements named `tagName`
// (ASCII case ignored) below the root. False when the text yields no root (the
// candidates' findings are then all dropped). The findings of a root candidate are
// held until the root is known (at once when no "html" tag can follow it: none
// begins after `lastHtmlTag`, the scan's); when what is held grows too large, a
// second pass that knows the root makes the report.
// The elements an extraction reports: those named `tagName`, or with a selector
// that streams (Selector::streams()) those it matches, the root among them.
struct ElementQuery {
    std::string_view tagName;
    const Selector* selector = nullptr;
    bool textsAsWritten = false;  // texts keep the white space at their pieces' start
};

bool extractElements(const ScannedText& text, std::size_t lastHtmlTag, const ElementQuery& query,
                     ElementSink& sink, RootCandidates& candidates,
                     RootSettling settling = RootSettling::Early);

// The same for the raw blocks of a report on "script", "style" or "!--": the
// elements named `tagName` below the root, each handed to sink.rawBlock as soon as
// the core has read it (raw elements hold no other element). The results equal
// findByTag(tag, list, 1) on the root with each element's outerHtml.
bool extractRawBlocks(const ScannedText& text, std::size_t lastHtmlTag, std::string_view tagName,
                      ElementSink& sink, RootCandidates& candidates,
                      RootSettling settling = RootSettling::Early);

}  // namespace kestrune
