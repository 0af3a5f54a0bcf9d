// SPDX-License-Identifier: MIT
#include <gtest/gtest.h>
#include <kestrune/document.h>

#include <algorithm>
#include <optional>
#include <string>
#include <tuple>
#include <vector>

#include "html/attributes.h"
#include "html/charRefs.h"
#include "html/parserCore.h"
#include "html/tagTables.h"
#include "html/textScan.h"
#include "support/caseFile.h"
#include "support/sprinkled.h"

namespace kestrune {
namespace {

// Each case parsed into its pieces; then each name looked up alone, and many names
// (in any case, repeated, empty or absent) in one scan of the finder.
TEST(AttributesTest, PiecesAndLookUps) {
    for (const auto& c : testing::readCases("html/data/attributes.txt", 3)) {
        SCOPED_TRACE(c[0]);
        AttributeMap expected;
        std::vector<std::string> names = {"", "missing"};
        for (const std::string& pair : testing::fieldLines(c[1])) {
            std::string name = pair.substr(0, pair.find('='));
            expected.emplace(name, pair.substr(name.size() + 1));
            names.insert(names.end(), 2, name);
            for (char& ch : name) ch = ch ^ ((ch | 0x20) >= 'a' && (ch | 0x20) <= 'z' ? 0x20 : 0);
            names.push_back(name);
        }
        AttributeMap map;
        std::vector<std::string> words;
        EXPECT_EQ(parseAttributes(c[0], map, words), static_cast<int>(expected.size()));
        EXPECT_EQ(map, expected);
        EXPECT_EQ(words, testing::fieldLines(c[2]));
        // A look-up by name finds the first name equal without case, in byte order.
        for (const auto& [name, value] : expected) {
            std::string found;
            EXPECT_EQ(findAttribute(c[0], name, found), 1) << name;
            EXPECT_EQ(found, std::find_if(expected.begin(), expected.end(), [&](const auto& e) {
                                 return equalsIgnoreCase(e.first, name);
                             })->second);
        }
        // The finder looks up one by one and by binary search over the groups, and is
        // reused from text to text.
        for (std::size_t fewGroups : {~std::size_t{0}, std::size_t{0}}) {
            AttributeFinder finder(names, fewGroups);
            for (int pass = 0; pass < 2; ++pass) {
                std::vector<std::optional<std::string>> found(names.size());
                finder.find(c[0], [&](std::size_t k, std::string_view value) {
                    EXPECT_FALSE(found[k].has_value()) << names[k];
                    found[k] = std::string(value);
                });
                for (std::size_t k = 0; k < names.size(); ++k) {
                    std::string value;
                    const bool has = findAttribute(c[0], names[k], value) == 1;
                    EXPECT_EQ(found[k].value_or("(none)"), has ? value : "(none)") << names[k];
                }
            }
        }
    }
}

// The pieces the scan cuts (the usual form first, then the general one) are those the
// rule cuts byte by byte.
TEST(AttributesTest, PiecesAgreeWithRules) {
    std::vector<std::string> texts{" a=\"1\" b=\"2\"", " a=\"1\"  b=\"2\"", " a=\"1\" \"b\"",
                                   " a='1' b=\"2\"",   " b=\"1\" a='x y'",  " b=\"1\" a=",
                                   " a=\"1\" =b",      " a=\"1\"x b",       " a=\"x y\" b=\"\"",
                                   " a=\"1",           " a=\"1\" b",        " a=\"1\"\tb=\"2\"",
                                   " a==\"1\""};
    for (const auto& c : testing::readCases("html/data/attributes.txt", 3)) texts.push_back(c[0]);
    unsigned seed = 9;
    for (int round = 0; round < 3000; ++round) {
        texts.push_back(testing::sprinkled(seed, static_cast<std::size_t>(round % 70),
                                           "   \"\"==\'\r\n\tab", 1 + round % 3));
        // Mostly the usual form, left at a random place.
        std::string usual;
        while (usual.size() < static_cast<std::size_t>(round % 60))
            usual += " n" + std::to_string(usual.size()) + "=\"v w\"";
        texts.push_back(usual.substr(0, usual.size() - round % 4));
    }
    auto pieces = [](auto&& each, const std::string& text) {
        std::string out;
        each(
            text,
            [&](std::string_view n, std::string_view v) {
                out += "[" + std::string(n) + "=" + std::string(v) + "]";
            },
            [&](std::string_view w) { out += "(" + std::string(w) + ")"; });
        return out;
    };
    for (const std::string& text : texts) {
        std::string scratch;
        const std::string fast = pieces(
            [&](std::string_view t, auto&& p, auto&& w) { forEachAttribute(t, scratch, p, w); },
            text);
        const std::string expected = pieces(
            [](std::string_view t, auto&& p, auto&& w) { forEachAttributeReference(t, p, w); },
            text);
        ASSERT_EQ(fast, expected) << text;
        // Whether a name is there, answered early for the usual form, is what the
        // pieces say: a pair or a word of that name, ASCII case ignored.
        std::vector<std::string> seen;
        forEachAttributeReference(
            text, [&](std::string_view n, std::string_view) { seen.emplace_back(n); },
            [&](std::string_view w) { seen.emplace_back(w); });
        for (const std::string& name :
             {std::string("a"), std::string("N0"), std::string("n12"), std::string("B"),
              std::string("b\"2\""), std::string("z")}) {
            const bool there = std::ranges::any_of(
                seen, [&](const std::string& n) { return equalsIgnoreCase(n, name); });
            ASSERT_EQ(hasAttributeOrWord(text, name, scratch), there) << text << " " << name;
        }
    }
}

TEST(AttributesTest, ElementLookups) {
    HtmlDocument doc;
    ASSERT_EQ(doc.parse("<html><a HREF=x href=2 title=\"a&amp;b\" disabled>t</a>"), 1);
    const HtmlElement& a = *doc.root()->firstChild();
    // HREF sorts before href; a valueless attribute or a prefix leaves the value alone.
    for (auto [name, result, expected] : {std::tuple{"href", 1, "x"},
                                          {"TITLE", 1, "a&b"},
                                          {"disabled", 0, "untouched"},
                                          {"tit", 0, "untouched"}}) {
        std::string value = "untouched";
        EXPECT_EQ(a.getAttribute(name, value), result) << name;
        EXPECT_EQ(value, expected) << name;
    }
    EXPECT_EQ(a.valuelessAttributes(), std::vector<std::string>{"disabled"});
}

TEST(CharRefsTest, Decoding) {
    for (const auto& c : testing::readCases("html/data/charRefs.txt", 2)) {
        std::string out = "kept:";
        appendDecoded(out, c[0]);
        EXPECT_EQ(out, "kept:" + c[1]) << c[0];
    }
    // A reference must end inside the text.
    std::string out;
    appendDecoded(out, std::string_view("&lt;", 3));
    EXPECT_EQ(out, "&lt");
}

// The builder's lookup for names inside a text agrees with the general one.
TEST(TagTablesTest, ClassOfValidNameAgrees) {
    std::vector<std::string> names{"!--", "!doctype", "!DocType",   "script",     "STYLE",
                                   "p",   "P",        "blockquote", "BLOCKQUOTE", "blockquot",
                                   "h7",  "x1",       "B"};
    names.insert(names.end(), blockTags.begin(), blockTags.end());
    names.insert(names.end(), inlineTags.begin(), inlineTags.end());
    names.insert(names.end(), voidTags.begin(), voidTags.end());
    for (std::size_t i = 0, n = names.size(); i < n; ++i) {  // each also in upper case
        names.push_back(names[i]);
        for (char& c : names.back()) c = static_cast<char>(c >= 'a' && c <= 'z' ? c - 32 : c);
    }
    for (const std::string& n : names) {
        std::string padded = n + std::string(16, '>');
        EXPECT_EQ(tagClassOfValidName(std::string_view(padded.data(), n.size())), tagClassOf(n))
            << n;
    }
    EXPECT_EQ(tagClassOf("scripts"), 0);
}

// Each name alone; then the token cut's name test agrees with the full one, whatever
// surrounds the name.
TEST(TagTablesTest, ValidTagNames) {
    std::vector<std::string> tags{"< y z</p>", "</>",      "<>",       "<a\tb>",
                                  "<\n/a>",    "<a\"b c>", "<br/>",    "<//p>",
                                  "</ p>",     "<p",       "<!-- -->", "<\xc3\xa9>"};
    for (const auto& c : testing::readCases("html/data/tagNames.txt", 2)) {
        EXPECT_EQ(isValidTagName(c[0]), std::stoi(c[1])) << c[0];
        for (const char* form : {"<%>", "<% x=1>", "<%/>", "< %>", "<%\r\n>", "x <%>"}) {
            std::string tag(form);
            tags.push_back(tag.replace(tag.find('%'), 1, c[0]));
        }
    }
    for (const std::string& tag : tags) {
        TextScan scan;
        scan.scan(tag.data(), tag.size(), false);
        TagNames names(tag.data(), tag.size(), nullptr);
        Token token;
        readTag(scan.text(), 0, token, names);
        EXPECT_EQ(isValidTagToken(token), isValidTagName(token.tagName) != 0) << tag;
    }
}

// The token cut that the marks lead gives the tokens the rules give, read-only or
// compacting names in place; reading a text compacted in place again changes nothing.
TEST(TokenCutTest, AgreesWithRules) {
    std::vector<std::string> texts{"",
                                   "<",
                                   "x<",
                                   "<!-",
                                   "<!--",
                                   "<!-->",
                                   "a<>b",
                                   "</>",
                                   "< a\nb>",
                                   "<\na\r\tb c>",
                                   "<a\n/>",
                                   "<br/>",
                                   "<a href=x/>",
                                   "<//p>",
                                   "</ p>",
                                   "<a\t>x</\na>",
                                   "<p>t",
                                   "<p",
                                   "x<y\n"};
    unsigned seed = 7;
    for (int round = 0; round < 400; ++round) {
        texts.push_back(testing::sprinkled(seed, static_cast<std::size_t>(round % 90),
                                           "<<>>/ !-\r\n\tabP=\"\x80\f", 2));
    }
    for (const std::string& text : texts) {
        SCOPED_TRACE(text);
        // Tags read as browsers read them: both cuts on texts of their own, which they
        // rewrite.
        std::string spaced = text, spacedReference = text;
        TextScan scan;
        scan.scan(spaced.data(), spaced.size(), false);
        TagNames names(spaced.data(), spaced.size(), spaced.data(), true);
        TagNames referenceNames(spacedReference.data(), spacedReference.size(),
                                spacedReference.data(), true);
        std::size_t at = 0, atReference = 0;
        while (atReference < text.size()) {
            Token fast, expected;
            atReference = readTagReference(spacedReference.data(), atReference, text.size(),
                                           expected, referenceNames);
            at = readTag(scan.text(), at, fast, names);
            ASSERT_EQ(at, atReference);
            EXPECT_EQ(fast.tagName, expected.tagName);
            EXPECT_EQ(fast.attributeText, expected.attributeText);
            EXPECT_EQ(fast.plainName, expected.plainName);
            EXPECT_EQ(fast.tagName.find_first_of("\t\n\f\r"), std::string_view::npos);
        }
        EXPECT_EQ(spaced, spacedReference);
    }
    for (const std::string& text : texts) {
        SCOPED_TRACE(text);
        TextScan scan;
        scan.scan(text.data(), text.size(), false);
        std::string copy = text;
        TagNames readOnly(text.data(), text.size(), nullptr);
        TagNames inPlace(copy.data(), copy.size(), copy.data());
        TagNames reference(text.data(), text.size(), nullptr);
        for (int pass = 0; pass < 2; ++pass) {
            // Compaction moves no "<" or ">": the copy's scan stays that of the text.
            TextScan copyScan;
            copyScan.scan(copy.data(), copy.size(), false);
            std::size_t at = 0, atCopy = 0, atReference = 0;
            while (atReference < text.size()) {
                Token fast, compacted, expected;
                atReference =
                    readTagReference(text.data(), atReference, text.size(), expected, reference);
                at = readTag(scan.text(), at, fast, readOnly);
                atCopy = readTag(copyScan.text(), atCopy, compacted, inPlace);
                for (const Token* t : {&fast, &compacted}) {
                    EXPECT_EQ(t->tagName, expected.tagName);
                    EXPECT_EQ(t->attributeText, expected.attributeText);
                    EXPECT_EQ(t->text, expected.text);
                    EXPECT_EQ(t->selfClosing, expected.selfClosing);
                    EXPECT_EQ(t->plainName, expected.plainName);
                }
                ASSERT_EQ(at, atReference);
                ASSERT_EQ(atCopy, atReference);
            }
        }
    }
}

TEST(TagTablesTest, MayNest) {
    for (const auto& c : testing::readCases("html/data/nesting.txt", 3)) {
        EXPECT_EQ(mayNest(c[0], c[1]), std::stoi(c[2])) << c[0] << " in " << c[1];
    }
}

}  // namespace
}  // namespace kestrune
