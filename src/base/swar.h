// SPDX-License-Identifier: MIT
// A few bytes of text read as one 64-bit word.
#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>

namespace kestrune::swar {

// The first n <= 8 bytes at p as a number whose lowest byte is the first one, the
// bytes above them zero, on processors of either byte order; for keys compared with
// numbers built the same way by shifts. Reads nothing past p + n (two reads that
// overlap cover four to eight bytes).
inline std::uint64_t loadLittleShort(const void* p, std::size_t n) {
    const auto* b = static_cast<const unsigned char*>(p);
    if constexpr (std::endian::native == std::endian::little) {
        if (n >= 4) {
            std::uint32_t first, last;
            std::memcpy(&first, b, 4);
            std::memcpy(&last, b + n - 4, 4);
            return first | static_cast<std::uint64_t>(last) << (8 * (n - 4));
        }
    }
    std::uint64_t w = 0;
    for (std::size_t i = 0; i < n; ++i) w |= static_cast<std::uint64_t>(b[i]) << (8 * i);
    return w;
}

}  // namespace kestrune::swar
