// Every page of the shared corpus of real web pages, in every report mode, on the
// console and to a file. Skipped where the corpus is absent (a fresh clone).
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "support/runTool.h"

namespace kestrune {
namespace {

namespace fs = std::filesystem;
using testing::runTool;
using testing::TempDir;
using testing::ToolRun;

const char* const kModes[] = {"a", "p", "div", "script", "style", "!--", "!doctype", "nosuchtag"};

std::vector<fs::path> corpusPages() {
    std::vector<fs::path> pages;
    fs::path dir = fs::path(KESTRUNE_SOURCE_DIR) / ".." / "shared" / "corpus" / "real";
    std::error_code ec;
    for (const auto& entry : fs::directory_iterator(dir, ec)) {
        if (entry.path().extension() == ".html") pages.push_back(entry.path());
    }
    std::sort(pages.begin(), pages.end());
    return pages;
}

TEST(CorpusTest, EveryPageInEveryMode) {
    std::vector<fs::path> pages = corpusPages();
    if (pages.empty()) GTEST_SKIP() << "../shared/corpus/real is not here";
    TempDir out;
    for (const fs::path& page : pages) {
        for (const char* mode : kModes) {
            SCOPED_TRACE(page.filename().string() + " -tag " + mode);
            ToolRun console = runTool({page.string(), "-tag", mode, "-attr", "href,id"});
            EXPECT_EQ(console.status, 1);
            EXPECT_EQ(console.signal, 0);
            EXPECT_EQ(console.errors, "");
            std::string file = out.path() + "/" + page.stem().string() + "." + mode + ".out";
            ToolRun toFile = runTool({page.string(), "-tag", mode, "-o", file});
            EXPECT_EQ(toFile.status, 1);
            EXPECT_EQ(toFile.signal, 0);
            EXPECT_TRUE(testing::pathExists(file));
        }
    }
}

}  // namespace
}  // namespace kestrune
