// SPDX-License-Identifier: MIT
// The four tag-class tables that steer the tree builder and the serialiser, and
// the rule for names the builder accepts as tags. Every lookup ignores ASCII case.
#pragma once

#include <array>
#include <cstdint>
#include <cstring>
#include <string_view>

#include "base/asciiTable.h"
#include "base/swar.h"

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

// 1 when the name is in voidTags (ASCII case ignored), else 0.
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
    kTagMeta = 512,      // "meta": may declare the charset
};
std::uint16_t tagClassOf(std::string_view name);
// The same for a name that passed isValidTagName.
inline std::uint16_t tagClassOfValidName(std::string_view name);

// mayNest for names whose classes are known.
// A tag that may nest in itself opens inside its own kind whatever the classes say;
// the names are compared only where the answer depends on it.
inline int mayNestClasses(std::string_view newTag, std::uint16_t newClass, std::string_view openTag,
                          std::uint16_t openClass) {
    if ((newClass & kTagNoSelfNest) && equalsIgnoreCase(newTag, openTag)) return 0;
    if ((newClass & kTagBlock) && (openClass & (kTagInline | kTagParagraph)))
        return equalsIgnoreCase(newTag, openTag) ? 1 : 0;
    return 1;
}

namespace tag_detail {

// Names of up to eight bytes are packed into one integer (lower case, first byte
// lowest) and found in a small open-addressing table built at compile time;
// "blockquote" is the one longer name.
constexpr std::uint64_t pack(std::string_view lower) {
    std::uint64_t key = 0;
    for (std::size_t i = 0; i < lower.size(); ++i) {
        key |= static_cast<std::uint64_t>(static_cast<unsigned char>(lower[i])) << (8 * i);
    }
    return key;
}

constexpr std::size_t kSlots = 128;
constexpr std::size_t slotOf(std::uint64_t key) {
    return static_cast<std::size_t>((key * 0x9E3779B97F4A7C15ull) >> 57);
}

struct ClassSlot {
    std::uint64_t key = 0;  // 0: free (no name packs to 0)
    std::uint16_t classes = 0;
};

template <std::size_t N>
constexpr void addNames(std::array<ClassSlot, kSlots>& slots,
                        const std::array<std::string_view, N>& names, std::uint16_t bit) {
    for (std::string_view name : names) {
        if (name.size() > 8) continue;
        std::uint64_t key = pack(name);
        std::size_t i = slotOf(key);
        while (slots[i].key != 0 && slots[i].key != key) i = (i + 1) % kSlots;
        slots[i].key = key;
        slots[i].classes |= bit;
    }
}

constexpr std::array<ClassSlot, kSlots> makeClassSlots() {
    std::array<ClassSlot, kSlots> slots{};
    addNames(slots, blockTags, kTagBlock);
    addNames(slots, inlineTags, kTagInline);
    addNames(slots, noSelfNestTags, kTagNoSelfNest);
    addNames(slots, voidTags, kTagVoid);
    addNames(slots, std::array<std::string_view, 1>{"p"}, kTagParagraph);
    addNames(slots, std::array<std::string_view, 1>{"script"}, kTagScript);
    addNames(slots, std::array<std::string_view, 1>{"style"}, kTagStyle);
    addNames(slots, std::array<std::string_view, 1>{"!--"}, kTagComment);
    addNames(slots, std::array<std::string_view, 1>{"!doctype"}, kTagDoctype);
    addNames(slots, std::array<std::string_view, 1>{"meta"}, kTagMeta);
    return slots;
}

inline constexpr std::array<ClassSlot, kSlots> kClassSlots = makeClassSlots();

// The classes of the name packed into `key`; 0 for a name in no table.
inline std::uint16_t classesOfKey(std::uint64_t key) {
    for (std::size_t i = slotOf(key);; i = (i + 1) % kSlots) {
        if (kClassSlots[i].key == key) return kClassSlots[i].classes;
        if (kClassSlots[i].key == 0) return 0;
    }
}

}  // namespace tag_detail

inline std::uint16_t tagClassOfValidName(std::string_view name) {
    if (name.size() > 8) {
        return name.size() == 10 && equalsIgnoreCase(name, "blockquote") ? kTagBlock : 0;
    }
    // Valid names hold letters, digits, "!" and "-" only: setting bit 0x20 of every
    // byte lower-cases them, eight at a time.
    std::uint64_t word = swar::loadLittleShort(name.data(), name.size());
    std::uint64_t mask = name.size() == 8 ? ~0ull : (1ull << (8 * name.size())) - 1;
    return tag_detail::classesOfKey((word | 0x2020202020202020ull) & mask);
}

// 1 when a start tag named `newTag` opens inside an open element named `openTag`,
// 0 when it ends that element instead: "a", "p", "i", "li", "tr" and "td" do not nest
// in themselves, and a block tag does not open inside an inline element or "p".
int mayNest(std::string_view newTag, std::string_view openTag);

}  // namespace kestrune
