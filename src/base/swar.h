// SPDX-License-Identifier: MIT
// Eight bytes at a time: tests on a 64-bit word of text ("SIMD within a register").
#pragma once

#include <cstdint>
#include <cstring>

namespace kestrune::swar {

inline constexpr std::uint64_t kOnes = 0x0101010101010101ull;
inline constexpr std::uint64_t kHighBits = 0x8080808080808080ull;

inline std::uint64_t load(const void* p) {
    std::uint64_t w;
    std::memcpy(&w, p, 8);
    return w;
}

// Non-zero when some byte of w is zero.
constexpr std::uint64_t hasZero(std::uint64_t w) { return (w - kOnes) & ~w & kHighBits; }
// Non-zero when some byte of w equals `byte`.
constexpr std::uint64_t hasByte(std::uint64_t w, unsigned char byte) {
    return hasZero(w ^ (kOnes * byte));
}
// Non-zero when some byte of w is below `limit` (limit <= 128).
constexpr std::uint64_t hasLess(std::uint64_t w, unsigned char limit) {
    return (w - kOnes * limit) & ~w & kHighBits;
}

}  // namespace kestrune::swar
