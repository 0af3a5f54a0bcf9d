// SPDX-License-Identifier: MIT
/// \file
/// CSS selectors on Kestrune's document tree: compile a selector list once, then find
/// the elements it matches in any number of documents.
///
/// \code{.cpp}
///   #include <kestrune/document.h>
///   #include <kestrune/select.h>
///   #include <iostream>
///
///   // Prints the href of every link inside a nav element; 1 when the selector is wrong.
///   int printNavLinks(const kestrune::HtmlDocument& document) {
///       const kestrune::Selector links = kestrune::Selector::compile("nav a[href]");
///       if (!links) {
///           std::cerr << links.error().message << '\n';
///           return 1;
///       }
///       std::string href;
///       for (const kestrune::HtmlElement* a : kestrune::select(document, links))
///           if (a->getAttribute("href", href)) std::cout << href << '\n';
///       return 0;
///   }
/// \endcode
///
/// Supported: type selectors and "*"; `#id`, `.class`; [a] [a=v] [a~=v] [a|=v] [a^=v] [a$=v]
/// [a*=v] with the flags i and s and quoted or bare values; the combinators " " ">" "+"
/// "~"; lists with ","; :root :empty :first-child :last-child :only-child :first-of-type
/// :last-of-type :only-of-type :nth-child(An+B [of S]) :nth-last-child(An+B [of S])
/// :nth-of-type(An+B) :nth-last-of-type(An+B) :not() :is() :where() and :has() with
/// relative selectors (":has(> a)", ":has(+ p)", ":has(~ p)", ":has(a b)"). An+B takes
/// every CSS form (odd, even, 5, -n+3, 2n - 1, ...). CSS escapes work in names and
/// strings (`"\31 23"`, `"\."`); a code point is written as UTF-8. Anything else (pseudo-
/// elements, other pseudo-classes, namespaces, an empty list item, a combinator with
/// nothing after it, ...) is a compile error, never a selector that silently matches
/// nothing.
///
/// Matching rules:
/// - The elements: comments, doctype declarations and text-only top-level pieces never
///   match and are not counted (not as siblings, not by :empty or :nth-*); script and
///   style elements are elements like any other.
/// - Tag names, attribute names and pseudo-class names ignore ASCII case; attribute
///   values are compared byte for byte unless the i flag asks for ASCII case to be
///   ignored ("s" is the default). Bytes from 0x80 up always compare exactly, so a
///   selector should be in the document's encoding: escapes give UTF-8, and a UTF-8
///   page stays UTF-8 only with HtmlDocument::codePage = 65001.
/// - An attribute's value is what HtmlElement::getAttribute gives (character references
///   decoded; of names that differ in case the first in byte order answers). A
///   valueless word of the start tag (`<input disabled>`) is an attribute with the empty
///   value when no name=value piece has its name.
/// - `#x` is `[id=x]` and `.x` is `[class~=x]`: class is split on ASCII white space (space, TAB,
///   LF, CR, form feed). "~=", "^=", "$=" and "*=" with an empty value match nothing.
/// - :root is an element without a parent. An element without a parent has no
///   siblings: it is the first, last and only child of its kind.
/// - :empty is an element with no child element and no text; comments are ignored, and
///   white space between tags is never text (the parser does not keep it). The content
///   of a script or style element is its text, white space included.
/// - The candidates of a document are its root (HtmlDocument::root()) and the root's
///   descendants; the other top-level elements are never candidates, and being outside
///   the root's tree they take no part in its matching either.
/// - Within an element (select(scope, ...)) the candidates are the scope's descendants
///   only, but the whole document is the context, as in browsers' querySelectorAll:
///   "div p" finds a p below the scope whose div ancestor may be above it.
/// Results are in document order, each element once.
///
/// Cost: matching takes time linear in the number of elements times the size of the
/// selector, whatever the nesting depth (no recursion; a million nested elements are
/// safe), and memory linear in the elements for selectors beyond the simplest. A
/// selector that streams() is matched in one walk that keeps a row of bits per open
/// element; selectFirst stops at the first match then. Within a scope, a selector whose
/// parts above the scope need only ancestors costs the scope's subtree plus its depth;
/// others look at the whole tree the scope is in.
///
/// Lifetimes and threads: a Selector owns its compiled form and shares it on copy
/// (cheap); it is immutable, so one Selector may be used by many threads at once. The
/// element pointers returned own nothing and live as long as the document. Errors are
/// results; only std::bad_alloc is thrown.
#pragma once

#include <kestrune/document.h>

#include <cstddef>
#include <memory>
#include <string>
#include <string_view>

namespace kestrune {

/// Why a selector did not compile: the byte offset in its text where the problem was
/// found, and a message that names what was expected there and ends in "at offset N".
struct SelectorError {
    std::size_t offset = 0;  ///< where the problem was found
    std::string message;     ///< what was expected there
};

namespace selectors {
struct Compiled;
}

/// A compiled CSS selector list, to match in any number of documents.
class Selector {
  public:
    /// A selector that compiled from nothing: false, with the error of an empty text.
    Selector();

    /// Compiles a selector list. Never throws but std::bad_alloc: a text that is no
    /// valid selector gives a Selector that is false, whose error() says why and which
    /// matches nothing.
    static Selector compile(std::string_view text);

    /// True when the text compiled.
    explicit operator bool() const;
    /// The reason it did not compile; offset 0 and an empty message when it did.
    const SelectorError& error() const;
    /// The text it was compiled from.
    std::string_view text() const;
    /// True when matching needs only each element and its ancestors: type, id, class and
    /// attribute selectors, the descendant and child combinators, :root, and :is()
    /// :where() :not() of those. Such a selector can be matched while a page is read, as
    /// elements open and close. False for a selector that did not compile.
    bool streams() const;

    /// The compiled form, for Kestrune's own matchers.
    const selectors::Compiled& compiled() const { return *compiled_; }

  private:
    explicit Selector(std::shared_ptr<const selectors::Compiled> compiled);
    std::shared_ptr<const selectors::Compiled> compiled_;
};

/// The elements of the document the selector matches: the root and its descendants,
/// in document order. Empty when nothing matches, the selector did not compile or the
/// document holds no root.
ElementList select(const HtmlDocument& document, const Selector& selector);
/// The first of them, or null.
const HtmlElement* selectFirst(const HtmlDocument& document, const Selector& selector);

/// The descendants of `scope` the selector matches, in document order (the scope
/// itself is never one); the combinators may reach above the scope (see above).
ElementList select(const HtmlElement& scope, const Selector& selector);
/// The first of them, or null.
const HtmlElement* selectFirst(const HtmlElement& scope, const Selector& selector);

}  // namespace kestrune
