// Batch text gathering. The raw text of an element is the run of text pieces
// (ownText on the way in, tail on the way out) between entering and leaving it, so
// one walk that records, for every listed element, where its run starts and ends
// gives every text; only pieces inside some listed element are kept.
#include "query/gatherTexts.h"

#include <cstdint>
#include <string_view>
#include <utility>
#include <vector>

#include "html/charRefs.h"
#include "html/walk.h"

namespace kestrune {

void gatherTexts(const ElementList& list,
                 const std::function<void(std::size_t, std::string&)>& emit) {
    const std::size_t n = list.size();
    std::vector<std::string_view> pieces;
    std::vector<std::pair<std::size_t, std::size_t>> runs(n, {0, 0});
    std::vector<std::size_t> open;  // indices of listed elements being walked, innermost last
    std::size_t next = 0;
    auto enter = [&](const HtmlElement& e) {
        while (next < n && list[next] == &e) {
            runs[next].first = pieces.size();
            open.push_back(next++);
        }
        if (!open.empty() && !e.ownText().empty()) pieces.push_back(e.ownText());
        return true;
    };
    auto leave = [&](const HtmlElement& e) {
        while (!open.empty() && list[open.back()] == &e) {
            runs[open.back()].second = pieces.size();
            open.pop_back();
        }
        // A tail belongs to the parent's text, not to the element's own.
        if (!open.empty() && !e.tail().empty()) pieces.push_back(e.tail());
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

    std::string raw;
    std::string text;
    for (std::size_t i = 0; i < n; ++i) {
        text.clear();
        raw.clear();
        for (std::size_t p = runs[i].first; p < runs[i].second; ++p) raw.append(pieces[p]);
        appendDecoded(text, raw);
        emit(i, text);
    }
}

}  // namespace kestrune
