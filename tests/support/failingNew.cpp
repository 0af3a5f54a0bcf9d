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

}  // namespace

void kestrune::testing::failNewAfter(long long granted) { allocationsGranted = granted; }

void* operator new(std::size_t size) {
    if (allocationsGranted >= 0 && allocationsGranted-- == 0) throw std::bad_alloc();
    if (void* block = std::malloc(size == 0 ? 1 : size)) return block;
    throw std::bad_alloc();
}
// (GCC takes the free() below for one of a block from the standard operator new.)
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"
#endif
void operator delete(void* block) noexcept { std::free(block); }
void operator delete(void* block, std::size_t) noexcept { std::free(block); }
