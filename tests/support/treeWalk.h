// SPDX-License-Identifier: MIT
// The tests' one walk over a parsed tree, and the tree's invariants checked on it.
// Free of GoogleTest, so that the fuzz targets share it.
#pragma once

#include <kestrune/document.h>

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace kestrune::testing {

// Calls visit(e, level) for `top` (level 0) and every element below it, in document
// order, and returns how many it visited. The walk keeps its own stack instead of
// following parent links, which treeFault tests, and stops after `limit` elements,
// which a cycle would exceed.
template <typename Visit>
std::size_t walkTree(const HtmlElement& top, std::size_t limit, Visit&& visit) {
    std::vector<const HtmlElement*> next;  // per open level: the element after it
    std::size_t count = 0;
    for (const HtmlElement* e = &top; e != nullptr && count < limit; ++count) {
        visit(*e, static_cast<int>(next.size()));
        const HtmlElement* after = next.empty() ? nullptr : e->nextSibling();
        if (e->firstChild() != nullptr) {
            next.push_back(after);
            e = e->firstChild();
            continue;
        }
        for (e = after; e == nullptr && !next.empty(); next.pop_back()) e = next.back();
    }
    return count;
}

// walkTree over each top-level element in turn: every element of the document.
template <typename Visit>
std::size_t walkDocument(const HtmlDocument& document, Visit&& visit) {
    const std::size_t limit = document.elementCount() + 1;
    std::size_t count = 0;
    for (const HtmlElement& top : document.topLevel()) {
        count += walkTree(top, limit - count, visit);
        if (count == limit) break;
    }
    return count;
}

// The first broken invariant of the tree, or "" when there is none: parent links and
// depths agree with the walk, every text lies inside the document's text, the kind
// flags exclude one another, comments and raw blocks are closed and childless, and
// the walk meets every element built, once.
inline std::string treeFault(const HtmlDocument& document) {
    const std::string_view text = document.text();
    std::vector<const HtmlElement*> path;  // the ancestors of the element visited
    std::string fault;
    auto check = [&](bool holds, const HtmlElement& e, const char* what) {
        if (!holds && fault.empty()) {
            fault = std::string(what) + " at <" + std::string(e.tagName()) + "> on level " +
                    std::to_string(path.size());
        }
    };
    const std::size_t count = walkDocument(document, [&](const HtmlElement& e, int level) {
        path.resize(static_cast<std::size_t>(level));
        check(e.parent() == (path.empty() ? nullptr : path.back()), e, "parent link");
        check(e.depth() == level, e, "depth");
        for (std::string_view v :
             {e.tagName(), e.attributeText(), e.ownText(), e.tail(), e.precedingText()}) {
            check(v.empty() ||
                      (v.data() >= text.data() && v.data() + v.size() <= text.data() + text.size()),
                  e, "view outside the document text");
        }
        const int kinds = e.isComment() + e.isScript() + e.isStyle() + e.isDoctype();
        check(kinds <= 1, e, "two kinds");
        check(kinds == 0 || e.firstChild() == nullptr, e, "children of a special element");
        check(e.closed() || !(e.isComment() || e.isScript() || e.isStyle()), e, "open raw block");
        path.push_back(&e);
    });
    if (fault.empty() && count != document.elementCount()) {
        fault = "walked " + std::to_string(count) + " of " +
                std::to_string(document.elementCount()) + " elements";
    }
    return fault;
}

}  // namespace kestrune::testing
