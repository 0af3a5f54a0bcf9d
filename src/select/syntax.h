// SPDX-License-Identifier: MIT
// Internal to src/select (and the tests' reference matcher): a selector list as it is
// written, parsed into lists of complex selectors, compounds and simple selectors.
// The parser keeps an explicit stack of the open parentheses, so nesting depth costs
// no native stack.
#pragma once

#include <kestrune/select.h>

#include <cstdint>
#include <string_view>
#include <vector>

#include "select/rules.h"

namespace kestrune::selectors {

enum class Combinator : std::uint8_t { Descendant, Child, Adjacent, Sibling };

enum class Pseudo : std::uint8_t {
    Root,
    Empty,
    FirstChild,
    LastChild,
    OnlyChild,
    FirstOfType,
    LastOfType,
    OnlyOfType,
    NthChild,  // with or without "of S"
    NthLastChild,
    NthOfType,
    NthLastOfType,
    Not,
    Is,  // :is() and :where()
    Has,
};

inline constexpr std::uint32_t kNoList = ~std::uint32_t{0};

// A simple selector other than "*": an element test, or a pseudo-class.
struct Simple {
    bool isTest = true;
    Pseudo pseudo = Pseudo::Root;
    std::uint32_t test = 0;        // index into Syntax::tests when isTest
    std::uint32_t list = kNoList;  // the argument list of :not :is :where :has, or "of S"
    std::int64_t a = 0;            // An+B of the :nth-* pseudo-classes
    std::int64_t b = 0;
};

struct Compound {
    // How this compound relates to the one before it (or, first in a relative
    // selector, to the element :has() is tested on).
    Combinator combinator = Combinator::Descendant;
    std::vector<Simple> simples;  // none: "*"
};

struct Complex {
    std::vector<Compound> compounds;  // at least one
};

struct List {
    bool relative = false;  // the argument of :has()
    std::vector<Complex> items;
};

struct Syntax {
    std::vector<ElementTest> tests;
    // Every list of the selector; a list comes after the lists nested in it, so the
    // whole selector list is the last one.
    std::vector<List> lists;
};

// Parses `text`; false, with `error` set, when it is no valid selector list.
bool parseSelector(std::string_view text, Syntax& syntax, SelectorError& error);

}  // namespace kestrune::selectors
