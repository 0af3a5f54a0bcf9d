// SPDX-License-Identifier: MIT
// Compact, readable dumps of parsed trees and a checker of tree invariants, for
// the parser and query tests.
#pragma once

#include <string>
#include <string_view>

#include "html/HtmlDocument.h"

namespace kestrune::testing {

// One line per element in document order, indented two spaces per level:
//   name[~] [own='..'] [tail='..'] [pre='..'] [attr='..'] [stray=/a,/b]
//   [!comment|!script|!style|!doctype]
// "~" marks an element left open (closed == 0). A top-level text element is "#text".
std::string dumpTree(const HtmlDocument& document);
std::string dumpElement(const HtmlDocument& document, const HtmlElement& element);

// Checks (with GoogleTest assertions) that every text of every element lies inside
// the document's text, parents and children agree, depths count levels and the
// kind flags exclude one another. Iterative: usable on trees of any depth.
void expectTreeInvariants(const HtmlDocument& document);

}  // namespace kestrune::testing
