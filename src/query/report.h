// SPDX-License-Identifier: MIT
// The library's rendering of a page's report, for the program and Report: bytes in
// the two forms the program gives it: the console's lines, and the output file (one line of JSON
// for doctype and element reports, numbered plain-text records for raw blocks). No I/O: the caller
// takes the bytes where they go.
#pragma once

#include <kestrune/extract.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "base/ByteBuffer.h"

namespace kestrune {

enum class ReportForm { Console, File };

// The member names of an element report: "text", then the attribute names asked
// for, or "attr" when none were. Refers to the names, which must outlive it.
class ReportKeys {
  public:
    explicit ReportKeys(const std::vector<std::string>& attributeNames) : names_(attributeNames) {}
    std::size_t size() const { return names_.empty() ? 2 : names_.size() + 1; }
    std::string_view operator[](std::size_t i) const {
        if (i == 0) return "text";
        return names_.empty() ? std::string_view("attr") : std::string_view(names_[i - 1]);
    }

  private:
    const std::vector<std::string>& names_;
};

// One value of an element's report that is not empty: its key's number and its text
// as found. It is written without CR, LF and TAB, and without spaces when
// `dropSpaces` (an element's own text).
struct KeyedValue {
    std::uint32_t key;
    std::string_view text;
    bool dropSpaces = false;
};

// Writes `text` at `to` without CR, LF and TAB (and spaces when dropSpaces), escaped
// for JSON when `json`: in one pass what removeControlChars (then, when dropSpaces,
// the removal of every space) and then writeJsonEscaped give. Room for the text's
// size is needed, 6 bytes per byte of text when `json`: the output never passes the
// room the bytes read so far give, so blocks of sixteen bytes are stored whole.
// Returns the end of what was written.
char* writeCleanedValue(char* to, std::string_view text, bool dropSpaces, bool json);

// An element's report as fixed text with a gap for each key whose value is written.
// Rendering copies the fixed text around the values: empty values cost nothing, so
// an element costs the same with thousands of keys asked for as with a few.
class ElementLayout {
  public:
    explicit ElementLayout(std::size_t keys) : gapAt_(keys, kNoGap) {}
    // Room for `bytes` more fixed text, so that building the layout moves nothing.
    void reserve(std::size_t bytes) { fixed_.room(bytes + kSlack); }
    void addText(std::string_view bytes) {
        fixed_.append(bytes);
        fixed_.room(kSlack);
    }
    // Three texts, then the gap of `key`, whose value is written there: what each key
    // of a report adds. A key given no gap is not written.
    void addGapAfter(std::string_view a, std::string_view b, std::string_view c, std::size_t key) {
        char* to = fixed_.room(a.size() + b.size() + c.size() + kSlack);
        to = copyShort(copyShort(copyShort(to, a), b), c);
        fixed_.grewTo(to);
        gapAt_[key] = static_cast<std::uint32_t>(fixed_.size());
    }
    // Appends the element with these values to `out`, escaped for JSON when `json`.
    void render(ByteBuffer& out, const std::vector<KeyedValue>& values, bool json);

  private:
    static constexpr std::uint32_t kNoGap = ~std::uint32_t{0};
    struct Placed {
        std::uint32_t at;  // gap
        std::uint32_t key;
        std::string_view text;
        bool dropSpaces;
    };
    // Keys and the text between gaps are mostly a few bytes long: copied without a call.
    static char* copyShort(char* to, std::string_view s) {
        if (s.size() > 16) {
            std::memcpy(to, s.data(), s.size());
            return to + s.size();
        }
        for (char c : s) *to++ = c;
        return to;
    }

    // The text between gaps is copied sixteen bytes at a time: the fixed text and
    // the output have this much room behind them.
    static constexpr std::size_t kSlack = 16;
    static char* copySegment(char* to, const char* from, std::size_t n) {
        if (n <= kSlack) {
            std::memcpy(to, from, kSlack);
        } else {
            std::memcpy(to, from, n);
        }
        return to + n;
    }

    ByteBuffer fixed_;
    std::vector<std::uint32_t> gapAt_;  // by key number
    std::vector<Placed> placed_;        // the values being rendered, in gap order
};

// The element report in either form: on the console "key=value" lines for every key,
// each element after the other; in the file {"<tag>":[{...}, {...}]}, one object per
// element whose members are "text" and the requested attribute names (or "attr"), in
// byte order of their keys, the first value under a repeated key kept, keys and
// values escaped for JSON.
class ElementRenderer {
  public:
    // `keys` are the member names the values' key numbers refer to.
    ElementRenderer(ReportForm form, std::string_view tagName, ReportKeys keys);
    // What comes before the first element and after the last.
    void head(ByteBuffer& out) const;
    void tail(ByteBuffer& out) const;
    // One element: its values that are not empty.
    void element(ByteBuffer& out, const std::vector<KeyedValue>& values, bool first);

  private:
    ReportForm form_;
    std::string tagName_;
    ElementLayout layout_;
};

// One raw block, numbered from 1, as HTML (without a line break after it): on the
// console "===<n>===" and the block, in the file "// No.<n>" and the block, each
// line ended by CR LF and an empty line after the block.
void renderBlock(ByteBuffer& out, ReportForm form, std::size_t number, std::string_view html);

// The words of the document type: "doctype=<words>" on the console, {"doctype":"<words>"}
// in the file, without CR, LF and TAB.
void renderDoctype(ByteBuffer& out, ReportForm form, std::string_view words);

}  // namespace kestrune
