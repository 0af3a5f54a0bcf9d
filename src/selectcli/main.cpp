// SPDX-License-Identifier: MIT
// kestrune-select: turns argc/argv into one run of the tool.
#include "selectcli/selectTool.h"

int main(int argc, char** argv) { return kestrune::selectcli::runSelect(argc, argv); }
