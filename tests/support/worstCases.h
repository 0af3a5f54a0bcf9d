// SPDX-License-Identifier: MIT
// Hostile inputs generated on the fly (nothing large is committed): deep nesting,
// huge numbers of blocks, unterminated constructs, NUL bytes, broken UTF-8, the
// size limit. Deterministic.
#pragma once

#include <string>
#include <vector>

namespace kestrune::testing {

struct WorstCase {
    std::string name;
    std::string bytes;
};

// The large cases (each close to 10 MiB).
std::vector<std::string> worstCaseNames();
WorstCase makeWorstCase(const std::string& name);

// Small inputs with a NUL byte in each kind of place, and broken UTF-8 forms.
std::vector<WorstCase> nulAndEncodingCases();

}  // namespace kestrune::testing
