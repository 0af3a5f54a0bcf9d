// SPDX-License-Identifier: MIT
// kestrune: turns argc/argv into one run of the tool.
#include "cli/Console.h"
#include "cli/entry.h"

int main(int argc, char** argv) {
    kestrune::Console console;
    return kestrune::runProgram(argc, argv, console);
}
