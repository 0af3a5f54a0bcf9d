// SPDX-License-Identifier: MIT
// The extraction run: load the document, choose the report mode, report.
#pragma once

#include <cstddef>

namespace kestrune {

class Console;
class FileSink;
class HtmlDocument;
class Options;

// Loads options.inputPath and reports on it, on the console or through the file
// report. Returns -1 when the load failed or the output file could not be written
// (after printing the message), else 1 (also when nothing matched).
int runExtraction(const Options& options, Console& console);

// The report on a loaded document, in the mode reportModeOf(options.tagName), written
// to `console` or, when options.outputPath is set, to a file created through `files`.
// Returns 1, or -1 when the file could not be written (the message printed, the
// target left as it was).
int reportOnDocument(const HtmlDocument& document, const Options& options, Console& console,
                     FileSink& files);

// The element report (ReportMode::Elements) straight from a document's prepared text
// (NUL-terminated, zero padding behind it), without a tree: the same output as reportOnDocument
// gives on the document parsed from that text. 0, with nothing written, when the text yields no
// root; else what reportOnDocument returns.
int reportElementsFromText(char* text, std::size_t length, const Options& options, Console& console,
                           FileSink& files);

}  // namespace kestrune
