// SPDX-License-Identifier: MIT
// selectProbe PAGE SELECTORS: Kestrune's side of the differential test. Parses the page
// (UTF-8 kept as it is) and prints one JSON object: "elements", the root and its
// descendants that take part in matching, in document order, each as
// [parent number (-1 for the root), tag name in lower case, {attribute: value}, empty];
// and "matches", per line of the SELECTORS file, the numbers of the elements the
// selector matches, or the compile error's message.
#include <kestrune/json.h>
#include <kestrune/select.h>

#include <cstdio>
#include <fstream>
#include <iterator>
#include <map>
#include <set>
#include <string>
#include <unordered_map>

#include "base/asciiTable.h"
#include "html/attributes.h"
#include "html/walk.h"
#include "select/rules.h"

namespace {

std::string readAll(const char* path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

std::string lower(std::string_view s) {
    std::string out(s);
    for (char& c : out) c = kestrune::toLowerByte(c);
    return out;
}

void appendString(std::string& out, std::string_view s) {
    out += '"';
    kestrune::appendJsonEscaped(out, s);
    out += '"';
}

// The attributes as matching sees them: every name (valueless words too) in lower case
// with the value a selector compares.
std::map<std::string, std::string> attributesOf(const kestrune::HtmlElement& e) {
    std::set<std::string> names;
    for (const auto& [name, value] : e.attributes()) names.insert(lower(name));
    for (const std::string& word : e.valuelessAttributes()) names.insert(lower(word));
    std::map<std::string, std::string> out;
    for (const std::string& name : names) {
        std::string value;
        std::string scratch;
        kestrune::findAttributeOrWord(e.attributeText(), name, value, scratch);
        out[name] = value;
    }
    return out;
}

}  // namespace

int main(int argc, char** argv) {
    using namespace kestrune;
    if (argc != 3) {
        std::fprintf(stderr, "usage: selectProbe PAGE SELECTORS\n");
        return 2;
    }
    HtmlDocument document;
    document.setCodePage(65001);
    if (!document.parse(readAll(argv[1]))) {
        std::fprintf(stderr, "selectProbe: %s has no root\n", argv[1]);
        return 1;
    }
    ElementList elements;
    std::unordered_map<const HtmlElement*, std::size_t> number;
    auto visit = [&](const HtmlElement& e) {
        if (!selectors::countsAsElement(e.tagName())) return true;
        number[&e] = elements.size();
        elements.push_back(&e);
        return true;
    };
    visit(*document.root());
    walkBelow(*document.root(), visit, [](const HtmlElement&) {});

    std::string out = "{\"elements\": [";
    for (std::size_t i = 0; i < elements.size(); ++i) {
        const HtmlElement& e = *elements[i];
        out += i == 0 ? "\n[" : ",\n[";
        out += e.parent() == nullptr ? "-1" : std::to_string(number.at(e.parent()));
        out += ", ";
        appendString(out, lower(e.tagName()));
        out += ", {";
        bool first = true;
        for (const auto& [name, value] : attributesOf(e)) {
            if (!first) out += ", ";
            first = false;
            appendString(out, name);
            out += ": ";
            appendString(out, value);
        }
        out += selectors::isEmptyElement(e) ? "}, true]" : "}, false]";
    }
    out += "],\n\"matches\": [";
    std::ifstream lines(argv[2], std::ios::binary);
    std::string line;
    for (bool first = true; std::getline(lines, line); first = false) {
        out += first ? "\n" : ",\n";
        const Selector selector = Selector::compile(line);
        if (!selector) {
            appendString(out, selector.error().message);
            continue;
        }
        out += '[';
        const ElementList found = select(document, selector);
        for (std::size_t i = 0; i < found.size(); ++i) {
            if (i > 0) out += ", ";
            out += std::to_string(number.at(found[i]));
        }
        out += ']';
    }
    out += "]}\n";
    std::fwrite(out.data(), 1, out.size(), stdout);
    return std::fflush(stdout) == 0 ? 0 : 1;
}
