// SPDX-License-Identifier: MIT
// The test program's replacement of the global operator new and delete, on malloc
// and free, with the failure of failingNew.h. An object library of its own: from
// the support archive every test program would take it.
#include "support/failingNew.h"

#include <atomic>
#include <cstdlib>
#include <new>

namespace {

// While not negative: how many more allocations operator new grants (then one fails).
std::atomic<long long> allocationsGranted{-1};
std::atomic<bool> allocationsRefused{false};
std::atomic<long long> liveBlocks{0};

// A block from malloc, or null when the failure is due or the heap refuses.
void* take(std::size_t size) {
    if (allocationsRefused || (allocationsGranted >= 0 && allocationsGranted-- == 0))
        return nullptr;
    void* block = std::malloc(size == 0 ? 1 : size);
    if (block != nullptr) ++liveBlocks;
    return block;
}

void give(void* block) {
    if (block != nullptr) --liveBlocks;
    std::free(block);
}

void* takeOrThrow(std::size_t size) {
    if (void* block = take(size)) return block;
    throw std::bad_alloc();
}

}  // namespace

void kestrune::testing::failNewAfter(long long granted) { allocationsGranted = granted; }
void kestrune::testing::refuseNew(bool on) { allocationsRefused = on; }
long long kestrune::testing::liveNewBlocks() { return liveBlocks; }

// Every form but the aligned ones, which keep the standard pair: a block from one
// allocator freed by another is an error the sanitizers report.
void* operator new(std::size_t size) { return takeOrThrow(size); }
void* operator new[](std::size_t size) { return takeOrThrow(size); }
void* operator new(std::size_t size, const std::nothrow_t&) noexcept { return take(size); }
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept { return take(size); }
// (GCC takes the free() below for one of a block from the standard operator new.)
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"
#endif
void operator delete(void* block) noexcept { give(block); }
void operator delete[](void* block) noexcept { give(block); }
void operator delete(void* block, std::size_t) noexcept { give(block); }
void operator delete[](void* block, std::size_t) noexcept { give(block); }
void operator delete(void* block, const std::nothrow_t&) noexcept { give(block); }
void operator delete[](void* block, const std::nothrow_t&) noexcept { give(block); }
