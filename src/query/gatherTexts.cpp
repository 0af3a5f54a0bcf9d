// SPDX-License-Identifier: MIT
// Batch text gathering. The raw text of an element is the run of text pieces
// (ownText on the way in, tail on the way out) between entering and leaving it, so
// one walk that records, for every listed element, where its run starts and ends
// gives every text; only pieces inside some listed element are kept.
#include "query/gatherTexts.h"

#include "html/charRefs.h"
#include "html/walk.h"

namespace kestrune {

TextRuns::TextRuns(const ElementList& list, bool asWritten) : runs_(list.size(), {0, 0}) {
    const std::size_t n = list.size();
    std::vector<std::size_t> open;  // indices of listed elements being walked, innermost last
    std::size_t next = 0;
    auto count = [&] { return static_cast<std::uint32_t>(pieces_.size()); };
    auto enter = [&](const HtmlElement& e) {
        while (next < n && list[next] == &e) {
            runs_[next].first = count();
            open.push_back(next++);
        }
        const std::string_view own = asWritten ? e.ownTextAsWritten() : e.ownText();
        if (!open.empty() && !own.empty()) pieces_.push_back(own);
        return true;
    };
    auto leave = [&](const HtmlElement& e) {
        while (!open.empty() && list[open.back()] == &e) {
            runs_[open.back()].second = count();
            open.pop_back();
        }
        // A tail belongs to the parent's text, not to the element's own.
        const std::string_view tail = asWritten ? e.tailAsWritten() : e.tail();
        if (!open.empty() && !tail.empty()) pieces_.push_back(tail);
    };
    // Only the subtrees of listed elements are walked: the first listed element not
    // met yet starts a walk, which meets the listed elements nested in it in order.
    // (An element listed out of document order simply starts a walk of its own.)
    while (next < n) {
        const HtmlElement& subtree = *list[next];
        enter(subtree);
        walkBelow(subtree, enter, leave);
        leave(subtree);
    }
}

void appendDecodedPieces(const std::string_view* pieces, std::size_t count, std::string& out,
                         std::string& scratch) {
    if (count == 1) {
        appendDecoded(out, pieces[0]);
        return;
    }
    // References are decoded once over the joined pieces: one may span two of them.
    scratch.clear();
    for (std::size_t p = 0; p < count; ++p) scratch.append(pieces[p]);
    appendDecoded(out, scratch);
}

void TextRuns::appendText(std::size_t i, std::string& out) const {
    const auto [first, end] = runs_[i];
    std::string scratch;
    appendDecodedPieces(pieces_.data() + first, end - first, out, scratch);
}

}  // namespace kestrune
