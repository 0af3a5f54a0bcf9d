// SPDX-License-Identifier: MIT
// Character-reference decoding. The tree keeps text undecoded; the queries decode
// on the way out, once over a whole gathered text.
#include "html/charRefs.h"

#include <algorithm>
#include <cstdint>
#include <iterator>

#include "base/byteString.h"

namespace kestrune {

namespace {

struct NamedReference {
    std::string_view name;  // the bytes after "&", ";" included
    char produces;
};

// Tried in this order.
constexpr NamedReference kNamedReferences[] = {
    {"lt;", '<'}, {"amp;", '&'}, {"gt;", '>'}, {"apos;", '\''}, {"quot;", '"'}};

// A numeric reference may have at most 7 bytes between its first digit and ";".
constexpr std::size_t kNumericWindow = 8;

void appendCodeUnit(std::string& out, std::int64_t value) {
    if (value < 128) {
        out.push_back(static_cast<char>(value & 0xFF));
    } else if (value < 2048) {
        out.push_back(static_cast<char>(0xC0 | ((value >> 6) & 0x1F)));
        out.push_back(static_cast<char>(0x80 | (value & 0x3F)));
    } else {
        // Bits above the sixteenth are dropped.
        out.push_back(static_cast<char>(0xE0 | ((value >> 12) & 0x0F)));
        out.push_back(static_cast<char>(0x80 | ((value >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (value & 0x3F)));
    }
}

}  // namespace

void appendDecoded(std::string& out, std::string_view text) {
    const char* s = text.data();
    const std::size_t n = text.size();
    std::size_t i = 0;
    while (i < n) {
        const std::size_t at = std::min(text.find('&', i), n);
        out.append(s + i, at - i);
        if (at == n) break;
        i = at;
        if (i + 1 < n && s[i + 1] == '#') {
            int base = 10;
            std::size_t digits = i + 2;
            if (digits < n && s[digits] == 'x') {
                base = 16;
                ++digits;
            }
            const std::size_t limit = std::min(digits + kNumericWindow, n);
            // The window also ends at a NUL, as in a NUL-terminated text.
            std::size_t semi = digits;
            while (semi < limit && s[semi] != ';' && s[semi] != '\0') ++semi;
            // The number is read as strtol reads it, up to the ";" at most.
            const std::int64_t value = semi < limit && s[semi] == ';'
                                           ? readInteger(text.substr(digits, semi - digits), base)
                                           : 0;
            if (value != 0) {
                appendCodeUnit(out, value);
                i = semi + 1;
                continue;
            }
        } else {
            const auto ref = std::ranges::find_if(kNamedReferences, [&](const NamedReference& r) {
                return text.substr(i + 1).starts_with(r.name);
            });
            if (ref != std::end(kNamedReferences)) {
                out.push_back(ref->produces);
                i += ref->name.size() + 1;
                continue;
            }
        }
        out.push_back('&');
        ++i;
    }
}

}  // namespace kestrune
