// SPDX-License-Identifier: MIT
// The platform layer's answers that the rest relies on: the system converter's results
// for several code pages, both ways, the program's path, and the names of descriptors.
#include <gtest/gtest.h>

#include <climits>
#include <cstdlib>
#include <new>
#include <string>
#include <utility>

#include "base/platform.h"
#include "base/utf8.h"
#include "support/caseFile.h"
#include "support/failingNew.h"
#if !defined(_WIN32)
#include "base/posixInternal.h"
#endif

namespace kestrune {
namespace {

TEST(CodePageTest, ConversionsThroughTheSystemConverter) {
    for (const auto& c : testing::readCases("base/data/codePages.txt", 4)) {
        const bool own = !platform::kConverterIsIconv && !c[3].empty();
        EXPECT_EQ(platform::utf8ToCodePage(c[1], std::stoul(c[0])), c[own ? 3 : 2])
            << c[0] << " " << c[1];
    }
}

TEST(CodePageTest, ConversionsBackThroughTheSystemConverter) {
    for (const auto& c : testing::readCases("base/data/codePagesBack.txt", 4)) {
        const bool own = !platform::kConverterIsIconv && !c[3].empty();
        EXPECT_EQ(platform::codePageToUtf8(c[1], std::stoul(c[0])), c[own ? 3 : 2])
            << c[0] << " " << c[1];
    }
    EXPECT_EQ(platform::codePageToUtf8("", 936), "");
    // Long texts are read in parts: characters cut at a part's end, and bytes that do
    // not convert anywhere, come out as in a short text.
    const std::string zhong = "\xD6\xD0", zhongUtf8 = "\xE4\xB8\xAD";
    for (std::size_t count : {127, 128, 300}) {
        std::string text = "a", expected = "a";
        for (std::size_t i = 0; i < count; ++i) text += zhong, expected += zhongUtf8;
        text += "\x81!" + text;
        expected += "\xED\xB2\x81!" + expected;
        EXPECT_EQ(platform::codePageToUtf8(text, 936), expected) << count;
    }
}

// The test that lets well-formed UTF-8 skip the conversion to UTF-8 agrees with the
// conversion: the text is well-formed exactly when converting it changes nothing.
TEST(CodePageTest, WellFormedUtf8IsKept) {
    for (const auto& c : testing::readCases("base/data/utf8.txt", 2)) {
        const bool wellFormed = c[1] == "1";
        EXPECT_EQ(isWellFormedUtf8(c[0]), wellFormed) << c[0];
        EXPECT_EQ(platform::utf8ToCodePage(c[0], kUtf8) == c[0], wellFormed || c[0].empty())
            << c[0];
    }
}

// A conversion that runs out of memory, at any of its allocations, throws
// std::bad_alloc and keeps nothing (the sanitizer build's leak check sees the
// converter's state otherwise); with memory enough, the text is whole.
TEST(CodePageTest, ConversionOutOfMemoryKeepsNothing) {
    std::string text;  // two bytes each in code page 936: the output outgrows its first buffer
    for (int i = 0; i < 300; ++i) text += "\xE4\xB8\xAD";
    const std::string whole = platform::utf8ToCodePage(text, 936);
    ASSERT_EQ(whole.size(), 600u);
    for (long long granted = 0;; ++granted) {
        ASSERT_LT(granted, 100);
        testing::failNewAfter(granted);
        try {
            const std::string converted = platform::utf8ToCodePage(text, 936);
            testing::failNewAfter(-1);
            EXPECT_EQ(converted, whole);
            break;
        } catch (const std::bad_alloc&) {
        }
    }
}

// The program's path from the name it was started under, as a shell finds it.
TEST(PlatformTest, ProgramPathFromItsName) {
#if defined(_WIN32)
    GTEST_SKIP() << "POSIX paths and a PATH searched as a shell does; Windows searches its own way";
#else
    const std::string sh = platform::programFilePathFromName("/bin/sh");
    ASSERT_EQ(sh.substr(0, 1), "/");  // found, and absolute
    EXPECT_TRUE(platform::fileExists(sh));
    const std::string path = std::getenv("PATH") != nullptr ? std::getenv("PATH") : "";
    // The first PATH entry that holds the name wins; missing entries are passed over.
    ::setenv("PATH", "/no/such/dir:/bin:/usr/bin", 1);
    EXPECT_EQ(platform::programFilePathFromName("sh"), sh);
    for (const char* name : {"no-such-program-here", "./no/such/program", ""}) {
        EXPECT_EQ(platform::programFilePathFromName(name), "") << name;
    }
    ::setenv("PATH", path.c_str(), 1);
#endif
}

// The system's names for the process's own descriptors, numbers as it writes them;
// every other path is a path (-1).
TEST(PlatformTest, DescriptorNames) {
#if defined(_WIN32)
    GTEST_SKIP() << "no names for descriptors on Windows";
#else
    const std::pair<const char*, int> names[] = {
        {"/dev/stdin", 0}, {"/dev/stdout", 1},       {"/dev/stderr", 2},
        {"/dev/fd/0", 0},  {"/proc/self/fd/12", 12}, {"/dev/fd/2147483647", INT_MAX}};
    for (const auto& [path, fd] : names)
        EXPECT_EQ(platform::detail::descriptorNamed(path), fd) << path;
    for (const char* path :
         {"/dev/fd/2147483648", "/dev/fd/18446744073709551619", "/dev/fd/03", "/dev/fd/",
          "/dev/fd/3/", "/dev/fd/-1", "/dev/fd/+1", "/dev/fd/ 1", "/dev/fd/1x", "dev/fd/3",
          "/dev/stdout/", "/dev/stdoutx", "/proc/1/fd/3"}) {
        EXPECT_EQ(platform::detail::descriptorNamed(path), -1) << path;
    }
#endif
}

}  // namespace
}  // namespace kestrune
