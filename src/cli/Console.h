// SPDX-License-Identifier: MIT
// Console: the tool's standard output, gathered in a large buffer and written in
// big blocks. Every report line and message goes through it; nothing is written
// to standard error. Bytes pass unchanged, NUL bytes included.
#pragma once

#include <string>
#include <string_view>

#include "base/ByteBuffer.h"

namespace kestrune {

class Console {
  public:
    // With `capture` the output is appended to that string instead of being
    // written to standard output (tests, fuzzing).
    explicit Console(std::string* capture = nullptr) : capture_(capture) {}
    Console(const Console&) = delete;
    Console& operator=(const Console&) = delete;
    ~Console() { flush(); }

    void write(std::string_view bytes) {
        pending_.append(bytes);
        if (pending_.size() >= kFlushBytes) flush();
    }
    void write(char c) {
        pending_.append(c);
        if (pending_.size() >= kFlushBytes) flush();
    }
    Console& operator<<(std::string_view bytes) {
        write(bytes);
        return *this;
    }
    Console& operator<<(long long number) {
        write(std::to_string(number));
        return *this;
    }
    // Hands everything written so far to its destination.
    void flush();

  private:
    static constexpr std::size_t kFlushBytes = 1 << 16;
    ByteBuffer pending_;
    std::string* capture_;
};

}  // namespace kestrune
