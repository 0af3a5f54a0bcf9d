// SPDX-License-Identifier: MIT
// Fuzz target for the selector engine. The input's first line is a selector, the rest
// a page. A selector that does not compile must say where and match nothing; one that
// compiles must give, on the document and within each of its elements, the elements
// the reference matcher gives, selectFirst their first, and when it streams, the
// streaming matcher fed the page's elements in document order the same again.
// The reference is slow on large subtrees: the scopes draw on a budget.
#include <kestrune/extract.h>
#include <kestrune/select.h>

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "fuzzCheck.h"
#include "html/walk.h"
#include "support/selectReference.h"
#include "support/twoPaths.h"

namespace kestrune {
namespace {

std::size_t subtreeSize(const HtmlElement& top) {
    std::size_t n = 1;
    walkBelow(
        top,
        [&](const HtmlElement&) {
            ++n;
            return true;
        },
        [](const HtmlElement&) {});
    return n;
}

// Every element of the root's tree as a scope, the outer ones first, while the budget
// lasts: a scope costs about its subtree.
void checkScopes(const HtmlDocument& document, const Selector& selector) {
    testing::ReferenceSelector reference(selector.text());
    std::size_t budget = 16 * document.elementCount() + 256;
    std::vector<const HtmlElement*> todo{document.root()};
    for (std::size_t next = 0; next < todo.size(); ++next) {
        const HtmlElement& scope = *todo[next];
        const std::size_t cost = subtreeSize(scope);
        if (cost > budget) break;
        budget -= cost;
        const ElementList found = select(scope, selector);
        FUZZ_CHECK(found == reference.select(scope));
        FUZZ_CHECK(selectFirst(scope, selector) == (found.empty() ? nullptr : found.front()));
        for (const HtmlElement& child : scope.children()) todo.push_back(&child);
    }
}

void checkSelector(std::string_view text, std::string_view page) {
    const Selector selector = Selector::compile(text);
    HtmlDocument document;
    const bool parsed = document.parse(page) == 1;
    if (!selector) {
        const SelectorError& error = selector.error();
        FUZZ_CHECK(error.offset <= text.size());
        FUZZ_CHECK(error.message.ends_with(" at offset " + std::to_string(error.offset)));
        FUZZ_CHECK(!selector.streams());
        FUZZ_CHECK(!testing::ReferenceSelector(text).ok());
        if (parsed) FUZZ_CHECK(select(document, selector).empty());
        return;
    }
    if (!parsed) return;
    const ElementList found = select(document, selector);
    FUZZ_CHECK(found == testing::ReferenceSelector(text).select(document));
    FUZZ_CHECK(selectFirst(document, selector) == (found.empty() ? nullptr : found.front()));
    if (selector.streams()) FUZZ_CHECK(testing::streamedMatches(document, selector) == found);
    checkScopes(document, selector);
    // The library call: as the page is read when the selector streams, else on the
    // tree; the same elements, texts and values either way.
    Request request;
    request.selector = selector;
    request.attributes = {"href", "class"};
    request.codePage = kUtf8;
    const Report report = extract(page, request);
    if (report.status() != Status::ReportTooLarge) {
        FUZZ_CHECK(testing::reportedSelection(report) ==
                   testing::treeSelection(page, selector, request.attributes, kUtf8));
    }
}

}  // namespace
}  // namespace kestrune

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view input(reinterpret_cast<const char*>(data), size);
    const std::size_t end = input.find('\n');
    if (end == std::string_view::npos) {
        kestrune::checkSelector(input, "");
        return 0;
    }
    kestrune::checkSelector(input.substr(0, end), input.substr(end + 1));
    return 0;
}
