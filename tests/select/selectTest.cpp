// SPDX-License-Identifier: MIT
#include <gtest/gtest.h>
#include <kestrune/select.h>

#include <string>
#include <vector>

#include "base/asciiTable.h"
#include "html/attributes.h"
#include "html/parserCore.h"
#include "select/program.h"
#include "select/streamMatcher.h"
#include "support/caseFile.h"
#include "support/selectReference.h"

namespace kestrune {
namespace {

// An element as the case files write it: its tag name in lower case and "#" with its id.
void describeElement(std::string& out, std::string_view tagName, std::string_view attributeText) {
    if (!out.empty()) out += ' ';
    for (char c : tagName) out += toLowerByte(c);
    std::string id;
    if (findAttribute(attributeText, "id", id)) out += "#" + id;
}

std::string describe(const ElementList& list) {
    std::string out;
    for (const HtmlElement* e : list) describeElement(out, e->tagName(), e->attributeText());
    return out.empty() ? "-" : out;
}

// The streaming matcher driven by the parser core's events, as a streaming consumer
// drives it: the matches described, per top-level element.
class StreamConsumer {
  public:
    explicit StreamConsumer(const Selector& selector) : matcher_(selector) {}

    // The matches in the root's tree, described; the page is read without a tree.
    std::string run(const std::string& page) {
        TextScan scan;
        scan.scan(page.data(), page.size(), false);
        ParserCore<StreamConsumer>(scan.text(), *this).run();
        return root_.found() && !found_[root_.root()].empty() ? found_[root_.root()] : "-";
    }

    void topLevel(const Token& token) {
        found_.emplace_back();
        open(token);
    }
    void child(const Token& token, std::uint16_t) { open(token); }
    void finished(std::uint32_t, std::string_view) {}
    void descend() {}
    void leaf(bool) {
        matcher_.close();
        names_.pop_back();
    }
    void slot(std::string_view) {}
    void strayEnd(std::string_view) {}
    std::string_view ascend(bool, bool) {
        matcher_.close();
        names_.pop_back();
        return names_.back();
    }
    void topLevelEnd(bool, TopLevelKind kind) {
        matcher_.close();
        names_.clear();
        root_.offer(kind, found_.size() - 1);
    }

  private:
    void open(const Token& token) {
        names_.push_back(token.tagName);
        if (matcher_.open(token.tagName, token.attributeText))
            describeElement(found_.back(), token.tagName, token.attributeText);
    }

    selectors::StreamMatcher matcher_;
    std::vector<std::string_view> names_;  // the open elements, ended by leaf or ascend
    std::vector<std::string> found_;       // per top-level element
    RootChoice<std::size_t> root_;
};

class SelectMatchTest : public ::testing::TestWithParam<std::vector<std::string>> {};

// Every row: the engine, selectFirst, the reference and, for selectors that stream,
// the streaming matcher give the expected elements.
TEST_P(SelectMatchTest, MatchesExpectedElements) {
    HtmlDocument document;
    ASSERT_EQ(document.parse(GetParam()[0]), 1);
    for (const std::string& line : testing::fieldLines(GetParam()[1])) {
        SCOPED_TRACE(line);
        const std::size_t arrow = line.rfind(" => ");
        ASSERT_NE(arrow, std::string::npos);
        std::string text = line.substr(0, arrow);
        const std::string expected = line.substr(arrow + 4);
        const HtmlElement* scope = nullptr;
        if (text.starts_with("@")) {
            const std::size_t bar = text.find(" | ");
            scope = selectFirst(document, Selector::compile(text.substr(1, bar - 1)));
            ASSERT_NE(scope, nullptr);
            text = text.substr(bar + 3);
        }
        const Selector selector = Selector::compile(text);
        ASSERT_TRUE(selector) << selector.error().message;
        const ElementList found = scope ? select(*scope, selector) : select(document, selector);
        EXPECT_EQ(describe(found), expected);
        const HtmlElement* first =
            scope ? selectFirst(*scope, selector) : selectFirst(document, selector);
        EXPECT_EQ(first, found.empty() ? nullptr : found.front());
        testing::ReferenceSelector reference(text);
        EXPECT_EQ(describe(scope ? reference.select(*scope) : reference.select(document)),
                  expected);
        if (selector.streams() && scope == nullptr) {
            EXPECT_EQ(describe(testing::streamedMatches(document, selector)), expected);
            EXPECT_EQ(StreamConsumer(selector).run(GetParam()[0]), expected);
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Pages, SelectMatchTest,
                         ::testing::ValuesIn(testing::readCases("select/data/matches.txt", 2)),
                         [](const auto& param) {
                             return testing::caseName(param.index, param.param[1]);
                         });

TEST(SelectorTest, ErrorsNameWhereAndWhat) {
    const auto cases = testing::readCases("select/data/errors.txt", 1);
    ASSERT_EQ(cases.size(), 1u);
    HtmlDocument document;
    ASSERT_EQ(document.parse("<html><a></a></html>"), 1);
    for (const std::string& line : testing::fieldLines(cases[0][0])) {
        const std::size_t arrow = line.find(" => ");
        const std::string text = line.substr(0, arrow);
        const std::string message = line.substr(arrow + 4);
        SCOPED_TRACE(text);
        const Selector selector = Selector::compile(text);
        EXPECT_FALSE(selector);
        EXPECT_FALSE(selector.streams());
        EXPECT_EQ(selector.error().message, message);
        EXPECT_TRUE(message.ends_with(" at offset " + std::to_string(selector.error().offset)));
        EXPECT_TRUE(select(document, selector).empty());
        EXPECT_EQ(selectFirst(*document.root(), selector), nullptr);
    }
}

TEST(SelectorTest, StreamsWhenAncestorsSuffice) {
    const struct {
        const char* text;
        bool streams;
        bool chainLocal;
    } cases[] = {
        {"div a", true, true},          {"div > a[href]", true, true},
        {"#x.y[z]:root", true, true},   {":is(a, b c) :not(d > e)", true, true},
        {":where(a)", true, true},      {"a + b", false, true},
        {"a ~ b c", false, false},      {"li:first-child", false, true},
        {":empty a", false, true},      {":nth-child(2) a", false, false},
        {"a:has(b)", false, true},      {"a:has(b) c", false, false},
        {":is(a + b) c", false, false}, {"p:nth-of-type(1)", false, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        const Selector selector = Selector::compile(c.text);
        ASSERT_TRUE(selector);
        EXPECT_EQ(selector.streams(), c.streams);
        EXPECT_EQ(selector.compiled().chainLocal, c.chainLocal);
    }
}

TEST(SelectorTest, CopiesShareTheCompiledForm) {
    const Selector none;
    EXPECT_FALSE(none);
    EXPECT_EQ(none.error().message, "expected a selector at offset 0");
    const Selector a = Selector::compile(" p > a ");
    const Selector b = a;
    EXPECT_EQ(&a.compiled(), &b.compiled());
    EXPECT_EQ(b.text(), " p > a ");
    EXPECT_TRUE(b);
    EXPECT_EQ(b.error().message, "");
}

// Nesting costs no native stack, neither in the selector nor in the page.
TEST(SelectorTest, DeepNesting) {
    constexpr int kLevels = 100000;
    std::string text;
    for (int i = 0; i < kLevels; ++i) text += ":not(";
    text += "p";
    text += std::string(kLevels, ')');
    HtmlDocument document;
    ASSERT_EQ(document.parse("<html><body><p>x</p></body></html>"), 1);
    // An even number of negations: the p.
    EXPECT_EQ(describe(select(document, Selector::compile(text))), "p");
    text.pop_back();
    EXPECT_EQ(Selector::compile(text).error().message,
              "expected \")\" at offset " + std::to_string(text.size()));
}

TEST(SelectTest, MillionNestedElements) {
    constexpr int kLevels = 1000000;
    std::string page = "<html><body>";
    for (int i = 0; i < kLevels; ++i) page += "<div>";
    page += "<a>x</a><b></b>";
    HtmlDocument document;
    ASSERT_EQ(document.parse(page), 1);
    const struct {
        const char* text;
        std::size_t count;
    } cases[] = {
        {"div a", 1},
        {"div > div > a + b", 1},
        {":has(a)", kLevels + 2},
        {"div:has(> div)", kLevels - 1},
        {"div:nth-child(1)", kLevels},
        {":nth-last-child(2)", 1},
        {"div:not(:has(div)) > *", 2},
        {":is(html, div) > div:only-child", kLevels - 1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        const Selector selector = Selector::compile(c.text);
        EXPECT_EQ(select(document, selector).size(), c.count);
    }
    // Within the deepest div: its ancestors are the context.
    const HtmlElement* deepest = select(document, Selector::compile("div:has(> a)"))[0];
    EXPECT_EQ(describe(select(*deepest, Selector::compile("body div a, html > body b"))), "a b");
    EXPECT_EQ(describe(select(*deepest, Selector::compile("div:first-child > a"))), "a");
    EXPECT_EQ(selectFirst(document, Selector::compile("div div"))->depth(), 3);
}

}  // namespace
}  // namespace kestrune
