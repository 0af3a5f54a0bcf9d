// SPDX-License-Identifier: MIT
// A report made by the program's run on a page in memory, one way or another: through
// the tree or straight from the text (which the program uses), its candidates for the
// root held to the end or streamed early, attribute names looked up one way or the
// other. Every way must give the same status, console output and file, byte for
// byte; the table test and the fuzz target that compare them share these. Free of
// GoogleTest.
#pragma once

#include <kestrune/extract.h>
#include <kestrune/select.h>

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "cli/Console.h"
#include "cli/Options.h"
#include "cli/driver.h"
#include "query/gatherTexts.h"
#include "query/referencePaths.h"
#include "support/memoryFileSink.h"

namespace kestrune::testing {

struct Report {
    int status = 0;
    std::string console;
    std::size_t files = 0;
    std::string file;  // the first file's bytes
};

// A way to the report: the program's own when default.
using Way = ReferencePaths;

// The ways every report is compared through; the first is the reference.
inline const Way kWays[] = {
    {true, RootSettling::Early, NameLookUp::OneByOne},
    {false, RootSettling::Early, NameLookUp::Auto},
    {false, RootSettling::Hold, NameLookUp::Search},
};

// The report of `page` one way, its file made in memory (or refused, with `refuse`),
// in code page `codePage` (0: the local one).
inline Report elementReport(std::string_view page, const Options& options, const Way& way,
                            bool refuse = false, unsigned codePage = 0) {
    Report r;
    MemoryFileSink files;
    files.refuse = refuse;
    {
        Console console(&r.console);
        const RunRequest request = runRequestOf(options, codePage);
        PageSource source;
        source.bytes = page;
        source.inMemory = true;
        r.status = reportPage(source, options, request, console, files, &way);
    }
    r.files = files.files.size();
    if (r.files != 0) r.file = files.files.begin()->second;
    return r;
}

// The texts as written of the elements named `tag` below the root, from the tree: what
// the library's written form must give straight from the text. Empty when the page has
// no root.
inline std::vector<std::string> writtenTexts(std::string_view page, std::string_view tag,
                                             unsigned codePage) {
    HtmlDocument document;
    document.setCodePage(codePage);
    std::vector<std::string> texts;
    if (!document.parse(page)) return texts;
    ElementList list;
    document.root()->findByTag(tag, list, 1);
    const TextRuns runs(list, true);
    for (std::size_t i = 0; i < list.size(); ++i) runs.appendText(i, texts.emplace_back());
    return texts;
}

// The elements a selector matches, from the tree, each as its text as written and the
// decoded values of `names` (or, without names, its attribute list), "|" after each:
// what extract() with that selector must give.
inline std::string treeSelection(std::string_view page, const Selector& selector,
                                 const std::vector<std::string>& names, unsigned codePage) {
    HtmlDocument document;
    document.setCodePage(codePage);
    if (!document.parse(page)) return "no root";
    const ElementList list = select(document, selector);
    const TextRuns runs(list, true);
    std::string out;
    for (std::size_t i = 0; i < list.size(); ++i) {
        runs.appendText(i, out);
        out += "|";
        if (names.empty()) out += list[i]->attributesString() + "|";
        for (const std::string& name : names) {
            std::string value;
            list[i]->getAttribute(name, value);
            out += value + "|";
        }
    }
    return out;
}

// The same from a report.
inline std::string reportedSelection(const kestrune::Report& report) {
    if (!report) return "no root";
    std::string out;
    for (std::size_t i = 0; i < report.size(); ++i)
        for (std::size_t k = 0; k < report.keys().size(); ++k)
            out += std::string(report.value(i, k)) + "|";
    return out;
}

}  // namespace kestrune::testing
