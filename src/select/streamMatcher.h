// SPDX-License-Identifier: MIT
// Internal to the library: a selector matched while a page is read, from the events of
// the parser core. Each element that opens is matched from its tag name, its raw
// attribute text and the rows of the elements still open around it, with the same
// per-element step the tree evaluator uses (step.h); the matcher keeps one row of
// bits per open element on a stack.
//
//   StreamMatcher matcher(selector);        // selector.streams()
//   matcher.open("div", " class=a");         // false
//   matcher.open("p", "");                   // true for "div.a > p"
//   matcher.close();                         // the p
//
// open() and close() cost O(size of the selector) and allocate nothing beyond the
// stack's amortised growth. Elements that never match (comments, doctype, text-only
// pieces: tag names "!--", "!doctype", "") are opened and closed like the others and
// answer false. An element opened without a parent is an element with no parent for
// :root. Top-level elements other than the document's root are never candidates of
// select(); a caller that wants its results leaves their answers out.
#pragma once

#include <kestrune/select.h>

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "select/rules.h"
#include "select/step.h"

namespace kestrune::selectors {

class StreamMatcher {
  public:
    // A selector that does not stream (or did not compile) matches nothing.
    explicit StreamMatcher(const Selector& selector);

    // A new element inside the innermost open one (or at the top when none is open);
    // true when the selector matches it. The views need to live only during the call.
    bool open(std::string_view tagName, std::string_view attributeText);
    // The innermost open element ends. Nothing happens when none is open.
    void close();
    // The number of open elements.
    std::size_t depth() const { return depth_; }

  private:
    Selector selector_;  // keeps the compiled form alive
    bool active_;
    std::size_t words_;
    std::vector<std::uint64_t> rows_;  // depth_ rows of words_ words, the outermost first
    std::size_t depth_ = 0;
    TestScratch scratch_;
    RememberedRows remembered_;
};

}  // namespace kestrune::selectors
