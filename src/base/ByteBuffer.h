// SPDX-License-Identifier: MIT
// ByteBuffer: an append-only byte buffer whose appends are a bounds check and a
// copy, for output assembled from many short pieces.
#pragma once

#include <cstddef>
#include <cstdlib>
#include <cstring>
#include <new>
#include <string_view>
#include <utility>

#include "base/platform.h"

namespace kestrune {

class ByteBuffer {
  public:
    ByteBuffer() = default;
    ByteBuffer(const ByteBuffer&) = delete;
    ByteBuffer& operator=(const ByteBuffer&) = delete;
    ~ByteBuffer() { platform::release(data_); }

    void append(std::string_view bytes) {
        char* at = room(bytes.size());
        if (!bytes.empty()) std::memcpy(at, bytes.data(), bytes.size());
        size_ += bytes.size();
    }
    void append(char c) {
        *room(1) = c;
        ++size_;
    }
    // Room for `n` more bytes at the end; write there, then call grewTo.
    char* room(std::size_t n) {
        if (capacity_ - size_ < n) grow(n);
        return data_ + size_;
    }
    void grewTo(char* end) { size_ = static_cast<std::size_t>(end - data_); }

    std::string_view view() const { return std::string_view(data_, size_); }
    std::size_t size() const { return size_; }
    bool empty() const { return size_ == 0; }
    void clear() { size_ = 0; }
    void swap(ByteBuffer& other) noexcept {
        std::swap(data_, other.data_);
        std::swap(size_, other.size_);
        std::swap(capacity_, other.capacity_);
    }

  private:
    void grow(std::size_t n) {
        std::size_t capacity = capacity_ < 4096 ? 4096 : capacity_;
        while (capacity - size_ < n) capacity *= 2;
        void* block = platform::reallocate(data_, capacity);
        if (block == nullptr) throw std::bad_alloc();
        data_ = static_cast<char*>(block);
        capacity_ = capacity;
    }

    char* data_ = nullptr;  // owned
    std::size_t size_ = 0;
    std::size_t capacity_ = 0;
};

}  // namespace kestrune
