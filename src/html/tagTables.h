// The four tag-class tables that steer the tree builder and the serialiser, and
// the rule for names the builder accepts as tags. Every lookup ignores ASCII case.
#pragma once

#include <array>
#include <cstdint>
#include <string_view>

#include "base/asciiTable.h"

namespace kestrune {

// Table contents, in table order, lower case.
inline constexpr std::array<std::string_view, 17> blockTags = {
    "div", "ul", "ol", "dl", "table", "form", "hr",         "p",      "pre",
    "h1",  "h2", "h3", "h4", "h5",    "h6",   "blockquote", "marquee"};
inline constexpr std::array<std::string_view, 20> inlineTags = {
    "a",   "hr",    "i",   "b",   "u",    "img",  "em",  "strong", "sub", "sup",
    "big", "small", "ins", "del", "code", "cite", "dfn", "kbd",    "var", "span"};
inline constexpr std::array<std::string_view, 6> noSelfNestTags = {"a", "p", "i", "li", "tr", "td"};
inline constexpr std::array<std::string_view, 16> voidTags = {
    "meta", "link",  "img",    "hr",    "br",  "input", "area",  "base",
    "col",  "embed", "source", "track", "wbr", "param", "frame", "basefont"};

// 1 when the name is in the table (ASCII case ignored), else 0.
int isBlockTag(std::string_view name);
int isInlineTag(std::string_view name);
int isNoSelfNestTag(std::string_view name);
int isVoidTag(std::string_view name);

// 1 when the tree builder accepts `name` as a tag name: 1 to 16 bytes; "!doctype" or
// "!--" (ASCII case ignored); otherwise, after one optional leading "/", ASCII
// letters and digits only (so "/" alone passes).
inline int isValidTagName(std::string_view name) {
    if (name.empty() || name.size() > 16) return 0;
    for (std::size_t i = name[0] == '/' ? 1 : 0; i < name.size(); ++i) {
        if (!isAsciiAlnum(name[i]))
            return (equalsIgnoreCase(name, "!doctype") || name == "!--") ? 1 : 0;
    }
    return 1;
}

// Every class of a name at once, for the builder's hot path.
enum TagClass : std::uint16_t {
    kTagBlock = 1,
    kTagInline = 2,
    kTagNoSelfNest = 4,
    kTagVoid = 8,
    kTagParagraph = 16,  // "p"
    kTagScript = 32,     // "script": raw content up to </script>
    kTagStyle = 64,      // "style": raw content up to </style>
    kTagComment = 128,   // "!--"
    kTagDoctype = 256,   // "!doctype"
};
std::uint16_t tagClassOf(std::string_view name);
// The same for a name that passed isValidTagName and is followed in memory by at
// least eight readable bytes, as names inside a document's text are.
std::uint16_t tagClassOfValidName(std::string_view name);

// mayNest for names whose classes are known.
inline int mayNestClasses(std::string_view newTag, std::uint16_t newClass, std::string_view openTag,
                          std::uint16_t openClass) {
    if (newTag.size() == openTag.size() && equalsIgnoreCase(newTag, openTag)) {
        return (newClass & kTagNoSelfNest) ? 0 : 1;
    }
    if (newClass & kTagBlock) return (openClass & (kTagInline | kTagParagraph)) ? 0 : 1;
    return 1;
}

// 1 when a start tag named `newTag` opens inside an open element named `openTag`,
// 0 when it ends that element instead: "a", "p", "i", "li", "tr" and "td" do not nest
// in themselves, and a block tag does not open inside an inline element or "p".
int mayNest(std::string_view newTag, std::string_view openTag);

}  // namespace kestrune
