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

#include "base/ByteBuffer.h"
#include "query/extractElements.h"
#include "query/report.h"

namespace kestrune {

// How attribute names are looked up: the finder's choice, or one way only.
enum class NameLookUp { Auto, OneByOne, Search };

// The page: a file to read, or bytes in memory.
struct PageSource {
    std::string_view fileName = {};  // read when `bytes` is not used
    std::string_view bytes = {};
    bool inMemory = false;
};

struct RunRequest {
    std::string_view tagName;
    const std::vector<std::string>* attributeNames = nullptr;  // in order; empty: "attr"
    ReportMode mode = ReportMode::Elements;                    // reportModeOf(tagName)
    unsigned codePage = 0;                                     // 0: the local one
    // The references the fast paths are compared with in tests: the tree for every
    // mode, held candidates, look-ups of attribute names one way only.
    bool fromTree = false;
    RootSettling settling = RootSettling::Early;
    NameLookUp lookUp = NameLookUp::Auto;
};

// What a run finds, in document order. What element() and rawBlock() write to `out`
// is handed back through output(), in blocks of whole elements, once the root is
// known (a root candidate's findings may be dropped unseen).
class Findings {
  public:
    virtual ~Findings() = default;
    // The page is read and parsed now, for a report in `mode` (Elements when a doctype
    // report finds no doctype and reports the elements of that name).
    virtual void start(ReportMode mode) = 0;
    // The document type's words, as attributesString gives them.
    virtual void doctype(std::string_view words) = 0;
    // An element's values that are not empty, as found (the text decoded).
    virtual void element(ByteBuffer& out, const std::vector<KeyedValue>& values, bool first) = 0;
    // A raw block as HTML, numbered from 1.
    virtual void rawBlock(ByteBuffer& out, std::size_t number, std::string_view html) = 0;
    virtual void output(std::string_view bytes) = 0;
    // True once the report can no longer be written: nothing more need be found for it.
    virtual bool failed() const { return false; }
};

// Reads the page (refused from 10 MiB; cut at its first NUL; UTF-8 with a non-ASCII
// byte converted to the code page), then reports on it. Not Ok when the page cannot
// be read or has no root; findings.start() may have been called, nothing else.
Status runReport(const PageSource& page, const RunRequest& request, Findings& findings);

}  // namespace kestrune
