// SPDX-License-Identifier: MIT
// The reference the selector engine is compared with: each selector matched on each
// candidate by the definitions, right to left, recursively, answers kept per
// (selector part, element). For tests and fuzzing on small pages only: recursion
// follows the tree's depth. Free of GoogleTest, so that the fuzz targets share it.
#pragma once

#include <kestrune/document.h>

#include <cstddef>
#include <map>
#include <string>
#include <string_view>
#include <tuple>
#include <vector>

#include "base/asciiTable.h"
#include "html/walk.h"
#include "select/rules.h"
#include "select/streamMatcher.h"
#include "select/syntax.h"

namespace kestrune::testing {

class ReferenceSelector {
  public:
    explicit ReferenceSelector(std::string_view text)
        : ok_(selectors::parseSelector(text, syntax_, error_)) {}

    bool ok() const { return ok_; }
    const SelectorError& error() const { return error_; }

    // The root and its descendants that match, in document order.
    ElementList select(const HtmlDocument& document) {
        ElementList found;
        if (!ok_ || document.root() == nullptr) return found;
        for (const HtmlElement* e : inclusiveDescendants(*document.root()))
            keepIfMatching(*e, found);
        return found;
    }
    // The descendants of the scope that match.
    ElementList select(const HtmlElement& scope) {
        ElementList found;
        if (!ok_) return found;
        for (const HtmlElement* e : inclusiveDescendants(scope)) {
            if (e != &scope) keepIfMatching(*e, found);
        }
        return found;
    }

  private:
    using Complex = selectors::Complex;
    using Compound = selectors::Compound;
    using Combinator = selectors::Combinator;

    void keepIfMatching(const HtmlElement& e, ElementList& found) {
        if (counts(e) && matchesList(e, static_cast<std::uint32_t>(syntax_.lists.size() - 1)))
            found.push_back(&e);
    }

    static bool counts(const HtmlElement& e) { return selectors::countsAsElement(e.tagName()); }

    static ElementList inclusiveDescendants(const HtmlElement& top) {
        ElementList all{&top};
        for (const HtmlElement& child : top.children()) {
            for (const HtmlElement* e : inclusiveDescendants(child)) all.push_back(e);
        }
        return all;
    }
    static ElementList countedChildren(const HtmlElement& e) {
        ElementList list;
        for (const HtmlElement& child : e.children()) {
            if (counts(child)) list.push_back(&child);
        }
        return list;
    }
    // The element and its siblings in order; an element without a parent is alone.
    static ElementList siblingsOf(const HtmlElement& e) {
        return e.parent() == nullptr ? ElementList{&e} : countedChildren(*e.parent());
    }
    static std::size_t indexIn(const ElementList& list, const HtmlElement& e) {
        std::size_t i = 0;
        while (list[i] != &e) ++i;
        return i;
    }

    // Elements r with `e c r`: what the part after combinator c may match.
    static ElementList forwardOf(const HtmlElement& e, Combinator c) {
        ElementList out;
        switch (c) {
            case Combinator::Descendant:
                for (const HtmlElement* d : inclusiveDescendants(e)) {
                    if (d != &e && counts(*d)) out.push_back(d);
                }
                break;
            case Combinator::Child:
                out = countedChildren(e);
                break;
            case Combinator::Adjacent:
            case Combinator::Sibling: {
                const ElementList siblings = siblingsOf(e);
                for (std::size_t i = indexIn(siblings, e) + 1; i < siblings.size(); ++i) {
                    out.push_back(siblings[i]);
                    if (c == Combinator::Adjacent) break;
                }
                break;
            }
        }
        return out;
    }
    // Elements l with `l c e`.
    static ElementList backwardOf(const HtmlElement& e, Combinator c) {
        ElementList out;
        switch (c) {
            case Combinator::Descendant:
                for (const HtmlElement* a = e.parent(); a != nullptr; a = a->parent())
                    out.push_back(a);
                break;
            case Combinator::Child:
                if (e.parent() != nullptr) out.push_back(e.parent());
                break;
            case Combinator::Adjacent:
            case Combinator::Sibling: {
                const ElementList siblings = siblingsOf(e);
                for (std::size_t i = indexIn(siblings, e); i-- > 0;) {
                    out.push_back(siblings[i]);
                    if (c == Combinator::Adjacent) break;
                }
                break;
            }
        }
        return out;
    }

    bool matchesList(const HtmlElement& e, std::uint32_t list) {
        for (const Complex& item : syntax_.lists[list].items) {
            if (matchesComplex(e, item, item.compounds.size() - 1)) return true;
        }
        return false;
    }
    // Compound k of the complex matches e, and the part before it matches an element
    // its combinator relates to e.
    bool matchesComplex(const HtmlElement& e, const Complex& complex, std::size_t k) {
        const auto key = std::make_tuple(&complex, k, &e, false);
        if (auto it = memo_.find(key); it != memo_.end()) return it->second;
        bool result = matchesCompound(e, complex.compounds[k]);
        if (result && k > 0) {
            result = false;
            for (const HtmlElement* l : backwardOf(e, complex.compounds[k].combinator)) {
                if (matchesComplex(*l, complex, k - 1)) {
                    result = true;
                    break;
                }
            }
        }
        return memo_[key] = result;
    }
    // Compound k of a relative complex matches r, and the rest of the chain goes on
    // from r.
    bool chainFrom(const HtmlElement& r, const Complex& complex, std::size_t k) {
        const auto key = std::make_tuple(&complex, k, &r, true);
        if (auto it = memo_.find(key); it != memo_.end()) return it->second;
        bool result = matchesCompound(r, complex.compounds[k]);
        if (result && k + 1 < complex.compounds.size()) {
            result = false;
            for (const HtmlElement* next : forwardOf(r, complex.compounds[k + 1].combinator)) {
                if (chainFrom(*next, complex, k + 1)) {
                    result = true;
                    break;
                }
            }
        }
        return memo_[key] = result;
    }
    bool matchesCompound(const HtmlElement& e, const Compound& compound) {
        for (const selectors::Simple& s : compound.simples) {
            if (!matchesSimple(e, s)) return false;
        }
        return true;
    }
    // Whether e's place among the siblings that pass `keep` is a*n + b.
    template <typename Keep>
    static bool placed(const HtmlElement& e, const selectors::Simple& s, bool fromEnd,
                       Keep&& keep) {
        ElementList kept;
        for (const HtmlElement* sibling : siblingsOf(e)) {
            if (keep(*sibling)) kept.push_back(sibling);
        }
        const std::size_t i = indexIn(kept, e);
        const auto position = static_cast<std::int64_t>(fromEnd ? kept.size() - i : i + 1);
        return selectors::nthMatches(s.a, s.b, position);
    }
    bool matchesSimple(const HtmlElement& e, const selectors::Simple& s) {
        using selectors::Pseudo;
        if (s.isTest)
            return selectors::passesTest(syntax_.tests[s.test], e.tagName(), e.attributeText(),
                                         scratch_);
        auto all = [](const HtmlElement&) { return true; };
        auto sameType = [&](const HtmlElement& o) {
            return equalsIgnoreCase(o.tagName(), e.tagName());
        };
        auto first = [](selectors::Simple x) {
            x.a = 0;
            x.b = 1;
            return x;
        };
        switch (s.pseudo) {
            case Pseudo::Root:
                return e.parent() == nullptr;
            case Pseudo::Empty:
                return selectors::isEmptyElement(e);
            case Pseudo::FirstChild:
                return placed(e, first(s), false, all);
            case Pseudo::LastChild:
                return placed(e, first(s), true, all);
            case Pseudo::OnlyChild:
                return siblingsOf(e).size() == 1;
            case Pseudo::FirstOfType:
                return placed(e, first(s), false, sameType);
            case Pseudo::LastOfType:
                return placed(e, first(s), true, sameType);
            case Pseudo::OnlyOfType:
                return placed(e, first(s), false, sameType) && placed(e, first(s), true, sameType);
            case Pseudo::NthChild:
            case Pseudo::NthLastChild: {
                const bool fromEnd = s.pseudo == Pseudo::NthLastChild;
                if (s.list == selectors::kNoList) return placed(e, s, fromEnd, all);
                auto inList = [&](const HtmlElement& o) { return matchesList(o, s.list); };
                return inList(e) && placed(e, s, fromEnd, inList);
            }
            case Pseudo::NthOfType:
                return placed(e, s, false, sameType);
            case Pseudo::NthLastOfType:
                return placed(e, s, true, sameType);
            case Pseudo::Not:
                return !matchesList(e, s.list);
            case Pseudo::Is:
                return matchesList(e, s.list);
            case Pseudo::Has:
                for (const Complex& item : syntax_.lists[s.list].items) {
                    for (const HtmlElement* r : forwardOf(e, item.compounds[0].combinator)) {
                        if (chainFrom(*r, item, 0)) return true;
                    }
                }
                return false;
        }
        return false;
    }
    selectors::Syntax syntax_;
    SelectorError error_;
    bool ok_;
    selectors::TestScratch scratch_;
    std::map<std::tuple<const Complex*, std::size_t, const HtmlElement*, bool>, bool> memo_;
};

// The streaming matcher fed every element of the document in document order, as the
// parser would open and close them: the matches in the root's tree.
inline ElementList streamedMatches(const HtmlDocument& document, const Selector& selector) {
    selectors::StreamMatcher matcher(selector);
    ElementList found;
    for (const HtmlElement& top : document.topLevel()) {
        const bool inRoot = &top == document.root();
        auto open = [&](const HtmlElement& e) {
            if (matcher.open(e.tagName(), e.attributeText()) && inRoot) found.push_back(&e);
            return true;
        };
        open(top);
        walkBelow(top, open, [&](const HtmlElement&) { matcher.close(); });
        matcher.close();
    }
    return found;
}

}  // namespace kestrune::testing
