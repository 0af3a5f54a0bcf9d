// SPDX-License-Identifier: MIT
// The extraction run: load the document, choose the report mode, report.
#pragma once

#include "query/reportRun.h"

namespace kestrune {

class Console;
class FileSink;
class Options;
struct ReferencePaths;

// Loads options.inputPath and reports on it, on the console or through the file
// report. Returns -1 when the load failed or the output file could not be written
// (after printing the message), else 1 (also when nothing matched).
int runExtraction(const Options& options, Console& console);

// The run's request for these options, in this code page (0: the local one).
RunRequest runRequestOf(const Options& options, unsigned codePage);

// The report on `page` as `request` asks, written to `console` or, when
// options.outputPath is set, to a file created through `files`. Returns 1, or -1
// when the page could not be read or the file could not be written (the message
// printed, the target left as it was). Tests may name the reference paths to take.
int reportPage(const PageSource& page, const Options& options, const RunRequest& request,
               Console& console, FileSink& files, const ReferencePaths* paths = nullptr);

}  // namespace kestrune
