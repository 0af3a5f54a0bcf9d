// SPDX-License-Identifier: MIT
// Internal to src/html: what an HtmlDocument holds, behind its public face.
#pragma once

#include <kestrune/document.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "html/documentStorage.h"

namespace kestrune::detail {

struct DocumentState {
    // An end tag that closed nothing, in 8 bytes (a worst case has millions): the
    // element that read it, by its place in the arena, and its name in the text.
    struct StrayEndTag {
        static constexpr std::uint32_t kLengthBits = 5;  // names hold at most 16 bytes
        std::uint32_t owner;
        std::uint32_t name;  // offset in the text << kLengthBits | length
    };
    static_assert(std::uint64_t{kMaxInputBytes} << StrayEndTag::kLengthBits <= 0xFFFFFFFFull,
                  "every text offset and name length fit one 32-bit word");

    // Takes over a block of text, whose text `scan` describes (not empty), and parses it
    // in place (converting it first when it must be).
    bool parseStorage(std::unique_ptr<DocumentStorage> block, TextScan& scan);
    // Forgets the tree (the storage stays until another takes its place).
    void reset();
    HtmlElement* newElement();
    // Reads the charset declarations of the meta elements below the root the builder
    // chose. False when there is no root.
    bool detectCharset();
    // Reads one meta element's declaration into charset / contentType; the first
    // charset found wins.
    void examineMeta(const HtmlElement& meta);

    std::unique_ptr<DocumentStorage> storage;
    char* text = nullptr;
    std::size_t textLength = 0;
    HtmlElement* elements = nullptr;
    std::size_t elementCount = 0;
    std::size_t elementCapacity = 0;
    const HtmlElement* root = nullptr;
    const HtmlElement* doctype = nullptr;
    const HtmlElement* firstTopLevel = nullptr;
    std::vector<StrayEndTag> strayEndTags;
    std::vector<const HtmlElement*> metas;  // meta elements below the top level, in order
    bool convertedFromUtf8 = false;
    unsigned codePage = 0;  // 0: the local one
    bool htmlWhitespace = false;
    std::string contentType;
    std::string charset;
};

// The tree builder's way into elements.
struct ElementAccess {
    static ElementLinks& links(HtmlElement& e) { return e.links_; }
    static HtmlElement* make(void* at) { return new (at) HtmlElement(); }
    // The span of a text in front of the element (its document's text); {0, 0} when
    // empty.
    static TextSpan spanOf(const HtmlElement& e, std::string_view text) {
        TextSpan s;
        if (!text.empty()) {
            s.back = static_cast<std::uint32_t>(reinterpret_cast<const char*>(&e) - text.data());
            s.length = static_cast<std::uint32_t>(text.size());
        }
        return s;
    }
};

}  // namespace kestrune::detail
