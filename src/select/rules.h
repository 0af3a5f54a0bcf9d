// SPDX-License-Identifier: MIT
// Internal to src/select (and the tests' reference matcher): the rules a selector is
// matched by on one element, each written once here: which elements take part, what
// an element's type, attributes and classes are, what :empty means and which
// positions an An+B expression names. include/kestrune/select.h states them for users.
#pragma once

#include <kestrune/document.h>

#include <cstdint>
#include <string>
#include <string_view>

#include "base/asciiTable.h"

namespace kestrune::selectors {

// White space in selectors and between the words of a class or a "~=" value: space,
// TAB, LF, CR and form feed.
bool isSelectorSpace(char c);

// Whether an element with this tag name takes part in matching: comments, doctype
// declarations and text-only top-level pieces never match and are left out of sibling
// positions and of :empty. (Those elements never have children.)
bool countsAsElement(std::string_view tagName);

// :empty: no child that counts as an element, no own text and no text after any child
// (a comment's content is no text of its parent; white space between tags is never
// kept as text, so it cannot make an element non-empty; the raw content of a script or
// style element is its own text, white space included).
bool isEmptyElement(const HtmlElement& element);

// Whether `position` (1 for the first) is a*n + b for some n >= 0.
bool nthMatches(std::int64_t a, std::int64_t b, std::int64_t position);

// One test of a compound selector on a single element: a type selector or an
// attribute selector (#x and .x are [id=x] and [class~=x]).
struct ElementTest {
    enum class Kind : std::uint8_t {
        Type,       // the tag name equals `name`, ASCII case ignored
        Exists,     // [name]
        Equals,     // [name=value]
        Includes,   // [name~=value]: one of the white-space separated words
        DashMatch,  // [name|=value]: the value, or the value and "-" in front
        Prefix,     // [name^=value]
        Suffix,     // [name$=value]
        Substring,  // [name*=value]
    };
    Kind kind = Kind::Type;
    bool ignoreCase = false;  // the "i" flag: values compared with ASCII case ignored
    std::string name;         // as written, escapes decoded
    std::string value;
};

// The buffers a matcher keeps for passesTest, so that tests allocate only while they
// grow: the value looked up, and the attribute text without CR, LF and TAB.
struct TestScratch {
    std::string value;
    std::string text;
};

// Whether an element with this raw attribute text passes the test, which is no type test.
bool passesAttributeTest(const ElementTest& test, std::string_view attributeText,
                         TestScratch& scratch);

// Whether an element with this tag name and raw attribute text passes the test.
inline bool passesTest(const ElementTest& test, std::string_view tagName,
                       std::string_view attributeText, TestScratch& scratch) {
    if (test.kind == ElementTest::Kind::Type) return equalsIgnoreCase(tagName, test.name);
    return passesAttributeTest(test, attributeText, scratch);
}

}  // namespace kestrune::selectors
