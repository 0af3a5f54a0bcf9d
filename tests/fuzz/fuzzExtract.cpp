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

#include "cli/Options.h"
#include "fuzzCheck.h"
#include "fuzzRequest.h"
#include "support/twoPaths.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace kestrune;
    const fuzz::Request r =
        fuzz::readRequest(std::string_view(reinterpret_cast<const char*>(data), size));
    if (!isElementReport(r.tagName)) return 0;
    Options options;
    options.tagName = r.tagName;
    options.splitAttributeList(r.attributeList);
    if (r.toFile) options.outputPath = "fuzz/out.json";

    const testing::Report tree = testing::elementReport(r.page, options, false, r.refuse);
    const testing::Report text = testing::elementReport(r.page, options, true, r.refuse);
    FUZZ_CHECK(text.status == tree.status);
    FUZZ_CHECK_EQUAL(text.console, tree.console);
    FUZZ_CHECK(text.files == tree.files);
    FUZZ_CHECK_EQUAL(text.file, tree.file);
    return 0;
}
