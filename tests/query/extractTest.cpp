// SPDX-License-Identifier: MIT
// The library call's results as data: the status of each failure, the two text
// forms, the mode a tag gives, and calls from many threads at once.
#include <gtest/gtest.h>
#include <kestrune/extract.h>
#include <kestrune/select.h>

#include <algorithm>
#include <cstdint>
#include <string>
#include <thread>
#include <tuple>
#include <vector>

#include "support/guardedBytes.h"

namespace kestrune {
namespace {

TEST(ExtractTest, Statuses) {
    // Name, page, tag, code page, status.
    const std::tuple<const char*, std::string, std::string, unsigned, Status> cases[] = {
        {"empty tag", "<html></html>", "", kUtf8, Status::InvalidRequest},
        {"no such code page", "<html></html>", "a", 1, Status::CodePageUnusable},
        {"EBCDIC", "<html></html>", "a", 37, Status::CodePageUnusable},
        {"10 MiB", std::string(10 << 20, 'x'), "a", kUtf8, Status::PageTooLarge},
        {"just under 10 MiB", "<p>" + std::string((10 << 20) - 4, 'x'), "p", kUtf8, Status::Ok},
        {"empty page", "", "a", kUtf8, Status::NoRoot},
        {"NUL first", std::string("\0<html>", 7), "a", kUtf8, Status::NoRoot},
        {"doctype only", "<!DOCTYPE html>", "!doctype", kUtf8, Status::NoRoot},
    };
    for (const auto& [name, page, tag, codePage, status] : cases) {
        const Report report = extract(page, Request{tag, {}, codePage, TextForm::Written});
        EXPECT_EQ(report.status(), status) << name;
        EXPECT_EQ(static_cast<bool>(report), status == Status::Ok) << name;
        EXPECT_EQ(describe(status).empty(), status == Status::Ok) << name;
        if (report) continue;
        // A failed report holds nothing but its status.
        EXPECT_EQ(report.size(), 0u) << name;
        EXPECT_TRUE(report.keys().empty()) << name;
        EXPECT_EQ(report.mode(), ReportMode::Elements) << name;
        EXPECT_EQ(report.consoleText(), "") << name;
    }
}

TEST(ExtractTest, ReportLimits) {
    // Each of the nested elements holds the text of all below it: a page of 33 KB asks
    // for a report of 36 MB.
    std::string nested = "<html>";
    for (int i = 0; i < 3000; ++i) nested += "<b>abcdefgh";
    const std::string comments =
        "<html><!--" + std::string(1 << 20, 'c') + "--><!--" + std::string(1 << 20, 'c') + "-->";
    // The report holds "xy", "", "z" and "": 3 bytes and 4 ends of 8 bytes.
    const std::string small = "<html><a>xy</a><a>z</a></html>";
    std::string links = "<html>";
    for (int i = 0; i < 200; ++i) links += "<a>x</a>";
    // Name, page, tag, limit, the interruption asked for at this call (0: none), status.
    const std::tuple<const char*, std::string, const char*, std::size_t, int, Status> cases[] = {
        {"nested, the default limit", nested, "b", 0, 0, Status::ReportTooLarge},
        {"nested, no limit", nested, "b", SIZE_MAX, 0, Status::Ok},
        {"raw blocks", comments, "!--", 2 << 20, 0, Status::ReportTooLarge},
        {"exactly the limit", small, "a", 35, 0, Status::Ok},
        {"a byte over", small, "a", 34, 0, Status::ReportTooLarge},
        {"asked after every 64 findings", links, "a", 0, 4, Status::Ok},
        {"interrupted", links, "a", 0, 3, Status::Interrupted},
    };
    for (const auto& [name, page, tag, limit, stopAt, status] : cases) {
        Request request{tag};
        request.maxReportBytes = limit;
        int calls = 0;
        if (stopAt != 0) request.interrupted = [&calls, stop = stopAt] { return ++calls == stop; };
        EXPECT_EQ(extract(page, request).status(), status) << name;
    }
    EXPECT_EQ(defaultReportLimit(0), std::size_t{16} << 20);
    EXPECT_EQ(defaultReportLimit(1 << 20), std::size_t{64} << 20);
    EXPECT_EQ(defaultReportLimit(SIZE_MAX), std::size_t{sizeof(void*) >= 8 ? 1024 : 256} << 20);
}

TEST(ExtractTest, TextForms) {
    const std::string page =
        "<!DOCTYPE html\tPUBLIC><html><a href=\" x\ty \" title=t>A &amp;\r\n b<i> c</i></a>"
        "<a title=u/><script src=s>x y</script></html>";
    constexpr TextForm W = TextForm::Written, R = TextForm::Reported;
    const std::string kSpaced = "<html><p>1.<b> Getting</b> <i>Started</i> \n</p></html>";
    using enum ReportMode;
    // Tag, attributes, form, mode, the values ("|" after each: element by element, key by
    // key; each block; the doctype), and another page when not empty.
    const std::tuple<const char*, std::vector<std::string>, TextForm, ReportMode, std::string,
                     std::string>
        cases[] = {
            {"a",
             {"href", "HREF", "none", "href"},
             W,
             Elements,
             "A &\r\n b c| xy | xy || xy ||||||",
             ""},
            {"A", {"href"}, R, Elements, "A&bc| xy |||", ""},
            {"a", {}, W, Elements, "A &\r\n b c|href=\" xy \" title=\"t\" ||title=\"u\" |", ""},
            // White space at the start of each piece, and between two tags, is kept as
            // written; the reported form drops it with every other space.
            {"p", {}, W, Elements, "1. Getting Started \n||", kSpaced},
            {"p", {}, R, Elements, "1.GettingStarted||", kSpaced},
            {"b", {"id"}, W, Elements, "x|1|y||", "<html><b id=1>x</b><b>y</b></html>"},
            // The same through the tree: a doctype report without a doctype.
            {"doctype", {}, W, Elements, " a b ||", "<html><doctype> a<b> b</b> </doctype></html>"},
            {"script", {}, R, RawBlocks, "<script src=\"s\" >x y</script>|", ""},
            {"DOCTYPE", {}, W, Doctype, "htmlPUBLIC|", ""},
            {"!doctype", {}, R, Doctype, "htmlPUBLIC|", ""},
            // A page without a doctype: the elements of that name.
            {"doctype", {"a"}, W, Elements, "x|1|", "<html><doctype a=1>x</doctype></html>"},
        };
    for (const auto& [tag, attributes, form, mode, expected, other] : cases) {
        SCOPED_TRACE(tag);
        const Report report = extract(other.empty() ? page : other, {tag, attributes, kUtf8, form});
        ASSERT_TRUE(report);
        EXPECT_EQ(report.mode(), mode);
        std::string values;
        if (mode == Doctype) values += std::string(report.doctype()) + "|";
        for (std::size_t i = 0; i < report.size(); ++i) {
            if (mode == RawBlocks) values += std::string(report.block(i)) + "|";
            for (std::size_t k = 0; mode == Elements && k < report.keys().size(); ++k)
                values += std::string(report.value(i, k)) + "|";
        }
        EXPECT_EQ(values, expected);
        EXPECT_EQ(report.lacksDoctype(), std::string_view(tag) == "doctype");
        const std::vector<std::string>& keys = report.keys();
        for (std::size_t i = 0; i < report.size() && mode == Elements; ++i) {
            EXPECT_EQ(report.value(i, keys.size()), "");  // past the last key
            EXPECT_EQ(report.value(i, "no such key"), "");
            // By name: the first key of that name.
            for (const std::string& key : keys) {
                const auto k = std::find(keys.begin(), keys.end(), key) - keys.begin();
                EXPECT_EQ(report.value(i, key), report.value(i, static_cast<std::size_t>(k)));
            }
        }
    }
}

TEST(ExtractTest, SelectorsAndTagReading) {
    const std::string page =
        "<html><nav><a href=/x>X</a><a>Y</a></nav><p><a href=/z>Z</a></p>"
        "<script>if (a < b) go()</script></html>";
    const std::string wrapped = "<html><A\nHREF=\"/w\">W</A><p\tclass=c>P</p></html>";
    // Selector (or, with a leading "-tag ", a tag), attributes, tags read as browsers
    // read them, page (empty: `page`), status, the values as in TextForms.
    const std::tuple<const char*, std::vector<std::string>, bool, std::string, Status, std::string>
        cases[] = {
            {"nav a[href]", {"href"}, false, "", Status::Ok, "X|/x|"},
            {"a:not([href])", {}, false, "", Status::Ok, "Y||"},
            {"nav > a:last-child, p a", {"href"}, false, "", Status::Ok, "Y||Z|/z|"},
            {":root", {}, false, "<html>t</html>", Status::Ok, "t||"},
            {"script", {}, false, "", Status::Ok, "if (a < b) go()||"},
            {"p a", {"href"}, false, "<p><a href=1>1</a></p>", Status::Ok, "1|1|"},
            {"a[", {}, false, "", Status::InvalidSelector, ""},
            {"a::before", {}, false, "", Status::InvalidSelector, ""},
            // Names and attributes that run on past a line break.
            {"a", {"href"}, false, wrapped, Status::Ok, ""},
            {"a", {"href"}, true, wrapped, Status::Ok, "W|/w|"},
            {"p.c", {}, true, wrapped, Status::Ok, "P|class=\"c\" |"},
            {"-tag a", {"href"}, true, wrapped, Status::Ok, "W|/w|"},
            {"-tag a", {"href"}, false, wrapped, Status::Ok, ""},
        };
    for (const auto& [selector, attributes, htmlWhitespace, other, status, expected] : cases) {
        SCOPED_TRACE(selector);
        Request request;
        const std::string_view text(selector);
        if (text.starts_with("-tag ")) {
            request.tag = std::string(text.substr(5));
        } else {
            request.selector = Selector::compile(text);
        }
        request.attributes = attributes;
        request.codePage = kUtf8;
        request.text = TextForm::Written;
        request.htmlWhitespace = htmlWhitespace;
        const Report report = extract(other.empty() ? page : other, request);
        ASSERT_EQ(report.status(), status);
        std::string values;
        for (std::size_t i = 0; i < report.size(); ++i)
            for (std::size_t k = 0; k < report.keys().size(); ++k)
                values += std::string(report.value(i, k)) + "|";
        EXPECT_EQ(values, expected);
        EXPECT_FALSE(report.lacksDoctype());
    }
}

// Many pages from several threads at once give what one thread gives (ThreadSanitizer
// checks the calls share no state: the tsan preset runs this test).
TEST(ExtractTest, ManyThreads) {
    std::vector<std::string> pages(64);
    for (int i = 0; i < 64; ++i) {
        pages[i] = "<!DOCTYPE x" + std::to_string(i) + "><html>";
        for (int j = 0; j <= i; ++j)
            pages[i] += "<a href=" + std::to_string(j) + " id=\xC3\xA9>t\xE4\xB8\xAD" +
                        std::to_string(i) + "<script>s</script></a><div>" + std::string(j, 'x') +
                        "</div>";
    }
    const Request requests[] = {{"a", {"href", "id"}, kUtf8, TextForm::Written},
                                {"a", {}, 936, TextForm::Reported},
                                {"script", {}, kLocalCodePage, TextForm::Written},
                                {"!doctype", {}, kUtf8, TextForm::Reported}};
    auto runAll = [&](std::vector<std::string>& out) {
        for (const std::string& page : pages)
            for (const Request& request : requests) {
                const Report report = extract(page, request);
                out.push_back(report.consoleText() + report.fileText());
            }
    };
    std::vector<std::string> expected;
    runAll(expected);
    std::vector<std::vector<std::string>> results(4);
    std::vector<std::jthread> threads;
    for (auto& result : results) threads.emplace_back(runAll, std::ref(result));
    threads.clear();  // joins them
    for (const std::vector<std::string>& result : results) EXPECT_TRUE(result == expected);
}

// A page that needs no conversion is read where it lies: the call never writes to it
// and never reads past its end, which here is the end of the last readable page (the
// next one faults), whatever the page ends in.
TEST(ExtractTest, ReadsThePageInPlaceOnly) {
    const std::string pages[] = {
        "<html><a>x</a>",
        "<html><a href=y>x</a><a",
        "<html><a>x</a><a>",
        "<html><a>x</a><",
        "<html><a>x</a><!-",
        "<html><a\n\thref=1>x</a\r>",
        "<html><p>t<a\r>",
        "<html><script>x</script><!--",
        "<html><!-- c --><style>s</sty",
        "<html><a>caf\xC3\xA9 &amp; &#",
        "<html><A HREF=\"&amp;\">\xD6\xD0</a",
        "x<h\ntml",
        std::string("<html><a>x</a>\0<a>y</a>", 24),
    };
    const Request requests[] = {{"a", {"href"}, kUtf8, TextForm::Written},
                                {"a", {}, kUtf8, TextForm::Reported},
                                {"p", {}, 1252, TextForm::Written},
                                {"!--", {}, kUtf8, TextForm::Written},
                                {"style", {}, kUtf8, TextForm::Written}};
    for (const std::string& page : pages) {
        const testing::GuardedBytes guarded(page);
        for (const Request& request : requests) {
            SCOPED_TRACE(page + " / " + request.tag);
            const Report expected = extract(page, request);
            const Report report = extract(guarded.view(), request);
            EXPECT_EQ(report.status(), expected.status());
            EXPECT_EQ(report.consoleText(), expected.consoleText());
            EXPECT_EQ(report.fileText(), expected.fileText());
        }
    }
}

}  // namespace
}  // namespace kestrune
