// SPDX-License-Identifier: MIT
// Sorting many short keys by number: the keys stay where they are and only their
// numbers move, which matters for tens of thousands of them.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

namespace kestrune {

// The one order of keys: byte order with every byte passed through `fold` (an
// unsigned char to unsigned char map), a key before every longer key it is the start
// of. Compares from byte `from` on (the bytes before are known to be equal).
template <typename Fold>
int compareFolded(std::string_view a, std::string_view b, Fold&& fold, std::size_t from = 0) {
    const std::size_t n = std::min(a.size(), b.size());
    for (std::size_t i = from; i < n; ++i) {
        const unsigned x = fold(static_cast<unsigned char>(a[i]));
        const unsigned y = fold(static_cast<unsigned char>(b[i]));
        if (x != y) return x < y ? -1 : 1;
    }
    return a.size() == b.size() ? 0 : a.size() < b.size() ? -1 : 1;
}

// The numbers 0 .. count - 1 in the order compareFolded gives their keys keyOf(i);
// equal keys keep the order of their numbers. The first four folded bytes of each key are kept
// beside its number as one 32-bit head, which orders like the bytes (a key shorter than four bytes
// is padded with zeros, which sorts it before every key it is the start of). A stable radix sort on
// the heads, then each run of equal heads sorted by the rest of the keys: O(count) for keys that
// differ early.
template <typename KeyOf, typename Fold>
std::vector<std::uint32_t> keyOrder(std::size_t count, KeyOf&& keyOf, Fold&& fold) {
    struct Entry {
        std::uint32_t head;
        std::uint32_t number;
    };
    std::vector<Entry> entries(count);
    for (std::uint32_t i = 0; i < count; ++i) {
        const std::string_view key = keyOf(i);
        std::uint32_t head = 0;
        for (std::size_t b = 0; b < 4; ++b) {
            head = head << 8 | (b < key.size() ? fold(static_cast<unsigned char>(key[b])) : 0u);
        }
        entries[i] = {head, i};
    }
    std::vector<Entry> spare(count);
    for (unsigned shift = 0; shift < 32; shift += 8) {
        std::size_t start[257] = {};
        for (const Entry& e : entries) ++start[((e.head >> shift) & 0xFF) + 1];
        if (std::find(start + 1, start + 257, count) != start + 257) continue;  // one value
        for (std::size_t b = 1; b < 257; ++b) start[b] += start[b - 1];
        for (const Entry& e : entries) spare[start[(e.head >> shift) & 0xFF]++] = e;
        entries.swap(spare);
    }
    auto rest = [&](const Entry& a, const Entry& b) {
        const int c = compareFolded(keyOf(a.number), keyOf(b.number), fold, 4);
        return c != 0 ? c < 0 : a.number < b.number;
    };
    std::vector<std::uint32_t> order(count);
    for (std::size_t i = 0; i < count;) {
        std::size_t end = i + 1;
        while (end < count && entries[end].head == entries[i].head) ++end;
        if (end - i > 1) std::sort(entries.begin() + i, entries.begin() + end, rest);
        for (; i < end; ++i) order[i] = entries[i].number;
    }
    return order;
}

}  // namespace kestrune
