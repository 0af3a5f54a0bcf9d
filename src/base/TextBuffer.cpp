// SPDX-License-Identifier: MIT
// TextBuffer: growth by a constant factor so that many small appends cost
// amortised linear time; only the new bytes are copied while the block has room.
#include "base/TextBuffer.h"

#include <cassert>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <new>

#include "base/platform.h"

namespace kestrune {

namespace {

char* allocateBlock(int size, bool zeroed) {
    void* block = platform::allocate(static_cast<std::size_t>(size));
    if (block == nullptr) throw std::bad_alloc();  // the program entry reports it
    if (zeroed) std::memset(block, 0, static_cast<std::size_t>(size));
    return static_cast<char*>(block);
}

int textLength(const char* text) {
    std::size_t len = std::strlen(text);
    if (len >= static_cast<std::size_t>(INT_MAX)) throw std::bad_alloc();
    return static_cast<int>(len);
}

int sumSize(int a, int b) {
    long long total = static_cast<long long>(a) + b + 1;
    if (total > INT_MAX) throw std::bad_alloc();
    return static_cast<int>(total);
}

}  // namespace

TextBuffer::TextBuffer(int initialCapacity, double growthFactor)
    : capacity_(initialCapacity <= 0 ? kDefaultCapacity : initialCapacity),
      growthFactor_(growthFactor < kDefaultGrowthFactor ? kDefaultGrowthFactor : growthFactor) {
    data_ = allocateBlock(capacity_, true);
}

TextBuffer::TextBuffer(const char* text) : capacity_(kDefaultCapacity) {
    if (text == nullptr) text = "";
    int len = textLength(text);
    data_ = reserveFor(sumSize(len, 0));
    std::memcpy(data_, text, static_cast<std::size_t>(len) + 1);
    length_ = len;
}

TextBuffer::TextBuffer(const TextBuffer& other)
    : length_(other.length_), capacity_(other.capacity_) {
    data_ = allocateBlock(capacity_, false);
    std::memcpy(data_, other.data_, static_cast<std::size_t>(length_) + 1);
}

TextBuffer::~TextBuffer() {
    platform::release(data_);
    data_ = nullptr;
    length_ = 0;
    capacity_ = 0;
}

char* TextBuffer::reserveFor(int needed) {
    double grown = static_cast<double>(needed) * growthFactor_;
    // Past INT_MAX the factor can no longer be applied; the exact size still fits.
    int target = grown >= static_cast<double>(INT_MAX) ? needed : static_cast<int>(grown);
    if (target > capacity_) capacity_ = target;
    return allocateBlock(capacity_, false);
}

bool TextBuffer::insideBlock(const char* p) const {
    // std::less gives a total order even for pointers into different blocks.
    std::less<const char*> before;
    return p != nullptr && !before(p, data_) && before(p, data_ + capacity_);
}

void TextBuffer::moveToNewBlock(int need, const char* a, int la, const char* b, int lb) {
    char* block = capacity_ < need ? reserveFor(need) : allocateBlock(capacity_, false);
    std::memcpy(block, a, static_cast<std::size_t>(la));
    std::memcpy(block + la, b, static_cast<std::size_t>(lb));
    platform::release(data_);
    data_ = block;
}

void TextBuffer::replaceWith(const char* a, int la, const char* b, int lb) {
    int need = sumSize(la, lb);
    if (capacity_ < need || insideBlock(a) || insideBlock(b)) {
        moveToNewBlock(need, a, la, b, lb);
    } else {
        std::memcpy(data_, a, static_cast<std::size_t>(la));
        std::memcpy(data_ + la, b, static_cast<std::size_t>(lb));
    }
    data_[la + lb] = '\0';
    length_ = la + lb;
}

TextBuffer& TextBuffer::assign(const char* text) {
    if (text == nullptr) text = "";
    replaceWith(text, textLength(text), "", 0);
    return *this;
}

TextBuffer& TextBuffer::assign(const TextBuffer& other) {
    if (&other != this) replaceWith(other.data_, other.length_, "", 0);
    return *this;
}

TextBuffer& TextBuffer::append(const char* bytes, int count) {
    if (bytes == nullptr || count <= 0) return *this;
    int need = sumSize(length_, count);
    if (capacity_ < need) {
        moveToNewBlock(need, data_, length_, bytes, count);
    } else {
        // The source may be this very block (appending the buffer to itself).
        std::memmove(data_ + length_, bytes, static_cast<std::size_t>(count));
    }
    length_ += count;
    data_[length_] = '\0';
    assert(length_ + 1 <= capacity_);
    return *this;
}

TextBuffer& TextBuffer::append(const char* text) {
    if (text == nullptr) return *this;
    return append(text, textLength(text));
}

TextBuffer& TextBuffer::append(const TextBuffer& other) {
    return append(other.data_, other.length_);
}

void TextBuffer::concatAssign(const char* a, const char* b) {
    if (a == nullptr || b == nullptr) return;
    replaceWith(a, textLength(a), b, textLength(b));
}

}  // namespace kestrune
