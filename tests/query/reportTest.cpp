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
            if (dropSpaces) {
                removeControlCharsAndSpaces(cleaned);
            } else {
                removeControlChars(cleaned);
            }
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

// An element is the fixed text with each value in its gap, whatever order the
// values come in; keys without a gap and empty values write nothing.
TEST(ReportTest, LayoutPutsValuesInTheirGaps) {
    ElementLayout layout(4);
    layout.addGapAfter("{\"", "b", "\":\"", 2);
    layout.addGapAfter("\", \"", "long key of more than sixteen bytes", "\":\"", 0);
    layout.addText("\"}");
    const std::vector<std::vector<KeyedValue>> cases = {
        {},
        {{0, "x"}, {2, "y"}},
        {{2, "y"}, {0, "x"}},
        {{3, "no gap"}, {1, "none either"}, {0, ""}},
        {{0, "a \"b\"\r\n", true}, {2, "c\td"}},
    };
    const std::vector<std::string> expected = {
        R"({"b":"", "long key of more than sixteen bytes":""})",
        R"({"b":"y", "long key of more than sixteen bytes":"x"})",
        R"({"b":"y", "long key of more than sixteen bytes":"x"})",
        R"({"b":"", "long key of more than sixteen bytes":""})",
        R"({"b":"cd", "long key of more than sixteen bytes":"a\"b\""})",
    };
    for (std::size_t i = 0; i < cases.size(); ++i) {
        ByteBuffer out;
        out.append("[");
        layout.render(out, cases[i], true);
        EXPECT_EQ(out.view(), "[" + expected[i]) << i;
    }
}

}  // namespace
}  // namespace kestrune
