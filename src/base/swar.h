// SPDX-License-Identifier: MIT
// Eight bytes of text read as one 64-bit word.
#pragma once

#include <bit>
#include <cstdint>
#include <cstring>

namespace kestrune::swar {

// Eight bytes as a number whose lowest byte is the first one, on processors of
// either byte order; for keys compared with numbers built the same way by shifts.
inline std::uint64_t loadLittle(const void* p) {
    std::uint64_t w;
    std::memcpy(&w, p, 8);
    if constexpr (std::endian::native == std::endian::big) {
        std::uint64_t swapped = 0;
        for (int i = 0; i < 8; ++i) swapped |= ((w >> (8 * i)) & 0xFF) << (8 * (7 - i));
        w = swapped;
    }
    return w;
}

}  // namespace kestrune::swar
