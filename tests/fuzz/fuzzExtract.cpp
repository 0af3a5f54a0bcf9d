// SPDX-License-Identifier: MIT
// Fuzz target comparing the ways to an element or raw-block report (support/twoPaths.h):
// the tree (the document built, its root searched, the texts gathered or the blocks
// written out) and the extraction straight from the text, its root settled early or
// held, attribute names looked up one by one or searched. All must write the same
// console output and the same file, byte for byte, and agree on whether there is a
// root at all; the library call's rendering must equal the program's output. The search that lets
// the extraction settle the root early is checked against a plain loop first, and the name test of
// every tag the token cut reads against the full one (and its search for ">" against memchr).
//
// Input: a first line that plays the command line, then the page (fuzzRequest.h).
#include <kestrune/extract.h>

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <span>
#include <string>
#include <string_view>

#include "cli/Options.h"
#include "fuzzCheck.h"
#include "fuzzRequest.h"
#include "html/parserCore.h"
#include "support/twoPaths.h"

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
    // The name test the scan of each tag allows against the full one.
    std::string cut(r.page);
    cut.append(16, '\0');  // the padding of a document's text
    for (char *at = cut.data(), *end = cut.data() + r.page.size(); at != end;) {
        const auto left = static_cast<std::size_t>(end - at);
        FUZZ_CHECK(findBytePadded(at, left, '>') == std::memchr(at, '>', left));
        Token token;
        at += readTag(at, end, token);
        FUZZ_CHECK(isValidTagToken(token) == (isValidTagName(token.tagName) != 0));
    }

    Options options;
    options.tagName = r.tagName;
    options.mode = reportModeOf(r.tagName);
    options.splitAttributeList(r.attributeList);
    if (r.toFile) options.outputPath = "fuzz/out.json";

    // The library call renders what the program prints or writes, in every mode.
    if (!r.tagName.empty()) {
        const testing::Report program = testing::elementReport(r.page, options, {}, r.refuse);
        Request request;
        request.tag = r.tagName;
        request.attributes = options.attributeNames;
        request.codePage = kLocalCodePage;
        request.text = r.refuse ? TextForm::Reported : TextForm::Written;
        request.maxReportBytes = SIZE_MAX;  // the program streams reports of any size
        const kestrune::Report report = extract(r.page, request);
        // A limit refuses the report or changes nothing.
        request.maxReportBytes = r.page.size() + 1;
        const kestrune::Report limited = extract(r.page, request);
        FUZZ_CHECK(limited.status() == report.status() ||
                   limited.status() == Status::ReportTooLarge);
        if (limited) FUZZ_CHECK_EQUAL(limited.consoleText(), report.consoleText());
        // Texts as written, straight from the text and from the tree.
        if (report && report.mode() == ReportMode::Elements && request.text == TextForm::Written) {
            const std::vector<std::string> texts =
                testing::writtenTexts(r.page, r.tagName, kLocalCodePage);
            FUZZ_CHECK(texts.size() == report.size());
            for (std::size_t i = 0; i < texts.size() && i < report.size(); ++i)
                FUZZ_CHECK_EQUAL(texts[i], report.text(i));
        }
        if (!r.toFile) {
            FUZZ_CHECK(static_cast<bool>(report) == (program.status == 1));
            if (report) FUZZ_CHECK_EQUAL(report.consoleText(), program.console);
        } else if (!r.refuse) {
            FUZZ_CHECK(static_cast<bool>(report) == (program.status == 1));
            if (report) FUZZ_CHECK_EQUAL(report.fileText(), program.file);
        }
    }

    // The doctype report is made from the tree only.
    if (options.mode == ReportMode::Doctype) return 0;

    const testing::Report tree =
        testing::elementReport(r.page, options, testing::kWays[0], r.refuse);
    for (const testing::Way& way : std::span(testing::kWays).subspan(1)) {
        const testing::Report text = testing::elementReport(r.page, options, way, r.refuse);
        FUZZ_CHECK(text.status == tree.status);
        FUZZ_CHECK_EQUAL(text.console, tree.console);
        FUZZ_CHECK(text.files == tree.files);
        FUZZ_CHECK_EQUAL(text.file, tree.file);
    }
    return 0;
}
