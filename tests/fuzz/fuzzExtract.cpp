// SPDX-License-Identifier: MIT
// Fuzz target comparing the two ways to an element report: the tree (the document
// built, its root searched, the texts gathered) and the extraction straight from
// the text. Both must write the same console output and the same file, byte for
// byte, and agree on whether there is a root at all.
//
// Input: a first line that plays the command line, then the page (fuzzRequest.h).
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "cli/Console.h"
#include "cli/Options.h"
#include "cli/driver.h"
#include "cli/report.h"
#include "fuzzCheck.h"
#include "fuzzRequest.h"
#include "html/HtmlDocument.h"
#include "html/documentStorage.h"
#include "support/memoryFileSink.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace kestrune;
    const fuzz::Request r =
        fuzz::readRequest(std::string_view(reinterpret_cast<const char*>(data), size));
    if (reportModeOf(r.tagName) != ReportMode::Elements) return 0;
    Options options;
    options.tagName = r.tagName;
    options.splitAttributeList(r.attributeList);
    if (r.toFile) options.outputPath = "fuzz/out.json";

    MemoryFileSink treeFiles;
    treeFiles.refuse = r.refuse;
    std::string treeConsole;
    HtmlDocument document;
    const bool haveRoot = document.parse(r.page) == 1;
    int treeStatus = 0;  // what the text path returns without a root
    if (haveRoot) {
        Console out(&treeConsole);
        treeStatus = reportOnDocument(document, options, out, treeFiles);
    }

    MemoryFileSink textFiles;
    textFiles.refuse = r.refuse;
    std::string textConsole;
    DocumentText text;
    if (text.assign(r.page)) {
        Console out(&textConsole);
        FUZZ_CHECK(reportElementsFromText(text.data(), text.size(), options, out, textFiles) ==
                   treeStatus);
    } else {
        FUZZ_CHECK(!haveRoot);
    }
    FUZZ_CHECK_EQUAL(textConsole, treeConsole);
    FUZZ_CHECK(textFiles.files.size() == treeFiles.files.size());
    if (!treeFiles.files.empty()) {
        FUZZ_CHECK_EQUAL(textFiles.files.begin()->second, treeFiles.files.begin()->second);
    }
    return 0;
}
