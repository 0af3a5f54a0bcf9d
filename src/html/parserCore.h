// SPDX-License-Identifier: MIT
// Internal to src/html and src/query: the parser core, one forward pass over a
// document's text that applies every rule of the tree builder (token cut, nesting
// and hand-back, text slots, raw blocks, root choice) and reports what it finds as
// events to a consumer. The tree builder turns the events into elements; the
// element extraction of the command line keeps only what its report needs.
//
// Tokens are cut by "<" and ">" alone; an element's content ends at its own end
// tag, at a start tag that may not nest inside it (handed back to the enclosing
// element), or at the end of the text. The pass is one loop over the chain of open
// elements, so nesting depth costs no stack.
//
// The consumer gets, in source order:
//   topLevel(token)             a new top-level element (its name may be invalid)
//   child(token, classes)       a new child of the current element
//   finished(flags, content)    the newest element is complete without reading
//                               content: flags say why (kClosed, kComment, ...);
//                               content is the raw text of a comment, script or style
//   descend()                   the newest element becomes the current one
//   leaf(mayCloseLater)         the newest element did not become current; an end
//                               tag of the same name may still close it
//   slot(text)                  the text in front of an accepted tag, as written: the
//                               own text of the current element while it has no
//                               child, else the tail of its last child (a later call
//                               for the same slot replaces the text); the tree reads
//                               it as detail::trimmedText(text)
//   strayEnd(name)              an end tag ("/" kept) that does not close the current
//                               element
//   ascend(closed, more)        the current element ends (closed: by its own end tag;
//                               more: text remains); returns the name of its parent,
//                               which becomes current; not called for a top-level one
//   topLevelEnd(closed, kind)   the top-level element is done
#pragma once

#include <kestrune/document.h>

#include <array>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string_view>

#include "base/asciiTable.h"
#include "base/byteScan.h"
#include "html/tagTables.h"

namespace kestrune {

// One token as the core cuts it: the text in front of a tag, and the tag itself.
struct Token {
    std::string_view tagName;        // empty for text without a following tag
    std::string_view attributeText;  // from the first space after the name, space included
    std::string_view text;           // the text in front of "<", as written
    bool selfClosing = false;        // the tag ended in "/>"
    bool plainName = false;          // the name is not empty and, after an optional
                                     // "/", holds ASCII letters and digits only
};

// The tree builder's test of a tag name (isValidTagName), for a token readTag cut:
// the scan of the name has already seen whether it is plain.
inline bool isValidTagToken(const Token& token) {
    return token.plainName ? token.tagName.size() <= 16 : isValidTagName(token.tagName) != 0;
}

// What a finished top-level element is to the root choice.
enum class TopLevelKind { kDoctype, kHtml, kOther };

// What a top-level element with this name is to the root choice.
inline TopLevelKind topLevelKindOf(std::string_view name) {
    if (isValidTagName(name) && (tagClassOfValidName(name) & kTagDoctype) != 0) {
        return TopLevelKind::kDoctype;
    }
    return equalsIgnoreCase(name, "html") ? TopLevelKind::kHtml : TopLevelKind::kOther;
}

// The last "<" in [text, text + length) that may start an "html" tag: "<" and the
// letters h, t, m, l in either case, CR, LF and TAB allowed between them (a tag name
// loses them), whatever follows; null when there is none. No "html" element can
// begin after it, so the root choice may be settled as soon as the parser passes it.
inline const char* lastPossibleHtmlTag(const char* text, std::size_t length) {
    const char* last = nullptr;
    forEachTagOpening(text, length, 'h', [&](std::size_t at) {
        std::size_t i = at + 1;
        for (char letter : std::string_view("html")) {
            while (i < length && isControlChar(text[i])) ++i;
            if (i == length || toLowerByte(text[i]) != letter) return at + 1;
            ++i;
        }
        last = text + at;
        return i;
    });
    return last;
}

// The root: the last top-level "html" element, else the first other top-level
// element (doctype declarations never count). Ids are the consumer's own.
template <typename Id>
class RootChoice {
  public:
    void offer(TopLevelKind kind, Id id) {
        if (kind == TopLevelKind::kHtml) {
            html_ = id;
            haveHtml_ = true;
        } else if (kind == TopLevelKind::kOther && !haveOther_) {
            other_ = id;
            haveOther_ = true;
        }
    }
    bool found() const { return haveHtml_ || haveOther_; }
    bool isHtml() const { return haveHtml_; }
    Id root() const { return haveHtml_ ? html_ : other_; }
    // True while an element of this kind could still become the root.
    bool wants(TopLevelKind kind) const {
        return kind == TopLevelKind::kHtml || (kind == TopLevelKind::kOther && !haveOther_);
    }

  private:
    Id html_{};
    Id other_{};
    bool haveHtml_ = false;
    bool haveOther_ = false;
};

namespace core_detail {

// The first case-insensitive occurrence of `closer` (lower case, starting with
// "<") in [from, end), or end.
inline const char* findRawCloser(const char* from, const char* end, std::string_view closer) {
    const char* p = from;
    while (true) {
        std::size_t left = static_cast<std::size_t>(end - p);
        if (left < closer.size()) return end;
        const void* lt = std::memchr(p, '<', left - closer.size() + 1);
        if (lt == nullptr) return end;
        p = static_cast<const char*>(lt);
        std::size_t i = 1;
        while (i < closer.size() && toLowerByte(p[i]) == closer[i]) ++i;
        if (i == closer.size()) return p;
        ++p;
    }
}

// The first "-->" in [from, end), or null.
inline const char* findCommentEnd(const char* from, const char* end) {
    const char* p = from;
    while (end - p >= 3) {
        const void* dash = std::memchr(p, '-', static_cast<std::size_t>(end - p) - 2);
        if (dash == nullptr) return nullptr;
        p = static_cast<const char*>(dash);
        if (p[1] == '-' && p[2] == '>') return p;
        ++p;
    }
    return nullptr;
}

// The classes of the element being read are looked up only when needed.
inline constexpr std::uint16_t kUnknownClass = 0xFFFF;

// Drops CR, LF and TAB from a tag name: the rest moves down inside the name and the
// freed bytes become LF, so that reading the tag again gives the same name.
inline std::size_t compactName(char* name, std::size_t length) {
    std::size_t out = 0;
    for (std::size_t i = 0; i < length; ++i) {
        if (!isControlChar(name[i])) name[out++] = name[i];
    }
    for (std::size_t i = out; i < length; ++i) name[i] = '\n';
    return out;
}

// What the scan of a tag's name stops at (">", space) and notes on the way (CR, LF,
// TAB, any other byte that is not an ASCII letter or digit).
enum : unsigned char { kEndOfTag = 1, kSpace = 2, kNameControl = 4, kNotPlain = 8 };

constexpr std::array<unsigned char, 256> makeTagScanTable() {
    std::array<unsigned char, 256> t{};
    for (std::size_t c = 0; c < 256; ++c) {
        if (isControlChar(static_cast<char>(c))) {
            t[c] = kNameControl;
        } else if (!isAsciiAlnum(static_cast<char>(c))) {
            t[c] = kNotPlain;
        }
    }
    t['>'] = kEndOfTag;
    t[' '] = kSpace;
    return t;
}
inline constexpr std::array<unsigned char, 256> kTagScan = makeTagScanTable();

}  // namespace core_detail

// Reads one token from [text, end) (text < end; *end == '\0' and at least 16 readable
// bytes from end, as in a document's text) into `token` (all of it is set) and returns
// the bytes consumed. CR, LF and TAB are removed from the tag name in place, so the
// name stays a view into the text. Inline: the core's loop reads hundreds of
// thousands of tokens.
inline std::size_t readTag(char* text, char* end, Token& token) {
    token = Token();
    const std::size_t available = static_cast<std::size_t>(end - text);
    if (available == 0) return 0;
    // Tags often follow each other directly: no library call for those.
    char* lt = *text == '<' ? text : const_cast<char*>(findBytePadded(text, available, '<'));
    if (lt == nullptr) {
        token.text = std::string_view(text, available);
        return available;
    }
    if (lt != text) token.text = std::string_view(text, static_cast<std::size_t>(lt - text));
    char* after = lt + 1;
    const std::size_t rest = static_cast<std::size_t>(end - after);
    if (rest >= 3 && after[0] == '!' && after[1] == '-' && after[2] == '-') {
        token.tagName = std::string_view(after, 3);
        return static_cast<std::size_t>(after - text) + 3;
    }
    // One pass over the name: it ends at the first space or at ">"; CR, LF and TAB
    // in it are noted, and so is any other byte that makes it less than plain (a
    // leading "/" does not). Names are short, so this beats two library searches.
    char* q = after + (*after == '/' ? 1 : 0);  // *end is NUL: after may be end
    unsigned seen = 0;
    unsigned char stop = 0;
    for (; q < end; ++q) {
        stop = core_detail::kTagScan[static_cast<unsigned char>(*q)];
        if (stop == 0) continue;
        if (stop & (core_detail::kEndOfTag | core_detail::kSpace)) break;
        seen |= stop;
    }
    char* space = nullptr;
    char* gt = q;
    if (q < end && stop == core_detail::kSpace) {
        space = q;
        gt = const_cast<char*>(findBytePadded(q, static_cast<std::size_t>(end - q), '>'));
    }
    if (gt == nullptr || gt == end) {
        // An unterminated tag: everything after "<" is text.
        token.text = std::string_view(after, rest);
        return available;
    }
    std::size_t tagLength = static_cast<std::size_t>(gt - after);
    if (tagLength > 0 && after[tagLength - 1] == '/') {
        token.selfClosing = true;
        --tagLength;
    }
    if (tagLength > 0) {
        std::size_t nameLength = tagLength;
        if (space != nullptr) {
            if (space != after && space < after + tagLength) {
                nameLength = static_cast<std::size_t>(space - after);
                token.attributeText = std::string_view(space, tagLength - nameLength);
            } else {
                seen |= core_detail::kNotPlain;  // the name runs on past the scan
            }
        }
        if (seen & core_detail::kNameControl)
            nameLength = core_detail::compactName(after, nameLength);
        token.tagName = std::string_view(after, nameLength);
        token.plainName = nameLength > 0 && (seen & core_detail::kNotPlain) == 0;
    }
    return static_cast<std::size_t>(gt + 1 - text);
}

template <typename Consumer>
class ParserCore {
  public:
    ParserCore(char* text, std::size_t length, Consumer& consumer)
        : cursor_(text), end_(text + length), consumer_(consumer) {}

    void run() {
        while (cursor_ != end_ || handedBack_) {
            Token token;
            nextToken(token);
            consumer_.topLevel(token);
            buildSubtree(token);
            if (!handedBack_) {
                while (cursor_ != end_ && isHtmlSpace(*cursor_)) ++cursor_;
            }
        }
    }

  private:
    bool nextToken(Token& token) {
        if (handedBack_) {
            // The same tag again; its text already has its place.
            token = handedBackToken_;
            token.text = std::string_view();
            handedBack_ = false;
            return true;
        }
        if (cursor_ == end_) return false;
        cursor_ += readTag(cursor_, end_, token);
        return true;
    }

    // Raw content, flags and immediate completion of a new element with a valid name
    // and the given tag classes; true when the element goes on to read content.
    bool enter(std::uint16_t classes, bool selfClosing) {
        constexpr std::uint16_t kSpecial = kTagDoctype | kTagComment | kTagScript | kTagStyle;
        if (!selfClosing && (classes & (kSpecial | kTagVoid)) == 0) return cursor_ != end_;
        if (classes & kTagDoctype) {
            consumer_.finished(detail::ElementLinks::kDoctype, std::string_view());
            return false;
        }
        if (cursor_ == end_) return false;
        std::size_t left = static_cast<std::size_t>(end_ - cursor_);
        if (classes & kTagComment) {
            const char* close = core_detail::findCommentEnd(cursor_, end_);
            std::size_t length =
                close == nullptr ? left : static_cast<std::size_t>(close - cursor_);
            consumer_.finished(detail::ElementLinks::kComment | detail::ElementLinks::kClosed,
                               std::string_view(cursor_, length));
            cursor_ += close == nullptr ? left : length + 3;
            return false;
        }
        if (classes & (kTagScript | kTagStyle)) {
            bool style = (classes & kTagStyle) != 0;
            std::string_view closer = style ? "</style>" : "</script>";
            const char* close = core_detail::findRawCloser(cursor_, end_, closer);
            std::size_t length = static_cast<std::size_t>(close - cursor_);
            consumer_.finished(
                (style ? detail::ElementLinks::kStyle : detail::ElementLinks::kScript) |
                    detail::ElementLinks::kClosed,
                std::string_view(cursor_, length));
            cursor_ += close == end_ ? length : length + closer.size();
            return false;
        }
        if (selfClosing || (classes & kTagVoid)) {
            consumer_.finished(detail::ElementLinks::kClosed, std::string_view());
            return false;
        }
        return true;
    }

    void buildSubtree(const Token& top) {
        bool closed = false;
        if (isValidTagToken(top)) {
            std::uint16_t classes = tagClassOfValidName(top.tagName);
            if (enter(classes, top.selfClosing)) {
                consumer_.descend();
                closed = readContent(top.tagName, classes);
            }
        }
        consumer_.topLevelEnd(closed, topLevelKindOf(top.tagName));
    }

    // Reads the content of the top-level element `topName` and everything nested in
    // it; true when its own end tag closed it.
    bool readContent(std::string_view topName, std::uint16_t topClasses) {
        std::string_view name = topName;  // of the element whose content is being read
        std::uint16_t parentClass = topClasses;
        std::size_t depth = 0;  // of that element below the top-level one
        Token token;
        while (true) {
            bool ends = false;
            bool closed = false;
            if (!nextToken(token)) {
                ends = true;  // end of the text: the element stays open
            } else if (!isValidTagToken(token)) {
                continue;  // the token and the text in front of it are dropped
            } else {
                // Each accepted tag assigns the text in front of it to the current slot.
                consumer_.slot(token.text);
                std::string_view tag = token.tagName;
                if (tag[0] == '/') {
                    if (equalsIgnoreCase(tag.substr(1), name)) {
                        closed = true;
                        ends = true;
                    } else {
                        // Only the element's own open children can be closed here; an
                        // end tag of an ancestor is stray and the element keeps reading.
                        consumer_.strayEnd(tag);
                        continue;
                    }
                } else if (cursor_ == end_) {
                    ends = true;  // a start tag that ends the text creates no element
                } else {
                    std::uint16_t childClass = tagClassOfValidName(tag);
                    // The open element's classes only matter to a block tag.
                    if ((childClass & kTagBlock) && parentClass == core_detail::kUnknownClass)
                        parentClass = tagClassOfValidName(name);
                    if (!mayNestClasses(tag, childClass, name, parentClass)) {
                        handedBack_ = true;
                        handedBackToken_ = token;
                        ends = true;
                    } else {
                        consumer_.child(token, childClass);
                        if (enter(childClass, token.selfClosing)) {
                            consumer_.descend();
                            name = tag;
                            parentClass = childClass;
                            ++depth;
                        } else {
                            consumer_.leaf(cursor_ != end_ && tag[0] != '!');
                        }
                        continue;
                    }
                }
            }
            if (ends) {
                if (depth == 0) return closed;
                name = consumer_.ascend(closed, cursor_ != end_ || handedBack_);
                --depth;
                parentClass = core_detail::kUnknownClass;
            }
        }
    }

    char* cursor_;
    char* end_;
    Consumer& consumer_;
    // A start tag that an element refused: the element that reads it next takes it
    // from here instead of scanning the same text again, and gets an empty text for
    // it (the text stays with the element that read it first).
    bool handedBack_ = false;
    Token handedBackToken_;
};

}  // namespace kestrune
