// SPDX-License-Identifier: MIT
// Table cases kept as data files below tests/: inputs and expected outputs are data,
// the code that checks them stays in the test.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

namespace kestrune::testing {

// The path of tests/<relative>.
std::string testsPath(const std::string& relative);

// The cases of tests/<relative>, each `fields` texts long. A line "--" ends a field,
// a line "==" a case; lines starting with "## " are comments. A field is its lines
// joined by "\n", then the escapes \\ \n \r \t \0 and \xHH decoded. A file that
// cannot be read or a case of another length stops the program with a message.
std::vector<std::vector<std::string>> readCases(const std::string& relative, std::size_t fields);

// The lines of a field: none when it is empty (an empty line cannot stand alone).
std::vector<std::string> fieldLines(const std::string& field);

// A test name: the case's number, then the start of `text` with each run of bytes
// other than ASCII letters and digits made one "_".
std::string caseName(std::size_t index, const std::string& text);

}  // namespace kestrune::testing
