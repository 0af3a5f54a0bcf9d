// SPDX-License-Identifier: MIT
// UTF-8 to code page 936. ASCII runs are moved eight bytes at a time; every other
// character is decoded and looked up in a table generated from the system
// converter at build time.
#include "html/codePage936.h"

#include <cstdint>
#include <cstring>

#include "base/byteScan.h"
#include "base/utf8.h"
#include "cp936Table.inc"

namespace kestrune {

std::size_t convertUtf8ToCodePage936(char* text, std::size_t length) {
    auto* r = reinterpret_cast<unsigned char*>(text);
    auto* w = r;
    auto* const end = r + length;
    while (r < end) {
        // ASCII stays as it is, moved as a whole run.
        std::size_t run =
            asciiRunLength(reinterpret_cast<const char*>(r), static_cast<std::size_t>(end - r));
        if (w != r) std::memmove(w, r, run);
        r += run;
        w += run;
        if (r == end) break;
        if (*r < 0x80) {
            *w++ = *r++;
            continue;
        }
        const unsigned char* p = r;
        char32_t cp = decodeUtf8(p, end);
        r = const_cast<unsigned char*>(p);
        unsigned short mapped = cp < 0x10000 ? kCp936FromBmp[cp] : 0;
        if (mapped == 0) {
            *w++ = '?';
        } else if (mapped < 0x100) {
            *w++ = static_cast<unsigned char>(mapped);
        } else {
            *w++ = static_cast<unsigned char>(mapped >> 8);
            *w++ = static_cast<unsigned char>(mapped & 0xFF);
        }
    }
    return static_cast<std::size_t>(w - reinterpret_cast<unsigned char*>(text));
}

}  // namespace kestrune
