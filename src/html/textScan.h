// SPDX-License-Identifier: MIT
// Internal to src/html and src/query: one pass over a page's bytes that learns, before
// anything reads them, what reading needs to know: where the text ends (its first NUL),
// whether it is ASCII or UTF-8 (by the lax rule that decides a conversion, and strictly),
// where the last tag that may be "html" begins, and where every "<" and ">" stands. The
// places are kept as a bitmap that the parser core steps through instead of searching
// the text, so the core never reads a byte of text it does not use.
//
// The pass runs sixteen or thirty-two bytes per step (SSE2, or AVX2 where the processor
// has it) or byte by byte; every way gives the same results, and tests choose the way.
#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string_view>

namespace kestrune {

inline constexpr std::size_t kNoPlace = ~std::size_t{0};

// What the pass learns of a text.
struct TextFacts {
    std::size_t length = 0;  // the bytes in front of the first NUL (all when there is none)
    bool ascii = true;       // none of them is 0x80 or more
    bool utf8 = true;        // isUtf8's lax rule holds for them
    // Strict UTF-8 holds too (isWellFormedUtf8); learnt only when asked for, else false.
    bool wellFormedUtf8 = false;
    // The last "<" that may start an "html" tag (mayStartHtmlTag), or kNoPlace.
    std::size_t lastHtmlTag = kNoPlace;
};

// The ways of making the pass.
enum class ScanKernel { Auto, Reference, Sse2, Avx2 };

// Makes every later pass of the process use `kernel` (Auto: the fastest the processor
// has; Reference: byte by byte). False, and nothing changed, when the processor or the
// build lacks it. For tests and benchmarks; Auto by default.
bool useScanKernel(ScanKernel kernel);
// The kernel passes use now (never Auto).
ScanKernel activeScanKernel();

// 1 when [text, text + length) is UTF-8 by the lax rule: lead bytes announce 1 to 5
// continuation bytes (C0-DF 1, E0-EF 2, F0-F7 3, F8-FB and FE-FF 4, FC-FD 5; overlong
// forms and surrogates pass), with nothing pending at the end; allAscii = 1 when no
// byte >= 0x80 was seen before the scan ended. Byte by byte: the rule as it reads.
int isUtf8(std::string_view text, int& allAscii);

// True when an "html" tag may begin at text[at]: a "<", then the letters h, t, m, l in
// either case, CR, LF and TAB allowed in front of each (a tag name drops them),
// whatever follows, all before `length`. No "html" element can begin elsewhere.
bool mayStartHtmlTag(const char* text, std::size_t length, std::size_t at);

// A text with the places of its "<" and ">": bit i % 64 of word i / 64 is set where
// text[i] is one of them, and bit `length` is set too, so that every search ends.
class ScannedText {
  public:
    ScannedText() = default;
    ScannedText(const char* text, std::size_t length, const std::uint64_t* marks)
        : text_(text), length_(length), marks_(marks) {}

    const char* data() const { return text_; }
    std::size_t size() const { return length_; }

    // The first place at or after `from` (from <= size()) that holds "<" or ">", or
    // size().
    std::size_t nextMark(std::size_t from) const {
        std::size_t word = from / 64;
        std::uint64_t bits = marks_[word] & (~std::uint64_t{0} << (from % 64));
        while (bits == 0) bits = marks_[++word];
        return word * 64 + static_cast<std::size_t>(std::countr_zero(bits));
    }
    // The first place at or after `from` that holds `c` ("<" or ">"), or size().
    std::size_t find(std::size_t from, char c) const {
        while (true) {
            const std::size_t at = nextMark(from);
            if (at == length_ || text_[at] == c) return at;
            from = at + 1;
        }
    }

  private:
    const char* text_ = nullptr;
    std::size_t length_ = 0;
    const std::uint64_t* marks_ = nullptr;
};

// The pass over a text and the bitmap it makes, owned.
class TextScan {
  public:
    // Scans [bytes, bytes + size); strict UTF-8 is learnt only with `strict` (a
    // conversion to UTF-8 keeps a well-formed text as it is). The bytes are only read,
    // never past their end.
    void scan(const char* bytes, std::size_t size, bool strict);

    // The bytes scanned were copied (up to the text's end, at least) to `copy`: the
    // scan describes the copy from now on.
    void moveTo(const char* copy) { bytes_ = copy; }

    const TextFacts& facts() const { return facts_; }
    // The text up to its first NUL with its marks; valid while both this and the
    // bytes live, and until the next scan.
    ScannedText text() const { return ScannedText(bytes_, facts_.length, marks_.get()); }

  private:
    const char* bytes_ = nullptr;
    TextFacts facts_;
    struct Release {
        void operator()(std::uint64_t* words) const;
    };
    std::unique_ptr<std::uint64_t[], Release> marks_;
    std::size_t words_ = 0;  // allocated in marks_
};

}  // namespace kestrune
