// SPDX-License-Identifier: MIT
#include <gtest/gtest.h>
#include <kestrune/encoding.h>

#include <string>

#include "base/platform.h"
#include "support/caseFile.h"

namespace kestrune {
namespace {

const char* sourceName(EncodingSource source) {
    switch (source) {
        case EncodingSource::ByteOrderMark:
            return "ByteOrderMark";
        case EncodingSource::Declaration:
            return "Declaration";
        case EncodingSource::Utf8Check:
            return "Utf8Check";
        case EncodingSource::Fallback:
            return "Fallback";
        case EncodingSource::Given:
            return "Given";
    }
    return "?";
}

TEST(EncodingTest, Detection) {
    for (const auto& c : testing::readCases("html/data/encodings.txt", 3)) {
        SCOPED_TRACE(c[0]);
        const Encoding found = detectEncoding(c[0]);
        EXPECT_EQ(found.name, c[1]);
        EXPECT_EQ(sourceName(found.source), c[2]);
        EXPECT_EQ(found.codePage, codePageForName(c[1]));
    }
    // Only the page's start is looked at.
    const std::string late = std::string(1024, ' ') + "<meta charset=big5>";
    EXPECT_EQ(detectEncoding(late).source, EncodingSource::Utf8Check);
    EXPECT_EQ(detectEncoding(late.substr(20)).name, "big5");
}

TEST(EncodingTest, Conversion) {
    for (const auto& c : testing::readCases("html/data/toUtf8.txt", 3)) {
        SCOPED_TRACE(c[0] + ": " + c[1]);
        const Encoding encoding = encodingNamed(c[0]);
        ASSERT_NE(encoding.codePage, 0u);
        if (!platform::isUsableCodePage(encoding.codePage) && encoding.codePage > 1201 &&
            encoding.codePage != 1252)
            GTEST_SKIP() << "the converter lacks " << c[0];
        std::string storage;
        EXPECT_EQ(toUtf8(c[1], encoding, storage), c[2]);
    }
}

TEST(EncodingTest, Names) {
    EXPECT_EQ(codePageForName("  LATIN1 "), 1252u);
    EXPECT_EQ(codePageForName("utf8"), 65001u);
    EXPECT_EQ(codePageForName("iso-8859-2"), 0u);  // no converter for it in every build
    const Encoding unknown = encodingNamed("klingon");
    EXPECT_EQ(unknown.codePage, 0u);
    EXPECT_EQ(unknown.source, EncodingSource::Given);
}

}  // namespace
}  // namespace kestrune
