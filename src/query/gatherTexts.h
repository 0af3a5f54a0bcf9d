// SPDX-License-Identifier: MIT
// Texts of many elements at once: getText(text, 1, 0) for every element of a list,
// in one walk, so that nested matches (a div inside a div inside a div...) cost time
// in proportion to their texts, not to the sizes of their subtrees.
#pragma once

#include <kestrune/document.h>

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace kestrune {

// Appends the pieces joined, with character references decoded once over the whole
// (a reference may span two pieces); `scratch` holds the joined text.
void appendDecodedPieces(const std::string_view* pieces, std::size_t count, std::string& out,
                         std::string& scratch);

// The raw texts of the listed elements, found in one walk over their subtrees (each
// walked once when the list is in document order, as findByTag gives it). The views
// point into the document, which must outlive this object.
class TextRuns {
  public:
    // With asWritten the texts keep the white space at their start (ownTextAsWritten,
    // tailAsWritten).
    explicit TextRuns(const ElementList& list, bool asWritten = false);
    std::size_t size() const { return runs_.size(); }
    // Appends the decoded text of list[i] to `out` (what getText(out, 1, 0) gives).
    void appendText(std::size_t i, std::string& out) const;

  private:
    std::vector<std::string_view> pieces_;  // texts inside listed elements, in document order
    std::vector<std::pair<std::uint32_t, std::uint32_t>> runs_;  // [first, end) piece per element
};

}  // namespace kestrune
