// Tag-class lookups. The tables are constant data; a name's classes are found by
// folding it to lower case once and comparing with the few names of its length.
#include "html/tagTables.h"

#include <cstring>

#include "base/asciiTable.h"

namespace kestrune {

namespace {

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
    return slots;
}

constexpr std::array<ClassSlot, kSlots> kClassSlots = makeClassSlots();

}  // namespace

std::uint16_t tagClassOf(std::string_view name) {
    if (name.empty()) return 0;
    if (name.size() > 8) return equalsIgnoreCase(name, "blockquote") ? kTagBlock : 0;
    std::uint64_t key = 0;
    for (std::size_t i = 0; i < name.size(); ++i) {
        key |= static_cast<std::uint64_t>(static_cast<unsigned char>(toLowerByte(name[i])))
               << (8 * i);
    }
    for (std::size_t i = slotOf(key);; i = (i + 1) % kSlots) {
        if (kClassSlots[i].key == key) return kClassSlots[i].classes;
        if (kClassSlots[i].key == 0) return 0;
    }
}

std::uint16_t tagClassOfValidName(std::string_view name) {
    if (name.size() > 8)
        return name.size() == 10 && equalsIgnoreCase(name, "blockquote") ? kTagBlock : 0;
    // Valid names hold letters, digits, "!" and "-" only: setting bit 0x20 of every
    // byte lower-cases them, eight at a time.
    std::uint64_t word;
    std::memcpy(&word, name.data(), 8);
    std::uint64_t mask = name.size() == 8 ? ~0ull : (1ull << (8 * name.size())) - 1;
    std::uint64_t key = (word | 0x2020202020202020ull) & mask;
    for (std::size_t i = slotOf(key);; i = (i + 1) % kSlots) {
        if (kClassSlots[i].key == key) return kClassSlots[i].classes;
        if (kClassSlots[i].key == 0) return 0;
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
