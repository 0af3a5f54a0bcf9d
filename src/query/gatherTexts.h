// Texts of many elements at once: getText(text, 1, 0) for every element of a list,
// in one walk, so that nested matches (a div inside a div inside a div...) cost time
// in proportion to their texts, not to the sizes of their subtrees.
#pragma once

#include <cstddef>
#include <functional>
#include <string>

#include "html/HtmlElement.h"

namespace kestrune {

// Calls emit(i, text) for i = 0, 1, ... with the decoded text of list[i]. Only the
// subtrees of the listed elements are walked, each once when the list is in
// document order (as findByTag gives it).
void gatherTexts(const ElementList& list,
                 const std::function<void(std::size_t, std::string&)>& emit);

}  // namespace kestrune
