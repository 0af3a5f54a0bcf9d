// SPDX-License-Identifier: MIT
// Tag-class lookups. The tables are constant data; a name's classes are found by
// folding it to lower case once and comparing with the few names of its length.
#include "html/tagTables.h"

#include <cstring>

#include "base/asciiTable.h"

namespace kestrune {

std::uint16_t tagClassOf(std::string_view name) {
    if (name.empty()) return 0;
    if (name.size() > 8) return equalsIgnoreCase(name, "blockquote") ? kTagBlock : 0;
    std::uint64_t key = 0;
    for (std::size_t i = 0; i < name.size(); ++i) {
        key |= static_cast<std::uint64_t>(static_cast<unsigned char>(toLowerByte(name[i])))
               << (8 * i);
    }
    for (std::size_t i = tag_detail::slotOf(key);; i = (i + 1) % tag_detail::kSlots) {
        if (tag_detail::kClassSlots[i].key == key) return tag_detail::kClassSlots[i].classes;
        if (tag_detail::kClassSlots[i].key == 0) return 0;
    }
}

int isBlockTag(std::string_view name) { return (tagClassOf(name) & kTagBlock) ? 1 : 0; }
int isInlineTag(std::string_view name) { return (tagClassOf(name) & kTagInline) ? 1 : 0; }
int isNoSelfNestTag(std::string_view name) { return (tagClassOf(name) & kTagNoSelfNest) ? 1 : 0; }
int isVoidTag(std::string_view name) { return (tagClassOf(name) & kTagVoid) ? 1 : 0; }

int mayNest(std::string_view newTag, std::string_view openTag) {
    return mayNestClasses(newTag, tagClassOf(newTag), openTag, tagClassOf(openTag));
}

}  // namespace kestrune
