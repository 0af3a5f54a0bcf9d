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
// elements, so nesting depth costs no stack. It reads a scanned text (textScan.h):
// the scan's marks lead it from "<" to ">", so running text is never searched, and it
// reads no byte past the text's end. A text it may write to has the names that lose
// CR, LF and TAB compacted in place; a text it only reads (a caller's page) has them
// copied, compacted, to a block of the core's own.
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
#include <new>
#include <stdexcept>
#include <string_view>
#include <vector>

#include "base/asciiTable.h"
#include "base/platform.h"
#include "html/tagTables.h"
#include "html/textScan.h"

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
// "<") in text[from, size), or size.
inline std::size_t findRawCloser(const ScannedText& text, std::size_t from,
                                 std::string_view closer) {
    const char* s = text.data();
    while (true) {
        const std::size_t lt = text.find(from, '<');
        if (text.size() - lt < closer.size()) return text.size();
        std::size_t i = 1;
        while (i < closer.size() && toLowerByte(s[lt + i]) == closer[i]) ++i;
        if (i == closer.size()) return lt;
        from = lt + 1;
    }
}

// The place of the first "-->" in text[from, size), or size.
inline std::size_t findCommentEnd(const ScannedText& text, std::size_t from) {
    const char* s = text.data();
    while (text.size() - from >= 3) {
        const std::size_t gt = text.find(from + 2, '>');
        if (gt == text.size()) break;
        if (s[gt - 1] == '-' && s[gt - 2] == '-') return gt - 2;
        from = gt - 1;
    }
    return text.size();
}

// The classes of the element being read are looked up only when needed.
inline constexpr std::uint16_t kUnknownClass = 0xFFFF;

// What the scan of a tag's name stops at (space) and notes on the way (CR, LF, TAB,
// any other byte that is not an ASCII letter or digit).
enum : unsigned char { kSpace = 2, kNameControl = 4, kNotPlain = 8 };

constexpr std::array<unsigned char, 256> makeTagScanTable() {
    std::array<unsigned char, 256> t{};
    for (std::size_t c = 0; c < 256; ++c) {
        if (isControlChar(static_cast<char>(c))) {
            t[c] = kNameControl;
        } else if (!isAsciiAlnum(static_cast<char>(c))) {
            t[c] = kNotPlain;
        }
    }
    t[' '] = kSpace;
    return t;
}
inline constexpr std::array<unsigned char, 256> kTagScan = makeTagScanTable();

}  // namespace core_detail

// Drops CR, LF and TAB from the `length` bytes at `name`, writing what is left to
// `out` (which may be `name` itself); returns its length.
inline std::size_t compactName(const char* name, std::size_t length, char* out) {
    std::size_t kept = 0;
    for (std::size_t i = 0; i < length; ++i) {
        if (!isControlChar(name[i])) out[kept++] = name[i];
    }
    return kept;
}

// Where the names that lose CR, LF and TAB go. In a text the core may write to, a
// name is compacted in its own place and the bytes it frees become LF, so that
// reading the tag again gives the same name. A text the core only reads keeps its
// bytes: the compacted names go to blocks of their own, one after the other. One
// pass over a text never compacts more bytes than the text holds, so it needs one
// block, made on first use and touched only as far as names fill it.
class TagNames {
  public:
    // `writable` is the text itself, or null when the text is only read. With
    // `htmlWhitespace` (which needs `writable`) every tag read has its TAB, LF, FF and
    // CR turned into spaces first, so that names and attributes end there too.
    TagNames(const char* text, std::size_t length, char* writable, bool htmlWhitespace = false)
        : text_(text), length_(length), writable_(writable), htmlWhitespace_(htmlWhitespace) {
        if (htmlWhitespace && writable == nullptr) throw std::logic_error("text not writable");
    }

    // With htmlWhitespace: text[from, to) (the inside of a tag) with TAB, LF, FF and CR
    // made spaces, in place.
    void spaceOut(std::size_t from, std::size_t to) {
        if (!htmlWhitespace_) return;
        for (char* p = writable_ + from; p != writable_ + to; ++p)
            if (isControlChar(*p) || *p == '\f') *p = ' ';
    }
    TagNames(const TagNames&) = delete;
    TagNames& operator=(const TagNames&) = delete;
    ~TagNames() {
        for (char* block : blocks_) platform::release(block);
    }

    // The name at `name` (inside the text) without CR, LF and TAB; valid as long as
    // this and the text.
    std::string_view compact(const char* name, std::size_t length) {
        if (writable_ != nullptr) {
            char* place = writable_ + (name - text_);
            const std::size_t kept = compactName(place, length, place);
            std::memset(place + kept, '\n', length - kept);
            return std::string_view(place, kept);
        }
        if (room_ < length) {
            const std::size_t bytes = length > length_ ? length : length_;
            blocks_.push_back(nullptr);
            blocks_.back() = static_cast<char*>(platform::allocate(bytes));
            if (blocks_.back() == nullptr) throw std::bad_alloc();
            next_ = blocks_.back();
            room_ = bytes;
        }
        const std::size_t kept = compactName(name, length, next_);
        const std::string_view compacted(next_, kept);
        next_ += kept;
        room_ -= kept;
        return compacted;
    }

  private:
    const char* text_;
    std::size_t length_;
    char* writable_;
    bool htmlWhitespace_;
    std::vector<char*> blocks_;
    char* next_ = nullptr;
    std::size_t room_ = 0;
};

// Reads one token from text[at, size) (at < size) into `token` (all of it is set) and
// returns where the next token begins; names losing CR, LF or TAB go to `names`. Inline: the core's
// loop reads hundreds of thousands of tokens.
inline std::size_t readTag(const ScannedText& text, std::size_t at, Token& token, TagNames& names) {
    token = Token();
    const char* s = text.data();
    const std::size_t end = text.size();
    // Tags often follow each other directly: no search for those.
    const std::size_t lt = s[at] == '<' ? at : text.find(at, '<');
    if (lt == end) {
        token.text = std::string_view(s + at, end - at);
        return end;
    }
    if (lt != at) token.text = std::string_view(s + at, lt - at);
    const std::size_t after = lt + 1;
    if (end - after >= 3 && s[after] == '!' && s[after + 1] == '-' && s[after + 2] == '-') {
        token.tagName = std::string_view(s + after, 3);
        return after + 3;
    }
    const std::size_t gt = text.find(after, '>');
    if (gt == end) {
        // An unterminated tag: everything after "<" is text.
        token.text = std::string_view(s + after, end - after);
        return end;
    }
    names.spaceOut(after, gt);
    // One pass over the name: it ends at the first space (or at ">"); CR, LF and TAB
    // in it are noted, and so is any other byte that makes it less than plain (a
    // leading "/" does not).
    std::size_t q = after + (s[after] == '/' ? 1 : 0);
    unsigned seen = 0;
    for (; q < gt; ++q) {
        const unsigned char stop = core_detail::kTagScan[static_cast<unsigned char>(s[q])];
        if (stop == 0) continue;
        if (stop == core_detail::kSpace) break;
        seen |= stop;
    }
    std::size_t tagEnd = gt;
    if (tagEnd > after && s[tagEnd - 1] == '/') {
        token.selfClosing = true;
        --tagEnd;
    }
    if (tagEnd > after) {
        std::size_t nameEnd = tagEnd;
        if (q < gt) {
            if (q != after && q < tagEnd) {
                nameEnd = q;
                token.attributeText = std::string_view(s + q, tagEnd - q);
            } else {
                seen |= core_detail::kNotPlain;  // the name runs on past the scan
            }
        }
        token.tagName = (seen & core_detail::kNameControl)
                            ? names.compact(s + after, nameEnd - after)
                            : std::string_view(s + after, nameEnd - after);
        token.plainName = !token.tagName.empty() && (seen & core_detail::kNotPlain) == 0;
    }
    return gt + 1;
}

// The same cut as readTag, by the rules as they read, byte by byte, for tests: the
// first "<"; "!--" right after it; else the first ">" after it. The tag text between
// them loses a last "/" (self-closing); the name is the part in front of its first
// space (the whole text when there is none or it starts with one). The bytes of the
// tag text up to its first space, a leading "/" aside, are those scanned: a name
// with CR, LF or TAB among them is compacted (by `names`), and is plain when the
// others are letters and digits and the name ends where they do.
inline std::size_t readTagReference(const char* s, std::size_t at, std::size_t end, Token& token,
                                    TagNames& names) {
    token = Token();
    const std::string_view rest(s + at, end - at);
    const std::size_t lt = rest.find('<');
    if (lt == std::string_view::npos) {
        token.text = rest;
        return end;
    }
    if (lt != 0) token.text = rest.substr(0, lt);
    const std::string_view afterLt = rest.substr(lt + 1);
    if (afterLt.substr(0, 3) == "!--") {
        token.tagName = afterLt.substr(0, 3);
        return at + lt + 4;
    }
    const std::size_t gt = afterLt.find('>');
    if (gt == std::string_view::npos) {
        token.text = afterLt;
        return end;
    }
    names.spaceOut(at + lt + 1, at + lt + 1 + gt);
    const std::string_view tag = afterLt.substr(0, gt);
    const std::size_t next = at + lt + 1 + gt + 1;
    const std::size_t from = !tag.empty() && tag[0] == '/' ? 1 : 0;
    const std::string_view scanned = tag.substr(from, tag.find(' ', from) - from);
    std::string_view body = tag;
    if (!body.empty() && body.back() == '/') {
        token.selfClosing = true;
        body.remove_suffix(1);
    }
    if (body.empty()) return next;
    const std::size_t space = body.find(' ');
    std::string_view name = body;
    if (space != std::string_view::npos && space > 0) {
        name = body.substr(0, space);
        token.attributeText = body.substr(space);
    }
    bool control = false;
    bool plain = space != 0;
    for (char c : scanned) {
        control = control || isControlChar(c);
        plain = plain && (isAsciiAlnum(c) || isControlChar(c));
    }
    if (control) name = names.compact(name.data(), name.size());
    token.tagName = name;
    token.plainName = plain && !name.empty();
    return next;
}

template <typename Consumer>
class ParserCore {
  public:
    // Reads `text`; with `writable` (the text itself) names are compacted in place,
    // and with `htmlWhitespace` tags are read as TagNames says.
    ParserCore(const ScannedText& text, Consumer& consumer, char* writable = nullptr,
               bool htmlWhitespace = false)
        : text_(text),
          end_(text.size()),
          names_(text.data(), text.size(), writable, htmlWhitespace),
          consumer_(consumer) {}

    void run() {
        const char* s = text_.data();
        while (cursor_ != end_ || handedBack_) {
            Token token;
            nextToken(token);
            consumer_.topLevel(token);
            buildSubtree(token);
            if (!handedBack_) {
                while (cursor_ != end_ && isHtmlSpace(s[cursor_])) ++cursor_;
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
        cursor_ = readTag(text_, cursor_, token, names_);
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
        const char* content = text_.data() + cursor_;
        if (classes & kTagComment) {
            const std::size_t close = core_detail::findCommentEnd(text_, cursor_);
            consumer_.finished(detail::ElementLinks::kComment | detail::ElementLinks::kClosed,
                               std::string_view(content, close - cursor_));
            cursor_ = close == end_ ? end_ : close + 3;
            return false;
        }
        if (classes & (kTagScript | kTagStyle)) {
            bool style = (classes & kTagStyle) != 0;
            std::string_view closer = style ? "</style>" : "</script>";
            const std::size_t close = core_detail::findRawCloser(text_, cursor_, closer);
            consumer_.finished(
                (style ? detail::ElementLinks::kStyle : detail::ElementLinks::kScript) |
                    detail::ElementLinks::kClosed,
                std::string_view(content, close - cursor_));
            cursor_ = close == end_ ? end_ : close + closer.size();
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

    ScannedText text_;
    std::size_t cursor_ = 0;
    std::size_t end_;
    TagNames names_;
    Consumer& consumer_;
    // A start tag that an element refused: the element that reads it next takes it
    // from here instead of scanning the same text again, and gets an empty text for
    // it (the text stays with the element that read it first).
    bool handedBack_ = false;
    Token handedBackToken_;
};

}  // namespace kestrune
