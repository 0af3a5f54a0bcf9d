// Tag-class lookups. The tables are constant data; a name's classes are found by
// folding it to lower case once and comparing with the few names of its length.
#include "html/tagTables.h"

#include <cstring>

#include "base/asciiTable.h"

namespace kestrune {

namespace {

// Longest name in any table ("blockquote").
constexpr std::size_t kLongestTableName = 10;

template <std::size_t N>
constexpr std::uint8_t classIn(const std::array<std::string_view, N>& table, std::string_view lower,
                               std::uint8_t bit) {
    for (std::string_view entry : table) {
        if (entry == lower) return bit;
    }
    return 0;
}

}  // namespace

std::uint8_t tagClassOf(std::string_view name) {
    if (name.empty() || name.size() > kLongestTableName) return 0;
    char lower[kLongestTableName];
    for (std::size_t i = 0; i < name.size(); ++i) lower[i] = toLowerByte(name[i]);
    std::string_view l(lower, name.size());
    // Most tags in real pages are one or two bytes long; the tables are short, so a
    // linear scan per table stays cheap and obviously right.
    std::uint8_t c = classIn(blockTags, l, kTagBlock) | classIn(inlineTags, l, kTagInline) |
                     classIn(noSelfNestTags, l, kTagNoSelfNest) | classIn(voidTags, l, kTagVoid);
    if (l == "p") c |= kTagParagraph;
    return c;
}

int isBlockTag(std::string_view name) { return (tagClassOf(name) & kTagBlock) ? 1 : 0; }
int isInlineTag(std::string_view name) { return (tagClassOf(name) & kTagInline) ? 1 : 0; }
int isNoSelfNestTag(std::string_view name) { return (tagClassOf(name) & kTagNoSelfNest) ? 1 : 0; }
int isVoidTag(std::string_view name) { return (tagClassOf(name) & kTagVoid) ? 1 : 0; }

int isValidTagName(std::string_view name) {
    if (name.empty() || name.size() > 16) return 0;
    if (equalsIgnoreCase(name, "!doctype") || name == "!--") return 1;
    std::size_t i = name[0] == '/' ? 1 : 0;
    for (; i < name.size(); ++i) {
        if (!isAsciiAlnum(name[i])) return 0;
    }
    return 1;
}

int mayNest(std::string_view newTag, std::string_view openTag) {
    std::uint8_t n = tagClassOf(newTag);
    if (equalsIgnoreCase(newTag, openTag)) return (n & kTagNoSelfNest) ? 0 : 1;
    if (n & kTagBlock) {
        std::uint8_t o = tagClassOf(openTag);
        return (o & (kTagInline | kTagParagraph)) ? 0 : 1;
    }
    return 1;
}

}  // namespace kestrune
