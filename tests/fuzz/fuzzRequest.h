// SPDX-License-Identifier: MIT
// The input format of the report fuzz targets: a first line that plays the command
// line, then the page. The first line's first byte picks the output (bit 0: to a
// file, bit 1: the file cannot be created); the rest of the line up to a space is
// the -tag value, and what follows the space is the -attr value.
// "1a href,title\n<html>..." asks for the a elements with their href and title,
// written to a file. Without a line break in the first kHeaderBytes bytes the whole
// input is the page and the tag name is empty.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace kestrune::fuzz {

inline constexpr std::size_t kHeaderBytes = 128;

struct Request {
    bool toFile = false;
    bool refuse = false;
    std::string tagName;
    std::string attributeList;
    std::string_view page;
};

inline Request readRequest(std::string_view input) {
    Request r;
    const std::size_t lineEnd = input.substr(0, kHeaderBytes).find('\n');
    if (lineEnd == std::string_view::npos) {
        r.page = input;
        return r;
    }
    r.page = input.substr(lineEnd + 1);
    std::string_view header = input.substr(0, lineEnd);
    if (header.empty()) return r;
    const auto mode = static_cast<unsigned char>(header[0]);
    r.toFile = (mode & 1) != 0;
    r.refuse = (mode & 2) != 0;
    header.remove_prefix(1);
    const std::size_t space = header.find(' ');
    r.tagName = header.substr(0, space);
    if (space != std::string_view::npos) r.attributeList = header.substr(space + 1);
    return r;
}

}  // namespace kestrune::fuzz
