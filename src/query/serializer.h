// SPDX-License-Identifier: MIT
// Internal to src/html and src/query: the serialiser's rule for raw elements, shared
// with the raw-block extraction that writes them without a tree.
#pragma once

#include <string>
#include <string_view>

namespace kestrune {

// Appends a comment, script or style element as outerHtml writes it (a top-level
// one's preceding text goes in front): "<", the tag name, then for a comment its text and "-->",
// for script and style the attributes (as attributesString gives them, after a space), ">", the raw
// content and the end tag; CR LF after it when lineBreaks != 0.
void appendRawElement(std::string& out, std::string_view tagName, std::string_view attributeText,
                      std::string_view content, bool comment, int lineBreaks);

}  // namespace kestrune
