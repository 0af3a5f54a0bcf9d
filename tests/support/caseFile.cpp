// SPDX-License-Identifier: MIT
#include "support/caseFile.h"

#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <sstream>

#include "support/runTool.h"

namespace kestrune::testing {

namespace {

[[noreturn]] void badFile(const std::string& path, const std::string& why) {
    std::fprintf(stderr, "%s: %s\n", path.c_str(), why.c_str());
    std::exit(2);
}

std::string decoded(const std::string& text, const std::string& path) {
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '\\') {
            out += text[i];
            continue;
        }
        const char c = i + 1 < text.size() ? text[++i] : '?';
        if (c == 'x' && i + 2 < text.size() &&
            std::isxdigit(static_cast<unsigned char>(text[i + 1])) &&
            std::isxdigit(static_cast<unsigned char>(text[i + 2]))) {
            out += static_cast<char>(std::stoi(text.substr(i + 1, 2), nullptr, 16));
            i += 2;
            continue;
        }
        const std::string plain = "\\nrt0", meant("\\\n\r\t\0", 5);
        const std::size_t k = plain.find(c);
        if (k == std::string::npos) badFile(path, "unknown escape in \"" + text + "\"");
        out += meant[k];
    }
    return out;
}

}  // namespace

std::string testsPath(const std::string& relative) {
    return std::string(KESTRUNE_TESTS_DIR) + "/" + relative;
}

std::vector<std::vector<std::string>> readCases(const std::string& relative, std::size_t fields) {
    const std::string path = testsPath(relative);
    std::istringstream in(readFile(path));
    if (in.str().empty()) badFile(path, "no such file, or empty");
    std::vector<std::vector<std::string>> cases(1);
    std::string field, line;
    bool open = false;  // a field has begun
    while (std::getline(in, line)) {
        if (line.starts_with("## ")) continue;
        if (line == "--" || line == "==") {
            cases.back().push_back(decoded(field, path));
            field.clear();
            open = false;
            if (line == "==") {
                if (cases.back().size() != fields)
                    badFile(path, "case " + std::to_string(cases.size()) + " has another length");
                cases.emplace_back();
            }
            continue;
        }
        field += (open ? "\n" : "") + line;
        open = true;
    }
    if (open || !cases.back().empty()) badFile(path, "the last case does not end in \"==\"");
    cases.pop_back();
    return cases;
}

std::vector<std::string> fieldLines(const std::string& field) {
    std::vector<std::string> lines;
    for (std::size_t from = 0, end = 0; !field.empty() && end != std::string::npos;
         from = end + 1) {
        end = field.find('\n', from);
        lines.push_back(field.substr(from, end - from));
    }
    return lines;
}

std::string caseName(std::size_t index, const std::string& text) {
    std::string name = std::to_string(index);
    for (std::size_t i = 0; i < text.size() && name.size() < 40; ++i) {
        if (std::isalnum(static_cast<unsigned char>(text[i]))) {
            name += text[i];
        } else if (name.back() != '_') {
            name += '_';
        }
    }
    return name;
}

}  // namespace kestrune::testing
