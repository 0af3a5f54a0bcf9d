// SPDX-License-Identifier: MIT
// Fuzz target comparing the two ways to an element or raw-block report: the tree
// (the document built, its root searched, the texts gathered or the blocks written
// out) and the extraction straight from the text. Both must write the same console output and the
// same file, byte for byte, and agree on whether there is a root at all. The search that lets the
// extraction settle the root early is checked against a plain loop first.
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
#include "html/parserCore.h"
#include "support/memoryFileSink.h"

namespace kestrune::fuzz {
namespace {

// The letters h, t, m, l in either case, CR, LF and TAB allowed before each.
bool startsPossibleHtmlTag(std::string_view s) {
    std::size_t i = 0;
    for (char letter : std::string_view("html")) {
        while (i < s.size() && (s[i] == '\r' || s[i] == '\n' || s[i] == '\t')) ++i;
        if (i == s.size() || (s[i] | 0x20) != letter) return false;
        ++i;
    }
    return true;
}

}  // namespace
}  // namespace kestrune::fuzz

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace kestrune;
    const fuzz::Request r =
        fuzz::readRequest(std::string_view(reinterpret_cast<const char*>(data), size));
    // The sixteen-byte search for the last possible "html" tag against a plain loop.
    const char* lastHtml = nullptr;
    for (std::size_t i = 0; i + 1 < r.page.size(); ++i) {
        if (r.page[i] == '<' && fuzz::startsPossibleHtmlTag(r.page.substr(i + 1))) {
            lastHtml = r.page.data() + i;
        }
    }
    FUZZ_CHECK(lastPossibleHtmlTag(r.page.data(), r.page.size()) == lastHtml);

    // The doctype report is made from the tree only.
    if (reportModeOf(r.tagName) == ReportMode::Doctype) return 0;
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
