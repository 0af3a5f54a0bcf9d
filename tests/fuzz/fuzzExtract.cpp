// SPDX-License-Identifier: MIT
// Fuzz target comparing the ways to an element or raw-block report (support/twoPaths.h):
// the tree (the document built, its root searched, the texts gathered or the blocks
// written out) and the extraction straight from the text, its root settled early or
// held, attribute names looked up one by one or searched. All must write the same
// console output and the same file, byte for byte, and agree on whether there is a
// root at all; the library call's rendering must equal the program's output. First the page's scan
// by every kernel is checked against the byte-by-byte reference, and the token cut that the scan's
// marks lead against the cut by the rules (its name test against the full one, the pieces of
// each attribute text against those of the rule).
//
// Input: a first line that plays the command line, then the page (fuzzRequest.h).
#include <kestrune/extract.h>

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "cli/Options.h"
#include "fuzzCheck.h"
#include "fuzzRequest.h"
#include "html/attributes.h"
#include "html/parserCore.h"
#include "html/textScan.h"
#include "support/twoPaths.h"

namespace kestrune::fuzz {
namespace {

// The scan of the page by every kernel the processor has equals the reference's.
void checkScanKernels(std::string_view page) {
    useScanKernel(ScanKernel::Reference);
    TextScan reference;
    reference.scan(page.data(), page.size(), true);
    for (ScanKernel kernel : {ScanKernel::Sse2, ScanKernel::Avx2}) {
        if (!useScanKernel(kernel)) continue;
        TextScan scan;
        scan.scan(page.data(), page.size(), true);
        const TextFacts& a = scan.facts();
        const TextFacts& b = reference.facts();
        FUZZ_CHECK(a.length == b.length && a.ascii == b.ascii && a.utf8 == b.utf8 &&
                   a.wellFormedUtf8 == b.wellFormedUtf8 && a.lastHtmlTag == b.lastHtmlTag);
        for (std::size_t at = 0; at <= a.length; ++at) {
            FUZZ_CHECK(scan.text().nextMark(at) == reference.text().nextMark(at));
        }
    }
    useScanKernel(ScanKernel::Auto);
}

// The pieces of an attribute text as the scan cuts them, or as the rule does.
std::string attributePieces(std::string_view text, bool reference) {
    std::string out;
    auto pair = [&](std::string_view n, std::string_view v) {
        out.append("[").append(n).append("=").append(v).append("]");
    };
    auto word = [&](std::string_view w) { out.append("(").append(w).append(")"); };
    std::string scratch;
    if (reference) {
        forEachAttributeReference(text, pair, word);
    } else {
        forEachAttribute(text, scratch, pair, word);
    }
    return out;
}

// Whether a name is there (answered early for the usual form) against the pieces the
// rule cuts, for each name they hold and one they lack.
void checkAttributePresence(std::string_view text) {
    std::vector<std::string> seen;
    forEachAttributeReference(
        text, [&](std::string_view n, std::string_view) { seen.emplace_back(n); },
        [&](std::string_view w) { seen.emplace_back(w); });
    std::vector<std::string> names = seen;
    names.push_back("a");
    std::string scratch;
    for (const std::string& name : names) {
        bool there = false;
        for (const std::string& n : seen) there = there || equalsIgnoreCase(n, name);
        FUZZ_CHECK(hasAttributeOrWord(text, name, scratch) == there);
    }
}

// The token cut the marks lead against the rules, token by token.
void checkTokenCut(std::string_view page) {
    TextScan scan;
    scan.scan(page.data(), page.size(), false);
    const ScannedText text = scan.text();
    TagNames names(text.data(), text.size(), nullptr);
    TagNames referenceNames(text.data(), text.size(), nullptr);
    for (std::size_t at = 0, expectedAt = 0; expectedAt < text.size();) {
        Token token, expected;
        at = readTag(text, at, token, names);
        expectedAt =
            readTagReference(text.data(), expectedAt, text.size(), expected, referenceNames);
        FUZZ_CHECK(at == expectedAt);
        FUZZ_CHECK(token.tagName == expected.tagName && token.text == expected.text &&
                   token.attributeText == expected.attributeText &&
                   token.selfClosing == expected.selfClosing &&
                   token.plainName == expected.plainName);
        // The name test the scan of each tag allows against the full one.
        FUZZ_CHECK(isValidTagToken(token) == (isValidTagName(token.tagName) != 0));
        // The pieces of its attribute text against the rule's.
        if (!token.attributeText.empty()) {
            FUZZ_CHECK_EQUAL(attributePieces(token.attributeText, false),
                             attributePieces(token.attributeText, true));
            checkAttributePresence(token.attributeText);
        }
    }
    // Tags read as browsers read them: both cuts rewrite texts of their own alike.
    std::string spaced(text.data(), text.size()), spacedReference = spaced;
    TextScan spacedScan;
    spacedScan.scan(spaced.data(), spaced.size(), false);
    TagNames spacedNames(spaced.data(), spaced.size(), spaced.data(), true);
    TagNames spacedReferenceNames(spacedReference.data(), spacedReference.size(),
                                  spacedReference.data(), true);
    for (std::size_t at = 0, expectedAt = 0; expectedAt < spaced.size();) {
        Token token, expected;
        at = readTag(spacedScan.text(), at, token, spacedNames);
        expectedAt = readTagReference(spacedReference.data(), expectedAt, spacedReference.size(),
                                      expected, spacedReferenceNames);
        FUZZ_CHECK(at == expectedAt);
        FUZZ_CHECK(token.tagName == expected.tagName &&
                   token.attributeText == expected.attributeText);
    }
    FUZZ_CHECK(spaced == spacedReference);
}

}  // namespace
}  // namespace kestrune::fuzz

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace kestrune;
    const fuzz::Request r =
        fuzz::readRequest(std::string_view(reinterpret_cast<const char*>(data), size));
    fuzz::checkScanKernels(r.page);
    fuzz::checkTokenCut(r.page);

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
