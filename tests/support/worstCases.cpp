// SPDX-License-Identifier: MIT
#include "support/worstCases.h"

#include <functional>
#include <map>

namespace kestrune::testing {

namespace {

constexpr std::size_t kLimit = 10 * 1024 * 1024;  // files of this size are refused
constexpr std::size_t kBudget = kLimit - 4096;    // room for a marker at the end

std::string repeat(const std::string& piece, std::size_t totalBytes) {
    std::string s;
    s.reserve(totalBytes + piece.size());
    while (s.size() + piece.size() <= totalBytes) s += piece;
    return s;
}

// Every large case ends with an <a> and a <p> so that a run that reaches the end
// reports something in element mode.
const std::string kMarker = "<a href=end>end</a><p>end</p>";

const std::map<std::string, std::function<std::string()>>& generators() {
    static const std::map<std::string, std::function<std::string()>> g = {
        {"deep-div", [] { return repeat("<div>", 2080000 * 5) + kMarker; }},
        {"deep-text-at-bottom", [] { return repeat("<div>", 2000000 * 5) + "word" + kMarker; }},
        {"script-pairs", [] { return repeat("<script></script>", 610000 * 17) + kMarker; }},
        {"inline-handback",
         [] { return repeat("<b>", 1500000 * 3) + repeat("text ", 5000000) + "<div>x" + kMarker; }},
        {"handback-big-tag",
         [] {
             return repeat("<i>", 1000000 * 3) + "<div" + repeat(" a=b", 6000000) + ">" + kMarker;
         }},
        {"less-than", [] { return repeat("<", kLimit - 1); }},
        {"amp-hash", [] { return "<html><p>" + repeat("&#", kBudget) + kMarker; }},
        {"numeric-references",
         [] { return "<html><p>" + repeat("&#x1F600;&#65;&#-1;", kBudget) + "</p>" + kMarker; }},
        {"attributes",
         [] { return "<html><p" + repeat(" a=\"1 2\" b c='d'", kBudget) + ">x" + kMarker; }},
        {"unclosed-comments", [] { return "<html>" + repeat("<!--", kBudget) + kMarker; }},
        {"end-tags", [] { return "<html>" + repeat("</x>", kBudget) + kMarker; }},
        {"stray-end-tags",
         [] {
             return "<html><div>" + repeat("<br>", kBudget / 2) + repeat("</x>", kBudget / 2) +
                    kMarker;
         }},
        {"unclosed-p-then-end-tags",
         [] {
             return "<html>" + repeat("<p>x", kBudget / 2) + repeat("</p>", kBudget / 2) + kMarker;
         }},
        {"nested-inline-blocks", [] { return "<html>" + repeat("<div><b>", kBudget) + kMarker; }},
        {"empty-tags", [] { return repeat("<>", kBudget) + kMarker; }},
        {"overlong-utf8",
         [] {
             return "<html><p>" +
                    repeat("\xC0\x80\xE0\x80\x80\xED\xA0\x80\xF8\x88\x80\x80\x80", kBudget) +
                    kMarker;
         }},
        {"utf8-cjk",
         [] {
             return "<html><p>" +
                    repeat("\xE4\xB8\xAD<a href=\xC3\xA9>\xF0\x9F\x98\x80</a>", kBudget) + kMarker;
         }},
        {"invalid-utf8",
         [] { return "<html><p>" + repeat("\xE4\xB8\xAD\x80\xC3", kBudget) + kMarker; }},
        {"limit-minus-one",
         [] {
             std::string s = "<html><p>" + kMarker;
             s += repeat("x", kLimit - 1 - s.size());
             return s;
         }},
    };
    return g;
}

}  // namespace

std::vector<std::string> worstCaseNames() {
    std::vector<std::string> names;
    for (const auto& [name, make] : generators()) names.push_back(name);
    return names;
}

WorstCase makeWorstCase(const std::string& name) {
    return WorstCase{name, generators().at(name)()};
}

std::vector<WorstCase> nulAndEncodingCases() {
    using namespace std::string_literals;
    return {
        {"nul-first", "\0<html><p>x</p></html>"s},
        {"nul-in-text", "<html><p>a\0b</p></html>"s},
        {"nul-in-tag-name", "<html><p\0>x</p></html>"s},
        {"nul-in-attribute", "<html><a href=\"x\0y\">z</a></html>"s},
        {"nul-after-lt", "<html><\0p>x</p></html>"s},
        {"nul-in-comment", "<html><!-- a\0b --></html>"s},
        {"nul-in-script", "<html><script>a\0b</script></html>"s},
        {"nul-in-reference", "<html><p>&#6\0;</p></html>"s},
        {"nul-in-utf8", "<html><p>\xE4\xB8\0\xAD</p></html>"s},
        {"nul-last", "<html><p>x</p></html>\0"s},
        {"lone-continuation", "<html><p>\x80\x80</p></html>"},
        {"truncated-sequence", "<html><p>\xE4\xB8</p></html>"},
        {"overlong", "<html><p>\xC0\xAF\xE0\x80\xAF</p></html>"},
        {"surrogate", "<html><p>\xED\xA0\x80\xED\xBF\xBF</p></html>"},
        {"five-and-six-byte", "<html><p>\xF8\x88\x80\x80\x80\xFC\x84\x80\x80\x80\x80</p></html>"},
        {"above-unicode", "<html><p>\xF4\x90\x80\x80\xF7\xBF\xBF\xBF</p></html>"},
        {"bom-only", "\xEF\xBB\xBF"},
        {"ff-fe", "\xFF\xFE<\0h\0t\0m\0l\0>\0"s},
    };
}

}  // namespace kestrune::testing
