// SPDX-License-Identifier: MIT
// Build-time generator: asks the system converter (glibc iconv) for the code page
// 936 bytes of every code point of the Basic Multilingual Plane and prints them as
// a C++ table, so that the tool converts with a table lookup and gives exactly the
// bytes the system converter gives.
#include <iconv.h>

#include <cstdint>
#include <cstdio>
#include <vector>

int main() {
    iconv_t cd = iconv_open("CP936", "UTF-32LE");
    if (cd == reinterpret_cast<iconv_t>(-1)) {
        std::perror("iconv_open CP936");
        return 1;
    }
    std::vector<std::uint16_t> table(0x10000, 0);
    for (std::uint32_t cp = 1; cp < 0x10000; ++cp) {
        if (cp >= 0xD800 && cp <= 0xDFFF) continue;  // surrogates are no characters
        unsigned char in[4] = {static_cast<unsigned char>(cp), static_cast<unsigned char>(cp >> 8),
                               0, 0};
        unsigned char out[8];
        char* inPtr = reinterpret_cast<char*>(in);
        char* outPtr = reinterpret_cast<char*>(out);
        std::size_t inLeft = 4, outLeft = sizeof out;
        iconv(cd, nullptr, nullptr, nullptr, nullptr);
        if (iconv(cd, &inPtr, &inLeft, &outPtr, &outLeft) == static_cast<std::size_t>(-1)) continue;
        std::size_t n = sizeof out - outLeft;
        if (n == 1) {
            table[cp] = out[0];
        } else if (n == 2) {
            table[cp] = static_cast<std::uint16_t>(out[0] << 8 | out[1]);
        } else {
            std::fprintf(stderr, "U+%04X converts to %zu bytes\n", static_cast<unsigned>(cp), n);
            return 1;
        }
    }
    iconv_close(cd);
    std::printf("// Generated at build time from the system converter; do not edit.\n");
    std::printf(
        "// Code point -> code page 936: 0 = none, below 0x100 one byte, else two bytes.\n");
    std::printf("static const unsigned short kCp936FromBmp[65536] = {\n");
    for (std::size_t i = 0; i < table.size(); ++i) {
        std::printf("%u,%s", table[i], (i % 16 == 15) ? "\n" : "");
    }
    std::printf("};\n");
    return 0;
}
