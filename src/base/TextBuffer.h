// SPDX-License-Identifier: MIT
// TextBuffer: a growable, always NUL-terminated byte buffer with a fixed growth rule
// (a block that must hold n bytes gets max(capacity, floor(growthFactor * n)) bytes).
#pragma once

#include <cstddef>

namespace kestrune {

class TextBuffer {
  public:
    static constexpr int kDefaultCapacity = 256;
    static constexpr double kDefaultGrowthFactor = 1.5;

    // An empty buffer of `initialCapacity` zeroed bytes (256 when <= 0); the growth
    // factor is raised to 1.5 when smaller.
    TextBuffer(int initialCapacity, double growthFactor);
    // A copy of the NUL-terminated `text` (null counts as empty); capacity is
    // max(256, floor(1.5 * (strlen + 1))).
    explicit TextBuffer(const char* text);
    // An independent copy with the same capacity and length.
    TextBuffer(const TextBuffer& other);
    TextBuffer& operator=(const TextBuffer& other) { return assign(other); }
    virtual ~TextBuffer();

    // Replace the content. A text that lies inside this buffer's own block is fine.
    TextBuffer& assign(const char* text);
    TextBuffer& assign(const TextBuffer& other);
    // Append at the end; the block only moves when it has no room.
    TextBuffer& append(const char* text);
    TextBuffer& append(const TextBuffer& other);
    TextBuffer& append(const char* bytes, int count);
    // The content becomes a followed by b; nothing changes when either is null.
    void concatAssign(const char* a, const char* b);

    // Raises capacity to floor(growthFactor * needed) when that is larger and returns
    // a new, unfilled block of `capacity` bytes owned by the caller (free with
    // std::free). The current block is not touched. Sizes that do not fit an int end
    // the program, as running out of memory does.
    char* reserveFor(int needed);

    const char* data() const { return data_; }
    int length() const { return length_; }
    int capacity() const { return capacity_; }
    double growthFactor() const { return growthFactor_; }

  private:
    bool insideBlock(const char* p) const;
    // Content a then b, la + lb bytes, given by callers whose sources may lie in the block.
    void replaceWith(const char* a, int la, const char* b, int lb);
    // Fills a new block (of `need` or more bytes) with a then b, then lets the old
    // block go, so that a source inside the old block is still readable while it is
    // copied. Length and NUL are the caller's.
    void moveToNewBlock(int need, const char* a, int la, const char* b, int lb);

    char* data_ = nullptr;  // owned; data_[length_] == '\0'
    int length_ = 0;
    int capacity_ = 0;
    double growthFactor_ = kDefaultGrowthFactor;
};

}  // namespace kestrune
