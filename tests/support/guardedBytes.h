// SPDX-License-Identifier: MIT
// Bytes in memory the process may only read, ending exactly where an unreadable page
// begins: a test's page for code that must neither write to its input nor read past
// its end (either faults at once, without a sanitizer).
#pragma once

#include <cstddef>
#include <string_view>

namespace kestrune::testing {

class GuardedBytes {
  public:
    explicit GuardedBytes(std::string_view bytes);
    GuardedBytes(const GuardedBytes&) = delete;
    GuardedBytes& operator=(const GuardedBytes&) = delete;
    ~GuardedBytes();

    std::string_view view() const { return std::string_view(data_, size_); }

  private:
    void* mapping_ = nullptr;
    std::size_t mapped_ = 0;
    const char* data_ = nullptr;
    std::size_t size_ = 0;
};

}  // namespace kestrune::testing
