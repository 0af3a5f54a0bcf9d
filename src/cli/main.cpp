// SPDX-License-Identifier: MIT
// kestrune: turns argc/argv into one run of the tool.
#include "base/platform.h"
#include "cli/Console.h"
#include "cli/entry.h"

int main(int argc, char** argv) {
    kestrune::platform::keepFreedMemory();
    kestrune::Console console;
    return kestrune::runProgram(argc, argv, console);
}
