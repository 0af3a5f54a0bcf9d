// SPDX-License-Identifier: MIT
// matches: prints every element of an HTML page that a CSS selector matches, one a
// line: its tag name, a tab, its text. Built like the links example.
#include <kestrune/codePage.h>
#include <kestrune/select.h>

#include <fstream>
#include <iostream>
#include <iterator>
#include <string>

int main(int argc, char** argv) {
    if (argc != 3) {
        std::cerr << "usage: matches PAGE.html SELECTOR\n";
        return 2;
    }
    const kestrune::Selector selector = kestrune::Selector::compile(argv[2]);
    if (!selector) {
        std::cerr << "matches: " << selector.error().message << '\n';
        return 2;
    }
    std::ifstream file(argv[1], std::ios::binary);
    const std::string page{std::istreambuf_iterator<char>(file), {}};
    kestrune::HtmlDocument document;
    document.setCodePage(kestrune::kUtf8);  // a UTF-8 page stays UTF-8
    if (!file || !document.parse(page)) {
        std::cerr << "matches: " << argv[1] << ": no HTML document\n";
        return 1;
    }
    for (const kestrune::HtmlElement* element : kestrune::select(document, selector)) {
        std::string text;
        element->getText(text, 1, 1);
        std::cout << element->tagName() << '\t' << text << '\n';
    }
    return 0;
}
