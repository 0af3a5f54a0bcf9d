// SPDX-License-Identifier: MIT
// links: prints every link of an HTML page, one a line: its href, a tab, its text.
// Built against the installed library with CMake (CMakeLists.txt) or pkg-config (the
// command in the README).
#include <kestrune/extract.h>

#include <fstream>
#include <iostream>
#include <iterator>
#include <string>

int main(int argc, char** argv) {
    if (argc != 2) {
        std::cerr << "usage: links PAGE.html\n";
        return 2;
    }
    std::ifstream file(argv[1], std::ios::binary);
    const std::string page{std::istreambuf_iterator<char>(file), {}};
    if (!file) {
        std::cerr << "links: cannot read " << argv[1] << '\n';
        return 1;
    }
    kestrune::Request request;
    request.tag = "a";
    request.attributes = {"href"};
    const kestrune::Report report = kestrune::extract(page, request);
    if (!report) {
        std::cerr << "links: " << argv[1] << ": " << kestrune::describe(report.status()) << '\n';
        return 1;
    }
    for (std::size_t i = 0; i < report.size(); ++i)
        std::cout << report.value(i, 1) << '\t' << report.text(i) << '\n';
    return 0;
}
