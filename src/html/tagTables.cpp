// SPDX-License-Identifier: MIT
// Tag-class lookups for names of any kind. The tables are constant data; a name's
// classes are found by folding it to lower case, packing it into one integer and
// probing the table of packed names built at compile time (tagTables.h).
#include "html/tagTables.h"

#include <algorithm>

#include "base/asciiTable.h"

namespace kestrune {

std::uint16_t tagClassOf(std::string_view name) {
    if (name.empty()) return 0;
    if (name.size() > 8) return equalsIgnoreCase(name, "blockquote") ? kTagBlock : 0;
    char lower[8];
    std::ranges::transform(name, lower, toLowerByte);
    return tag_detail::classesOfKey(tag_detail::pack(std::string_view(lower, name.size())));
}

int isVoidTag(std::string_view name) { return (tagClassOf(name) & kTagVoid) ? 1 : 0; }

int mayNest(std::string_view newTag, std::string_view openTag) {
    return mayNestClasses(newTag, tagClassOf(newTag), openTag, tagClassOf(openTag));
}

}  // namespace kestrune
