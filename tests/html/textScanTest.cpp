// SPDX-License-Identifier: MIT
// The scan of a page: its facts by the rules, and every kernel against the byte-by-byte
// reference, at every place of a block and at every length.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "html/textScan.h"
#include "support/caseFile.h"
#include "support/sprinkled.h"

namespace kestrune {
namespace {

struct Scanned {
    TextFacts facts;
    std::vector<std::size_t> marks;  // the places the bitmap gives, the end's included

    bool operator==(const Scanned& o) const {
        return facts.length == o.facts.length && facts.ascii == o.facts.ascii &&
               facts.utf8 == o.facts.utf8 && facts.wellFormedUtf8 == o.facts.wellFormedUtf8 &&
               facts.lastHtmlTag == o.facts.lastHtmlTag && marks == o.marks;
    }
};

// The scan of `bytes` with `kernel`.
Scanned scanWith(ScanKernel kernel, std::string_view bytes, bool strict) {
    EXPECT_TRUE(useScanKernel(kernel));
    TextScan scan;
    scan.scan(bytes.data(), bytes.size(), strict);
    useScanKernel(ScanKernel::Auto);
    Scanned s{scan.facts(), {}};
    const ScannedText text = scan.text();
    for (std::size_t at = 0;; ++at) {
        at = text.nextMark(at);
        s.marks.push_back(at);
        if (at == text.size()) break;
    }
    return s;
}

std::vector<ScanKernel> vectorKernels() {
    std::vector<ScanKernel> kernels;
    for (ScanKernel k : {ScanKernel::Sse2, ScanKernel::Avx2}) {
        if (useScanKernel(k)) kernels.push_back(k);
    }
    useScanKernel(ScanKernel::Auto);
    return kernels;
}

std::string factsOf(const TextFacts& f) {
    return std::to_string(f.length) + " " + std::to_string(f.ascii) + " " + std::to_string(f.utf8) +
           " " + std::to_string(f.wellFormedUtf8) + " " +
           (f.lastHtmlTag == kNoPlace ? "-" : std::to_string(f.lastHtmlTag));
}

// Every kernel agrees with the reference on `text` placed at each offset of a block
// behind ASCII, and on each of its prefixes.
void expectKernelsAgree(const std::string& text) {
    for (std::size_t offset = 0; offset < 64; ++offset) {
        const std::string placed = std::string(offset, 'x') + text;
        for (std::size_t cut = 0; cut <= placed.size(); cut += 1 + cut / 8) {
            const std::string_view bytes(placed.data(), cut);
            for (bool strict : {false, true}) {
                const Scanned expected = scanWith(ScanKernel::Reference, bytes, strict);
                for (ScanKernel kernel : vectorKernels()) {
                    EXPECT_TRUE(scanWith(kernel, bytes, strict) == expected)
                        << "kernel " << static_cast<int>(kernel) << ", offset " << offset
                        << ", cut " << cut << ", strict " << strict;
                }
            }
        }
    }
}

TEST(TextScanTest, FactsByTheRules) {
    for (const auto& c : testing::readCases("html/data/textScan.txt", 2)) {
        SCOPED_TRACE(c[0]);
        const Scanned s = scanWith(ScanKernel::Reference, c[0], true);
        EXPECT_EQ(factsOf(s.facts), c[1]);
        expectKernelsAgree(c[0]);
    }
    // The rules' own tables, through the kernels too.
    for (const auto& c : testing::readCases("html/data/utf8.txt", 3)) expectKernelsAgree(c[0]);
    for (const auto& c : testing::readCases("base/data/utf8.txt", 2)) expectKernelsAgree(c[0]);
}

// Random texts of the bytes the scan tells apart, of every length up to a few blocks.
TEST(TextScanTest, KernelsAgreeOnSprinkledTexts) {
    static const char kBytes[] =
        "<>hHtTmMlL\r\n\t\x0b\x80\x90\x9f\xa0\xbf\xc0\xc1\xc2\xdf\xe0\xe1\xed\xef\xf0\xf1\xf4"
        "\xf5\xf7\xf8\xfb\xfc\xfd\xfe\xff\0";
    const std::string alphabet(kBytes, sizeof kBytes - 1);
    unsigned seed = 3;
    for (int round = 0; round < 600; ++round) {
        const std::size_t length = static_cast<std::size_t>(round % 200);
        const std::string s = testing::sprinkled(seed, length, alphabet, 1 + round % 4);
        const Scanned expected = scanWith(ScanKernel::Reference, s, true);
        for (ScanKernel kernel : vectorKernels()) {
            ASSERT_TRUE(scanWith(kernel, s, true) == expected) << round;
        }
    }
}

// Texts made of whole sequences, lax UTF-8 throughout: well-formed ones, then one that
// strict UTF-8 refuses (or none), placed across a block's end at every place, so that
// the strict tests alone decide.
TEST(TextScanTest, KernelsAgreeOnSequences) {
    const std::vector<std::string> wellFormed = {"a",
                                                 "<",
                                                 "\xC3\xA9",
                                                 "\xE0\xA0\x80",
                                                 "\xED\x9F\xBF",
                                                 "\xEF\xBF\xBD",
                                                 "\xF0\x90\x80\x80",
                                                 "\xF4\x8F\xBF\xBF"};
    const std::vector<std::string> laxOnly = {"",
                                              "\xC1\xBF",
                                              "\xE0\x9F\xBF",
                                              "\xED\xA0\x80",
                                              "\xF0\x8F\xBF\xBF",
                                              "\xF4\x90\x80\x80",
                                              "\xF5\x80\x80\x80",
                                              "\xF8\x88\x80\x80\x80",
                                              "\xFC\x84\x80\x80\x80\x80",
                                              "\xFF\x80\x80\x80\x80"};
    unsigned seed = 5;
    for (const std::string& odd : laxOnly) {
        for (std::size_t before = 56; before <= 64; ++before) {
            std::string s = testing::sprinkled(seed, before % 8, "a", 1);
            while (s.size() < before) {
                seed = seed * 1103515245u + 12345u;
                const std::string& piece = wellFormed[(seed >> 16) % wellFormed.size()];
                s += s.size() + piece.size() <= before ? piece : "a";
            }
            s += odd + wellFormed[2] + "x";
            SCOPED_TRACE(s);
            const Scanned expected = scanWith(ScanKernel::Reference, s, true);
            EXPECT_EQ(expected.facts.wellFormedUtf8, odd.empty());
            for (ScanKernel kernel : vectorKernels())
                EXPECT_TRUE(scanWith(kernel, s, true) == expected);
        }
    }
}

// The marks lead from "<" to ">" and end at the text's end, wherever the search starts.
TEST(TextScanTest, SearchesStopAtTheEnd) {
    const std::string text = std::string(130, 'x') + "<a>" + std::string(61, 'y');
    TextScan scan;
    scan.scan(text.data(), text.size(), false);
    const ScannedText t = scan.text();
    EXPECT_EQ(t.find(0, '<'), 130u);
    EXPECT_EQ(t.find(0, '>'), 132u);
    EXPECT_EQ(t.find(131, '<'), text.size());
    EXPECT_EQ(t.find(text.size(), '>'), text.size());
}

}  // namespace
}  // namespace kestrune
