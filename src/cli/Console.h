// SPDX-License-Identifier: MIT
// Console: the tool's standard output, gathered in a large buffer and written in
// big blocks. Every report line and message goes through it. Bytes pass unchanged,
// NUL bytes included. When standard output fails, the one message about it goes to
// standard error and everything after it is dropped: failed() tells the run to end.
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
    Console& operator<<(std::string_view bytes) {
        write(bytes);
        return *this;
    }
    // Hands everything written so far to its destination; false once standard
    // output has failed.
    bool flush();
    bool failed() const { return failed_; }
    // Takes the buffer's memory now, so that later lines shorter than 64 KiB need
    // none: the line that says a file is in place cannot then fail for memory.
    void reserve() { pending_.room(2 * kFlushBytes); }
    // Flushes, then writes `bytes` at once without buffering them: needs no memory,
    // for the message that memory ran out.
    void writeNow(std::string_view bytes);

  private:
    static constexpr std::size_t kFlushBytes = 1 << 16;
    // Hands `bytes` to the capture or to standard output; false when that failed.
    bool put(std::string_view bytes);
    ByteBuffer pending_;
    std::string* capture_;
    bool failed_ = false;
};

}  // namespace kestrune
