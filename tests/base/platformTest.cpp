// SPDX-License-Identifier: MIT
// The platform layer's answers that the rest relies on.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "base/platform.h"

namespace kestrune {
namespace {

// The program's path from the name it was started under, as a shell finds it.
TEST(PlatformTest, ProgramPathFromItsName) {
    const std::string sh = platform::programFilePathFromName("/bin/sh");
    ASSERT_FALSE(sh.empty());
    EXPECT_EQ(sh.front(), '/');
    EXPECT_TRUE(platform::fileExists(sh));
    const char* saved = std::getenv("PATH");
    const std::string path = saved != nullptr ? saved : "";
    // The first PATH entry that holds the name wins; missing entries are passed over.
    ::setenv("PATH", "/no/such/dir:/bin:/usr/bin", 1);
    EXPECT_EQ(platform::programFilePathFromName("sh"), sh);
    EXPECT_EQ(platform::programFilePathFromName("no-such-program-here"), "");
    ::setenv("PATH", path.c_str(), 1);
    EXPECT_EQ(platform::programFilePathFromName("./no/such/program"), "");
    EXPECT_EQ(platform::programFilePathFromName(""), "");
}

}  // namespace
}  // namespace kestrune
