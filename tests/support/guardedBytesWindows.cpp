// SPDX-License-Identifier: MIT
// GuardedBytes on Windows: reserved and committed pages, the last one inaccessible.
#define NOMINMAX
#define WIN32_LEAN_AND_MEAN
#include <windows.h>

#include <cstdlib>
#include <cstring>

#include "support/guardedBytes.h"

namespace kestrune::testing {

GuardedBytes::GuardedBytes(std::string_view bytes) : size_(bytes.size()) {
    SYSTEM_INFO info;
    ::GetSystemInfo(&info);
    const std::size_t page = info.dwPageSize;
    const std::size_t readable = (bytes.size() + page - 1) / page * page;
    mapped_ = readable + page;
    mapping_ = ::VirtualAlloc(nullptr, mapped_, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE);
    if (mapping_ == nullptr) std::abort();
    char* end = static_cast<char*>(mapping_) + readable;
    std::memcpy(end - bytes.size(), bytes.data(), bytes.size());
    DWORD old = 0;
    if ((readable != 0 && !::VirtualProtect(mapping_, readable, PAGE_READONLY, &old)) ||
        !::VirtualProtect(end, page, PAGE_NOACCESS, &old))
        std::abort();
    data_ = end - bytes.size();
}

GuardedBytes::~GuardedBytes() { ::VirtualFree(mapping_, 0, MEM_RELEASE); }

}  // namespace kestrune::testing
