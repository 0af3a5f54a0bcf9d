// SPDX-License-Identifier: MIT
// The element report both ways: through the tree (reportOnDocument on the parsed
// document) and straight from the text (reportElementsFromText, which the program
// uses). Both must give the same status, console output and file, byte for byte;
// the table test and the fuzz target that compare them share these. Free of
// GoogleTest.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "cli/Console.h"
#include "cli/Options.h"
#include "cli/driver.h"
#include "html/HtmlDocument.h"
#include "html/documentStorage.h"
#include "support/memoryFileSink.h"

namespace kestrune::testing {

struct Report {
    int status = 0;  // 0: no root to report on
    std::string console;
    std::size_t files = 0;
    std::string file;  // the first file's bytes
};

// One way's report of `page`, its file made in memory (or refused, with `refuse`).
inline Report elementReport(std::string_view page, const Options& options, bool fromText,
                            bool refuse = false) {
    Report r;
    MemoryFileSink files;
    files.refuse = refuse;
    {
        Console console(&r.console);
        HtmlDocument document;
        DocumentText text;
        if (!fromText && document.parse(page) == 1) {
            r.status = reportOnDocument(document, options, console, files);
        } else if (fromText && text.assign(page)) {
            r.status = reportElementsFromText(text.data(), text.size(), options, console, files);
        }
    }
    r.files = files.files.size();
    if (r.files != 0) r.file = files.files.begin()->second;
    return r;
}

}  // namespace kestrune::testing
