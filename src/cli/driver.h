// The extraction run: load the document, choose the report mode, report.
#pragma once

namespace kestrune {

class Console;
class Options;

// Loads options.inputPath and reports on it. Returns -1 when the load failed,
// else 1 (also when nothing matched or the output file could not be created).
int runExtraction(const Options& options, Console& console);

}  // namespace kestrune
