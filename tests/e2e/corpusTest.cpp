// SPDX-License-Identifier: MIT
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
    std::vector<std::string> jsonFiles;
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
            if (std::string(mode) != "script" && std::string(mode) != "style" &&
                std::string(mode) != "!--") {
                jsonFiles.push_back(file);
            }
        }
    }
    // Every JSON file parses with an independent parser. Text stays in the page's
    // code page, so the bytes are read as Latin-1.
    if (!testing::pathExists("/usr/bin/python3")) GTEST_SKIP() << "no python3 to check the JSON";
    std::vector<std::string> args{"-c",
                                  "import json, sys\n"
                                  "for f in sys.argv[1:]:\n"
                                  "    with open(f, encoding='latin-1') as h:\n"
                                  "        v = json.load(h)\n"
                                  "    assert isinstance(v, dict) and len(v) == 1, f\n"
                                  "print(len(sys.argv) - 1)\n"};
    args.insert(args.end(), jsonFiles.begin(), jsonFiles.end());
    ToolRun check = runTool(args, "", "/usr/bin/python3");
    EXPECT_EQ(check.status, 0) << check.errors;
    EXPECT_EQ(check.output, std::to_string(jsonFiles.size()) + "\n");
}

}  // namespace
}  // namespace kestrune
