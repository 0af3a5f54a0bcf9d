// SPDX-License-Identifier: MIT
// The program entry: command line in, exit status out.
#pragma once

namespace kestrune {

class Console;

// Parses the command line; on rejection prints the banner, usage and example lines
// and returns 0, otherwise runs the extraction and returns its status. Returns -1
// when memory ran out ("Error: out of memory.") or standard output failed.
int runProgram(int argc, const char* const* argv, Console& console);

}  // namespace kestrune
