// SPDX-License-Identifier: MIT
// Fuzz target for the whole report, as the program runs it after loading a page.
//
// Input: a first line that plays the command line, then the page (fuzzRequest.h).
//
// Besides running without a fault, the report must equal what the queries give: the
// console lines byte for byte, and the element file byte for byte the JSON library's
// own writing of the same values (the report streams its JSON itself). Every JSON file
// must read back with the library and write out unchanged.
#include <kestrune/document.h>
#include <kestrune/json.h>

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "base/asciiTable.h"
#include "base/byteString.h"
#include "cli/Console.h"
#include "cli/Options.h"
#include "cli/driver.h"
#include "fuzzCheck.h"
#include "fuzzRequest.h"
#include "query/referencePaths.h"
#include "query/report.h"
#include "support/memoryFileSink.h"
#include "support/treeWalk.h"

namespace kestrune {
namespace {

constexpr std::string_view kOutputPath = "fuzz/out.json";

// The oracle's getText per element walks each matched subtree again, so nested
// matches cost it the square of their number where the report walks once. (The texts
// themselves cost both the same: the report writes them all.) Past this budget of
// elements visited (deep nests of matches in a large page) only the shape of the
// output is checked.
class WalkBudget {
  public:
    explicit WalkBudget(std::size_t elements) : left_(elements) {}
    // Spends one unit per element of e's subtree; false once the budget is used up.
    bool take(const HtmlElement& e) {
        const std::size_t walked = testing::walkTree(e, left_ + 1, [](const HtmlElement&, int) {});
        if (walked > left_) {
            left_ = 0;
            return false;
        }
        left_ -= walked;
        return true;
    }

  private:
    std::size_t left_;
};

// A JSON file the report wrote reads back with the library and writes out unchanged.
void checkJsonRoundTrip(const std::string& file) {
    JsonObject read;
    FUZZ_CHECK(read.parse(file));
    FUZZ_CHECK(static_cast<std::size_t>(read.length()) == file.size());
    FUZZ_CHECK_EQUAL(read.toString(), file);
}

std::string outputFileLine() { return "\r\nOutput File: " + std::string(kOutputPath) + "\r\n"; }

std::string refusedFileLine() {
    return "Error: output file \"" + std::string(kOutputPath) +
           "\" could not be written: refused.\r\n";
}

void checkElementReport(const HtmlDocument& document, const ElementList& elements,
                        const Options& options, const fuzz::Request& r, const std::string& console,
                        const MemoryFileSink& files) {
    const bool written = r.toFile && !r.refuse;
    if (r.toFile) FUZZ_CHECK_EQUAL(console, r.refuse ? refusedFileLine() : outputFileLine());
    if (written) checkJsonRoundTrip(files.files.begin()->second);

    // The oracle: one getText per element, where the report gathers all texts in one walk.
    WalkBudget budget(4 * document.text().size() + (1u << 16));
    for (const HtmlElement* e : elements) {
        if (!budget.take(*e)) return;
    }
    const std::vector<std::string>& names = options.attributeNames;
    std::string lines;
    JsonObject top;
    JsonArray* array = top.addValue(options.tagName, new JsonArray);
    FUZZ_CHECK(array != nullptr);
    for (const HtmlElement* e : elements) {
        JsonObject* object = array->add(new JsonObject);
        std::string text;
        e->getText(text, 1, 0);
        // Element text loses every space and line break.
        removeControlChars(text);
        std::erase(text, ' ');
        lines += "text=" + text + "\r\n";
        object->addString("text", text);
        if (names.empty()) {
            std::string attributes = e->attributesString();
            removeControlChars(attributes);
            lines += "attr=" + attributes + "\r\n";
            object->addString("attr", attributes);
        }
        for (const std::string& name : names) {
            std::string value;
            if (e->getAttribute(name, value)) removeControlChars(value);
            lines += name + "=" + value + "\r\n";
            // Of a name asked twice (or named "text") the first value stays.
            object->addString(name, value);
        }
    }
    if (!r.toFile) FUZZ_CHECK_EQUAL(console, lines);
    if (written) FUZZ_CHECK_EQUAL(files.files.begin()->second, top.toString());
}

}  // namespace
}  // namespace kestrune

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace kestrune;
    const fuzz::Request r =
        fuzz::readRequest(std::string_view(reinterpret_cast<const char*>(data), size));
    HtmlDocument document;
    document.parse(r.page);

    Options options;
    options.tagName = r.tagName;
    options.mode = reportModeOf(r.tagName);
    options.splitAttributeList(r.attributeList);
    if (r.toFile) options.outputPath = kOutputPath;
    MemoryFileSink files;
    files.refuse = r.refuse;
    std::string console;
    {
        Console out(&console);
        // A file that cannot be made fails the run.
        // A page without a root, or a file that cannot be made, fails the run.
        const int expected = (r.toFile && r.refuse) || document.root() == nullptr ? -1 : 1;
        const RunRequest request = runRequestOf(options, 0);
        PageSource page;
        page.bytes = r.page;
        page.inMemory = true;
        const ReferencePaths tree{.fromTree = true};
        FUZZ_CHECK(reportPage(page, options, request, out, files, &tree) == expected);
    }  // the console hands over its output when it goes

    const HtmlElement* root = document.root();
    if (root == nullptr) {
        // Nothing to report on: the load failed.
        FUZZ_CHECK_EQUAL(console, "Error: The file \"\" open failed.\r\n");
        FUZZ_CHECK(files.files.empty());
        return 0;
    }
    // Exactly the one output file, unless none was asked for or it could not be made.
    if (r.toFile && !r.refuse) {
        FUZZ_CHECK(files.files.size() == 1);
        FUZZ_CHECK(files.files.begin()->first == kOutputPath);
    } else {
        FUZZ_CHECK(files.files.empty());
    }

    // The doctype and raw-block reports are checked byte for byte by the end-to-end
    // tests; here they only have to run without a fault.
    if (reportModeOf(r.tagName) != ReportMode::Elements) return 0;
    ElementList elements;
    root->findByTag(r.tagName, elements, 1);
    checkElementReport(document, elements, options, r, console, files);
    return 0;
}
