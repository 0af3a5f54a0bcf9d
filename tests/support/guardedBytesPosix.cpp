// SPDX-License-Identifier: MIT
// GuardedBytes on POSIX systems: a mapping whose last page is inaccessible.
#include <sys/mman.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>

#include "support/guardedBytes.h"

namespace kestrune::testing {

GuardedBytes::GuardedBytes(std::string_view bytes) : size_(bytes.size()) {
    const auto page = static_cast<std::size_t>(::sysconf(_SC_PAGESIZE));
    const std::size_t readable = (bytes.size() + page - 1) / page * page;
    mapped_ = readable + page;
    mapping_ = ::mmap(nullptr, mapped_, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (mapping_ == MAP_FAILED) std::abort();
    char* end = static_cast<char*>(mapping_) + readable;
    std::memcpy(end - bytes.size(), bytes.data(), bytes.size());
    if (::mprotect(mapping_, readable, PROT_READ) != 0 || ::mprotect(end, page, PROT_NONE) != 0)
        std::abort();
    data_ = end - bytes.size();
}

GuardedBytes::~GuardedBytes() { ::munmap(mapping_, mapped_); }

}  // namespace kestrune::testing
