// SPDX-License-Identifier: MIT
// The library call's results as data: the status of each failure, the two text
// forms, the mode a tag gives, and calls from many threads at once.
#include <gtest/gtest.h>
#include <kestrune/extract.h>

#include <string>
#include <thread>
#include <vector>

namespace kestrune {
namespace {

TEST(ExtractTest, Statuses) {
    struct Case {
        const char* name;
        std::string page;
        std::string tag;
        unsigned codePage;
        Status status;
    };
    const Case cases[] = {
        {"ok", "<html><a>1</a></html>", "a", kUtf8, Status::Ok},
        {"no match is ok", "<html></html>", "a", kUtf8, Status::Ok},
        {"empty tag", "<html></html>", "", kUtf8, Status::InvalidRequest},
        {"code page 0 is the local one", "<html></html>", "a", kLocalCodePage, Status::Ok},
        {"no such code page", "<html></html>", "a", 1, Status::CodePageUnusable},
        {"EBCDIC", "<html></html>", "a", 37, Status::CodePageUnusable},
        {"10 MiB", std::string(10 << 20, 'x'), "a", kUtf8, Status::PageTooLarge},
        {"just under 10 MiB", "<p>" + std::string((10 << 20) - 4, 'x'), "p", kUtf8, Status::Ok},
        {"empty page", "", "a", kUtf8, Status::NoRoot},
        {"NUL first", std::string("\0<html>", 7), "a", kUtf8, Status::NoRoot},
        {"doctype only", "<!DOCTYPE html>", "!doctype", kUtf8, Status::NoRoot},
        {"text only", "words", "a", kUtf8, Status::Ok},
    };
    for (const Case& c : cases) {
        const Report report = extract(c.page, Request{c.tag, {}, c.codePage, TextForm::Written});
        EXPECT_EQ(report.status(), c.status) << c.name;
        EXPECT_EQ(static_cast<bool>(report), c.status == Status::Ok) << c.name;
        EXPECT_EQ(describe(c.status).empty(), c.status == Status::Ok) << c.name;
        if (!report) {
            EXPECT_EQ(report.size(), 0u) << c.name;
            EXPECT_EQ(report.consoleText(), "") << c.name;
        }
    }
}

TEST(ExtractTest, TextForms) {
    const std::string page =
        "<!DOCTYPE html\tPUBLIC><html><a href=\" x\ty \" title=t>A &amp;\r\n b<i> c</i></a>"
        "<a title=u/><script src=s>x y</script></html>";
    constexpr TextForm W = TextForm::Written, R = TextForm::Reported;
    using enum ReportMode;
    struct Case {
        const char* tag;
        std::vector<std::string> attributes;
        TextForm form;
        ReportMode mode;
        std::string values;  // element by element, key by key; blocks; the doctype: "|" after each
        const char* page = nullptr;  // another page
    };
    const Case cases[] = {
        {"a", {"href", "HREF", "none"}, W, Elements, "A &\r\n bc| xy | xy ||||||"},
        {"A", {"href"}, R, Elements, "A&bc| xy |||"},
        {"a", {}, W, Elements, "A &\r\n bc|href=\" xy \" title=\"t\" ||title=\"u\" |"},
        {"script", {}, R, RawBlocks, "<script src=\"s\" >x y</script>|"},
        {"DOCTYPE", {}, W, Doctype, "htmlPUBLIC|"},
        {"!doctype", {}, R, Doctype, "htmlPUBLIC|"},
        // A page without a doctype: the elements of that name.
        {"doctype", {"a"}, W, Elements, "x|1|", "<html><doctype a=1>x</doctype></html>"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.tag);
        const Report report =
            extract(c.page ? c.page : page, Request{c.tag, c.attributes, kUtf8, c.form});
        ASSERT_TRUE(report);
        EXPECT_EQ(report.mode(), c.mode);
        std::string values;
        if (c.mode == Doctype) values += std::string(report.doctype()) + "|";
        for (std::size_t i = 0; i < report.size(); ++i) {
            if (c.mode == RawBlocks) values += std::string(report.block(i)) + "|";
            for (std::size_t k = 0; c.mode == Elements && k < report.keys().size(); ++k)
                values += std::string(report.value(i, k)) + "|";
        }
        EXPECT_EQ(values, c.values);
    }
}

// Many pages from several threads at once give what one thread gives (ThreadSanitizer
// checks the calls share no state: the tsan preset runs this test).
TEST(ExtractTest, ManyThreads) {
    std::vector<std::string> pages;
    for (int i = 0; i < 64; ++i) {
        std::string page = "<!DOCTYPE x" + std::to_string(i) + "><html>";
        for (int j = 0; j <= i; ++j) {
            page +=
                "<a href=" + std::to_string(j) + " id=\xC3\xA9>t\xE4\xB8\xAD" + std::to_string(i);
            page += "<script>s</script></a><div>" + std::string(j, 'x') + "</div>";
        }
        pages.push_back(page + "</html>");
    }
    const Request requests[] = {{"a", {"href", "id"}, kUtf8, TextForm::Written},
                                {"a", {}, 936, TextForm::Reported},
                                {"script", {}, kLocalCodePage, TextForm::Written},
                                {"!doctype", {}, kUtf8, TextForm::Reported}};
    auto runAll = [&](std::vector<std::string>& out) {
        for (const std::string& page : pages) {
            for (const Request& request : requests) {
                const Report report = extract(page, request);
                out.push_back(report.consoleText() + report.fileText());
            }
        }
    };
    std::vector<std::string> expected;
    runAll(expected);
    std::vector<std::vector<std::string>> results(4);
    {
        std::vector<std::jthread> threads;
        for (auto& result : results) threads.emplace_back(runAll, std::ref(result));
    }
    for (const std::vector<std::string>& result : results) EXPECT_TRUE(result == expected);
}

}  // namespace
}  // namespace kestrune
