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

void gatherTexts(const HtmlElement& top, const ElementList& list,
                 const std::function<void(std::size_t, std::string&)>& emit) {
    const std::size_t n = list.size();
    std::vector<std::string_view> pieces;
    std::vector<std::pair<std::size_t, std::size_t>> runs(n, {0, 0});
    std::vector<bool> found(n, false);
    std::vector<std::size_t> open;  // indices of listed elements being walked, innermost last
    std::size_t next = 0;
    walkBelow(
        top,
        [&](const HtmlElement& e) {
            while (next < n && list[next] == &e) {
                runs[next].first = pieces.size();
                found[next] = true;
                open.push_back(next++);
            }
            if (!open.empty() && !e.ownText().empty()) pieces.push_back(e.ownText());
            return true;
        },
        [&](const HtmlElement& e) {
            while (!open.empty() && list[open.back()] == &e) {
                runs[open.back()].second = pieces.size();
                open.pop_back();
            }
            // A tail belongs to the parent's text, not to the element's own.
            if (!open.empty() && !e.tail().empty()) pieces.push_back(e.tail());
        });

    std::string raw;
    std::string text;
    for (std::size_t i = 0; i < n; ++i) {
        text.clear();
        if (found[i]) {
            raw.clear();
            for (std::size_t p = runs[i].first; p < runs[i].second; ++p) raw.append(pieces[p]);
            appendDecoded(text, raw);
        } else {
            list[i]->getText(text, 1, 0);
        }
        emit(i, text);
    }
}

}  // namespace kestrune
