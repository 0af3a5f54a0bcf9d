// SPDX-License-Identifier: MIT
// Internal to the library: what a meta element declares about the page's encoding.
#pragma once

#include <string>
#include <string_view>

#include "base/asciiTable.h"
#include "base/byteString.h"

namespace kestrune {

// Reads the declaration of one meta element whose attributes `get(name, value)` gives
// (true when the element has the attribute): charset="x" sets `charset`; otherwise
// http-equiv="Content-Type" with content="type; charset=x" sets `contentType` to the
// part before the ";" (when there is one) and `charset` to x. Spaces around the parts
// are dropped. `charset` is left alone when the element declares none.
template <typename GetAttribute>
void readCharsetDeclaration(GetAttribute&& get, std::string& contentType, std::string& charset) {
    std::string value;
    if (get("charset", value) && !value.empty()) {
        charset = value;
        return;
    }
    std::string httpEquiv;
    if (!get("http-equiv", httpEquiv) || httpEquiv.empty()) return;
    if (!equalsIgnoreCase(httpEquiv, "content-type")) return;
    std::string content;
    if (!get("content", content) || content.empty()) return;
    const std::string_view copy = trimRightView(trimLeftView(content, ' '), ' ');
    std::string_view declaration = copy;
    const std::size_t semicolon = copy.find(';');
    if (semicolon != std::string_view::npos) {
        contentType = std::string(trimRightView(copy.substr(0, semicolon), ' '));
        declaration = trimLeftView(copy.substr(semicolon + 1), ' ');
    }
    const std::size_t eq = declaration.find('=');
    if (eq == std::string_view::npos) return;
    const std::string_view name = trimRightView(declaration.substr(0, eq), ' ');
    if (equalsIgnoreCase(name, "charset")) {
        charset = std::string(trimLeftView(declaration.substr(eq + 1), ' '));
    }
}

}  // namespace kestrune
