// SPDX-License-Identifier: MIT
// kestrune-select: prints what a CSS selector matches in HTML pages, one line per match.
#pragma once

namespace kestrune::selectcli {

// One run of the program: reads the command line, every input in turn, prints the
// matches on standard output and the problems on standard error. Returns the exit
// status: 0 when something matched, 1 when nothing did, 2 after an error (a bad
// command line or selector, an input that could not be read or is too large, a
// failed write). A closed pipe on standard output ends the run quietly.
int runSelect(int argc, const char* const* argv);

}  // namespace kestrune::selectcli
