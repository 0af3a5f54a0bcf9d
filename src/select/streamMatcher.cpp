// SPDX-License-Identifier: MIT
// The streaming matcher: computeRow driven by open and close events.
#include "select/streamMatcher.h"

#include <algorithm>

#include "base/asciiTable.h"
#include "select/program.h"
#include "select/rules.h"
#include "select/step.h"

namespace kestrune::selectors {

namespace {

// An element as the stream knows it: its start tag. Streaming selectors never ask more.
struct StreamElement {
    static constexpr bool kOnePass = true;  // every operation streams: one down pass
    std::string_view tag;
    std::string_view attributes;
    std::string_view tagName() const { return tag; }
    std::string_view attributeText() const { return attributes; }
    bool isEmpty() const { return false; }
    bool position(const Op&) const { return false; }
    bool column(std::uint32_t) const { return false; }
    bool parentColumn(std::uint32_t) const { return false; }
};

}  // namespace

StreamMatcher::StreamMatcher(const Selector& selector)
    : selector_(selector),
      active_(selector.streams()),
      words_(std::max<std::size_t>(1, active_ ? wordsFor(selector.compiled().ops.size()) : 1)),
      remembered_(selector_.compiled(), active_ ? words_ : 0) {}

bool StreamMatcher::open(std::string_view tagName, std::string_view attributeText) {
    const std::size_t end = (depth_ + 1) * words_;
    if (rows_.size() < end) rows_.resize(std::max(end, 2 * rows_.size()));
    std::uint64_t* row = rows_.data() + depth_ * words_;
    std::fill(row, row + words_, 0);
    bool matches = false;
    if (active_ && countsAsElement(tagName)) {
        const Compiled& c = selector_.compiled();
        const std::uint64_t* parentRow = depth_ == 0 ? nullptr : row - words_;
        const StreamElement element{tagName, attributeText};
        remembered_.fill(element, parentRow, row, scratch_,
                         [&] { computeRow(c, 0, element, parentRow, row, scratch_); });
        matches = bitAt(row, c.bitOf[c.result]);
    }
    ++depth_;
    return matches;
}

void StreamMatcher::close() {
    if (depth_ > 0) --depth_;
}

}  // namespace kestrune::selectors
