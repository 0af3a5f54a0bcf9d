// SPDX-License-Identifier: MIT
// The library's one report run on one page (for the program and extract()), from its bytes or its
// file to the findings in document order. The program and the library call both run through here;
// what they do with the findings (render and stream them, or keep them) is the Findings'.
#pragma once

#include <kestrune/extract.h>

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "query/extractElements.h"
#include "query/report.h"

namespace kestrune {

// The page: a file to read, or bytes in memory.
struct PageSource {
    std::string_view fileName = {};  // read when `bytes` is not used
    std::string_view bytes = {};
    bool inMemory = false;
};

struct RunRequest {
    std::string_view tagName;
    // Instead of the tag: the elements a compiled selector matches (mode Elements).
    const Selector* selector = nullptr;
    const std::vector<std::string>* attributeNames = nullptr;  // in order; empty: "attr"
    ReportMode mode = ReportMode::Elements;                    // reportModeOf(tagName)
    unsigned codePage = 0;                                     // 0: the local one
    bool textsAsWritten = false;  // element texts keep the white space at their pieces' start
    bool htmlWhitespace = false;  // HtmlDocument::setHtmlWhitespace
};

// What a run finds, in document order. Findings come per root candidate (see
// RootCandidates): the sink holds them until the run says whose they are.
class Findings : public RootCandidates {
  public:
    // The page is read and parsed now, for a report in `mode` (Elements when a doctype
    // report finds no doctype and reports the elements of that name).
    virtual void start(ReportMode mode) = 0;
    // The document type's words, as attributesString gives them.
    virtual void doctype(std::string_view words) = 0;
    // An element's values that are not empty, as found (the text decoded); valid
    // during the call.
    virtual void element(const std::vector<KeyedValue>& values) = 0;
    // A raw block as HTML, numbered from 1 within its top-level element.
    virtual void rawBlock(std::size_t number, std::string_view html) = 0;
};

// The part of RootCandidates every sink shares: the findings of each candidate in a
// Part of its own. Part has clear(), swap(Part&) and bytes() (what it holds). The
// findings of the element being read go to current(); once the root is known,
// current() holds the report's (or, while streaming, what has not been handed on).
template <typename Part>
class HeldParts : public Findings {
  public:
    void stream() override { streaming_ = true; }
    void keep(HeldAs as) override {
        held(as).swap(current_);
        current_.clear();
    }
    void commit(HeldAs as) override {
        current_.swap(held(as));
        held(HeldAs::FirstOther).clear();
        held(HeldAs::LastHtml).clear();
        streaming_ = true;
    }
    void dropAll() override {
        current_.clear();
        firstOther_.clear();
        lastHtml_.clear();
    }
    std::size_t heldBytes() const override {
        return current_.bytes() + firstOther_.bytes() + lastHtml_.bytes();
    }

  protected:
    Part& current() { return current_; }
    const Part& current() const { return current_; }
    // True once current() is the root's.
    bool streaming() const { return streaming_; }

  private:
    Part& held(HeldAs as) { return as == HeldAs::LastHtml ? lastHtml_ : firstOther_; }

    Part current_;
    Part firstOther_;
    Part lastHtml_;
    bool streaming_ = false;
};

// Reads the page (refused from 10 MiB; cut at its first NUL; UTF-8 with a non-ASCII
// byte converted to the code page), then reports on it. Not Ok when the page cannot
// be read or has no root; findings.start() may have been called, and findings
// dropped, nothing else.
Status runReport(const PageSource& page, const RunRequest& request, Findings& findings);

}  // namespace kestrune
