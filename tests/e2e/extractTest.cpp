// SPDX-License-Identifier: MIT
// The extraction run through the built binary: every report mode on the console,
// the messages and exit statuses, code page conversion and the size limit.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <string>
#include <vector>

#include "support/runTool.h"

namespace kestrune {
namespace {

using testing::runTool;
using testing::TempDir;
using testing::ToolRun;

constexpr std::size_t kMaxBytes = 10 * 1024 * 1024;

class ExtractTest : public ::testing::Test {
  protected:
    // Runs the tool on `html` (written to a file of its own) with the given options.
    ToolRun run(const std::string& html, std::vector<std::string> options) {
        std::string page = dir.write("page" + std::to_string(++count) + ".html", html);
        options.insert(options.begin(), page);
        ToolRun r = runTool(options);
        EXPECT_EQ(r.errors, "");
        EXPECT_EQ(r.signal, 0);
        return r;
    }
    std::string out(const std::string& html, std::vector<std::string> options) {
        ToolRun r = run(html, std::move(options));
        EXPECT_EQ(r.status, 1) << r.output;
        return r.output;
    }
    TempDir dir;
    int count = 0;
};

TEST_F(ExtractTest, ElementMode) {
    const std::string page =
        "<html><body><p class=\"a b\" id=x>Hello world\r\n\t<b>big</b> <a href=\"/x "
        "y\">&lt;go&gt;</a></p>"
        "<p>  </p><a href=\"t\r\nab\tc\" HREF=first>second</a></body></html>";
    EXPECT_EQ(out(page, {"-tag", "a", "-attr", "href"}),
              "text=<go>\r\nhref=/x y\r\n"
              "text=second\r\nhref=first\r\n");
    // Text loses every space and line break; attribute values keep their spaces.
    EXPECT_EQ(out(page, {"-tag", "P", "-attr", "id;class,missing"}),
              "text=Helloworldbig<go>\r\nid=x\r\nclass=a b\r\nmissing=\r\n"
              "text=\r\nid=\r\nclass=\r\nmissing=\r\n");
    // Without names: the whole attribute list, in byte order.
    EXPECT_EQ(out(page, {"-tag", "p"}),
              "text=Helloworldbig<go>\r\nattr=class=\"a b\" id=\"x\" \r\n"
              "text=\r\nattr=\r\n");
    // A name asked twice prints twice; -text changes nothing.
    EXPECT_EQ(out(page, {"-tag", "a", "-attr", "href,href", "-text"}),
              "text=<go>\r\nhref=/x y\r\nhref=/x y\r\n"
              "text=second\r\nhref=first\r\nhref=first\r\n");
    EXPECT_EQ(out(page, {"-tag", "html"}), "");  // the root itself is never tested
    EXPECT_EQ(out(page, {"-tag", "table"}), "");
}

TEST_F(ExtractTest, DoctypeMode) {
    const std::string page =
        "<!DOCTYPE html PUBLIC\r\n \"-//W3C//DTD\"><html><doctype>x</doctype></html>";
    EXPECT_EQ(out(page, {"-tag", "!DOCTYPE"}), "doctype=html PUBLIC \"-//W3C//DTD\"\r\n");
    EXPECT_EQ(out(page, {"-tag", "doctype"}), "doctype=html PUBLIC \"-//W3C//DTD\"\r\n");
    // Without a declaration the element mode looks for elements named doctype.
    EXPECT_EQ(out("<html><doctype a=1>x</doctype></html>", {"-tag", "doctype"}),
              "text=x\r\nattr=a=\"1\" \r\n");
}

TEST_F(ExtractTest, RawBlockMode) {
    const std::string page =
        "<html><head><script src=a.js></script><style>p { }</style></head><body>"
        "<p><!-- one --><script>if (a < b) x();</script></p><!--two-->x</body></html>";
    EXPECT_EQ(out(page, {"-tag", "script"}),
              "===1===\r\n<script src=\"a.js\" ></script>\r\n\r\n"
              "===2===\r\n<script>if (a < b) x();</script>\r\n\r\n");
    EXPECT_EQ(out(page, {"-tag", "STYLE"}), "===1===\r\n<style>p { }</style>\r\n\r\n");
    EXPECT_EQ(out(page, {"-tag", "!--"}),
              "===1===\r\n<!-- one -->\r\n\r\n===2===\r\n<!--two-->\r\n\r\n");
    EXPECT_EQ(out("<html><p>x</p></html>", {"-tag", "script"}), "");
}

TEST_F(ExtractTest, CodePages) {
    // UTF-8 with non-ASCII bytes is converted to code page 936.
    EXPECT_EQ(out("<html><p title=\"\xE4\xB8\xAD\">caf\xC3\xA9 \xE4\xB8\xAD\xE6\x96\x87</p></html>",
                  {"-tag", "p", "-attr", "title"}),
              "text=caf\xA8\xA6\xD6\xD0\xCE\xC4\r\ntitle=\xD6\xD0\r\n");
    // Bytes that are not UTF-8 pass unchanged; references decode to UTF-8 bytes.
    EXPECT_EQ(out("<html><p>\xD6\xD0\xCE\xC4&#233;</p></html>", {"-tag", "p", "-attr", "x"}),
              "text=\xD6\xD0\xCE\xC4\xC3\xA9\r\nx=\r\n");
    // A NUL made by a reference is printed as the byte.
    EXPECT_EQ(out("<html><p>a&#-256;b</p></html>", {"-tag", "p", "-attr", "x"}),
              std::string("text=a\0b\r\nx=\r\n", 14));
}

TEST_F(ExtractTest, LoadFailures) {
    for (const std::string& html : {std::string(), std::string("<!DOCTYPE html>"),
                                    std::string("\0<html>", 7), std::string(kMaxBytes, 'x')}) {
        ToolRun r = run(html, {"-tag", "a"});
        EXPECT_EQ(r.status, 255);
        std::string page = dir.path() + "/page" + std::to_string(count) + ".html";
        EXPECT_EQ(r.output, "Error: The file \"" + page + "\" open failed.\r\n");
    }
    // One byte less is read; text without any tag still has a root.
    EXPECT_EQ(run(std::string(kMaxBytes - 1, 'x'), {"-tag", "a"}).status, 1);
    EXPECT_EQ(out("just text", {"-tag", "p"}), "");
}

TEST_F(ExtractTest, InputPaths) {
    std::string page = dir.write("ro.html", "<html><p>x</p></html>");
    ASSERT_EQ(chmod(page.c_str(), 0444), 0);
    ToolRun r = runTool({page, "-tag", "p", "-attr", "a"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.output, "text=x\r\na=\r\n");
    // Backslashes separate path parts too; the resolved path uses "/" only.
    std::string windowsStyle = page;
    windowsStyle[windowsStyle.rfind('/')] = '\\';
    EXPECT_EQ(runTool({windowsStyle, "-tag", "p", "-attr", "a"}).output, "text=x\r\na=\r\n");
    std::string bad = dir.write("bad.html", "");
    std::string badWindows = bad;
    badWindows[badWindows.rfind('/')] = '\\';
    EXPECT_EQ(runTool({badWindows, "-tag", "p"}).output,
              "Error: The file \"" + bad + "\" open failed.\r\n");
}

}  // namespace
}  // namespace kestrune
