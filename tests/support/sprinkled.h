// SPDX-License-Identifier: MIT
// Test texts: runs of "x" with bytes of an alphabet sprinkled in, the same for the
// same seed, for comparing a fast scan with a plain loop over many shapes.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace kestrune::testing {

// `length` bytes, about one in `oneIn` taken from `alphabet`; advances `seed`.
inline std::string sprinkled(unsigned& seed, std::size_t length, std::string_view alphabet,
                             unsigned oneIn) {
    std::string s(length, 'x');
    for (char& c : s) {
        seed = seed * 1103515245u + 12345u;
        if ((seed >> 16) % oneIn == 0) c = alphabet[(seed >> 8) % alphabet.size()];
    }
    return s;
}

}  // namespace kestrune::testing
