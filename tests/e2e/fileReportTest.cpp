// SPDX-License-Identifier: MIT
// The file report through the built binary: exact bytes of the JSON and record
// files, the "Output File" line, output names.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <string>
#include <vector>

#include "support/runTool.h"

namespace kestrune {
namespace {

using testing::readFile;
using testing::runTool;
using testing::TempDir;
using testing::ToolRun;

const std::string kPage =
    "<!DOCTYPE html><html><body>"
    "<a href=\"/x\" title=\"say &quot;hi&quot;\">Home page</a>"
    "<a href=\"/y\" class=k>About\\us</a>"
    "<p>tab\there</p></body></html>";

class FileReportTest : public ::testing::Test {
  protected:
    // Runs the tool with -o <dir>/out.json and returns the file's bytes.
    std::string json(std::vector<std::string> options, const std::string& html = kPage) {
        std::string page = dir.write("page.html", html);
        std::string out = dir.path() + "/out.json";
        std::filesystem::remove(out);
        options.insert(options.begin(), page);
        options.insert(options.end(), {"-o", out});
        ToolRun r = runTool(options);
        EXPECT_EQ(r.status, 1);
        EXPECT_EQ(r.output, "\r\nOutput File: " + out + "\r\n");
        return readFile(out);
    }
    TempDir dir;
};

TEST_F(FileReportTest, ElementFiles) {
    EXPECT_EQ(json({"-tag", "a", "-attr", "href"}),
              "{\"a\":[{\"href\":\"/x\", \"text\":\"Homepage\"}, "
              "{\"href\":\"/y\", \"text\":\"About\\\\us\"}]}");
    // "attr" comes before "text"; quotes are escaped in values.
    EXPECT_EQ(json({"-tag", "A"}),
              "{\"A\":[{\"attr\":\"href=\\\"/x\\\" title=\\\"say &quot;hi&quot;\\\" \", "
              "\"text\":\"Homepage\"}, {\"attr\":\"class=\\\"k\\\" href=\\\"/y\\\" \", "
              "\"text\":\"About\\\\us\"}]}");
    // A repeated name gives one member; a requested attribute named text none of its own.
    EXPECT_EQ(json({"-tag", "a", "-attr", "title,text,title,missing"}),
              "{\"a\":[{\"missing\":\"\", \"text\":\"Homepage\", \"title\":\"say \\\"hi\\\"\"}, "
              "{\"missing\":\"\", \"text\":\"About\\\\us\", \"title\":\"\"}]}");
    EXPECT_EQ(json({"-tag", "table", "-attr", "x"}), "{\"table\":[]}");
    // Odd attribute names are escaped like any key.
    EXPECT_EQ(json({"-tag", "p", "-attr", "a\"b"}),
              "{\"p\":[{\"a\\\"b\":\"\", \"text\":\"tabhere\"}]}");
    // Byte order of escaped keys, also among keys alike in their first bytes.
    EXPECT_EQ(json({"-tag", "p", "-attr", "abcde,abcd,abc!,abc,abcd,a\"bcd,ab"}),
              "{\"p\":[{\"a\\\"bcd\":\"\", \"ab\":\"\", \"abc\":\"\", \"abc!\":\"\", "
              "\"abcd\":\"\", \"abcde\":\"\", \"text\":\"tabhere\"}]}");
    // Control bytes and a NUL made by a reference are escaped.
    EXPECT_EQ(json({"-tag", "p", "-attr", "v"}, "<html><p v=\"a\x01\">x&#-256;</p></html>"),
              "{\"p\":[{\"text\":\"x\\u0000\", \"v\":\"a\\u0001\"}]}");
}

TEST_F(FileReportTest, DoctypeFile) {
    EXPECT_EQ(json({"-tag", "!DOCTYPE"}), "{\"doctype\":\"html\"}");
    EXPECT_EQ(json({"-tag", "doctype"}, "<!doctype html \"x\\y\"><html></html>"),
              "{\"doctype\":\"html \\\"x\\\\y\\\"\"}");
}

TEST_F(FileReportTest, RecordFiles) {
    std::string page = dir.write(
        "p.html", "<html><script>a()</script><p><script src=x>b</script></p><!--c--></html>");
    std::string out = dir.path() + "/out.js";
    ToolRun r = runTool({page, "-tag", "script", "-o", out});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.output, "");  // no console line in this mode
    EXPECT_EQ(
        readFile(out),
        "// No.1\r\n<script>a()</script>\r\n\r\n// No.2\r\n<script src=\"x\" >b</script>\r\n\r\n");
    // No match: an empty file.
    r = runTool({page, "-tag", "style", "-o", out});
    EXPECT_EQ(r.output, "");
    EXPECT_TRUE(testing::pathExists(out));
    EXPECT_EQ(readFile(out), "");
}

}  // namespace
}  // namespace kestrune
