// SPDX-License-Identifier: MIT
#include <gtest/gtest.h>
#include <kestrune/json.h>

#include <string>
#include <vector>

#include "base/ByteBuffer.h"
#include "base/byteString.h"
#include "query/report.h"
#include "support/sprinkled.h"

namespace kestrune {
namespace {

// The one-pass writer of a value equals the cleanup followed by the escaping, for
// short values (byte by byte) and long ones (sixteen bytes at a time) alike.
TEST(ReportTest, CleanedValueEqualsCleanupThenEscape) {
    const std::string alphabet("ab\r\n\t \"\\\x01\x1f\x7f\x80\xff\0", 15);
    unsigned seed = 7;
    for (int round = 0; round < 2000; ++round) {
        const std::string s =
            testing::sprinkled(seed, static_cast<std::size_t>(round % 50), alphabet, 4);
        for (bool dropSpaces : {false, true}) {
            std::string cleaned = s;
            removeControlChars(cleaned);
            if (dropSpaces) std::erase(cleaned, ' ');
            std::string escaped;
            appendJsonEscaped(escaped, cleaned);
            for (bool json : {false, true}) {
                std::string written(6 * s.size(), '\0');
                written.resize(static_cast<std::size_t>(
                    writeCleanedValue(written.data(), s, dropSpaces, json) - written.data()));
                EXPECT_EQ(written, json ? escaped : cleaned)
                    << "json " << json << ", dropSpaces " << dropSpaces << ", round " << round;
            }
        }
    }
}

// An element is the fixed text with each value in its gap, whatever order the values
// come in, keys of more than sixteen bytes copied whole; a key without a gap writes
// nothing. (Empty values, escaping and spaces are pinned by the program's golden files.)
TEST(ReportTest, LayoutPutsValuesInTheirGaps) {
    ElementLayout layout(3);
    layout.addGapAfter("{\"", "b", "\":\"", 2);
    layout.addGapAfter("\", \"", "long key of more than sixteen bytes", "\":\"", 0);
    layout.addText("\"}");
    ByteBuffer out;
    out.append("[");
    layout.render(out, {{0, "x"}, {1, "no gap"}, {2, "y"}}, true);
    EXPECT_EQ(out.view(), R"([{"b":"y", "long key of more than sixteen bytes":"x"})");
}

}  // namespace
}  // namespace kestrune
