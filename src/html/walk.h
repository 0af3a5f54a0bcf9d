// SPDX-License-Identifier: MIT
// Internal to src/html and src/query: iterative walks over a subtree.
#pragma once

#include <kestrune/document.h>

namespace kestrune {

// Visits every element below `top` (top itself excluded) in document order:
// enter(e) before e's children, leave(e) after them. When enter returns false the
// children of e are skipped (leave(e) still follows). Uses no stack: safe at any
// depth.
template <typename Enter, typename Leave>
void walkBelow(const HtmlElement& top, Enter&& enter, Leave&& leave) {
    const HtmlElement* e = top.firstChild();
    while (e != nullptr) {
        const HtmlElement* child = enter(*e) ? e->firstChild() : nullptr;
        if (child != nullptr) {
            e = child;
            continue;
        }
        // Leave e, then every ancestor whose last child it was, up to top.
        while (true) {
            leave(*e);
            if (const HtmlElement* next = e->nextSibling()) {
                e = next;
                break;
            }
            e = e->parent();
            if (e == &top || e == nullptr) return;
        }
    }
}

}  // namespace kestrune
