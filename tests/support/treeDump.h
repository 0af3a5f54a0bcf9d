// SPDX-License-Identifier: MIT
// Compact, readable dumps of parsed trees, for the parser tests.
#pragma once

#include <kestrune/document.h>

#include <string>
#include <string_view>

namespace kestrune::testing {

// One line per element in document order, indented two spaces per level:
//   name[~] [own='..'] [tail='..'] [pre='..'] [attr='..'] [stray=/a,/b]
//   [!comment|!script|!style|!doctype]
// "~" marks an element left open (closed == 0). A top-level text element is "#text".
std::string dumpTree(const HtmlDocument& document);
}  // namespace kestrune::testing
