// SPDX-License-Identifier: MIT
// The parts of the platform layer that every system shares: heap blocks and the
// fault seams of the tests, and the path separators.
#include <cstdlib>

#include "base/platform.h"

namespace kestrune::platform {

namespace {

long long outputFailsAfter = -1;
long long allocationsLeft = -1;

}  // namespace

namespace faults {

void failOutputAfter(long long bytes) { outputFailsAfter = bytes; }

void failAllocationAfter(long long calls) { allocationsLeft = calls; }

long long outputLimit() { return outputFailsAfter; }

bool allocationRefused() {
    if (allocationsLeft < 0) return false;
    if (allocationsLeft == 0) return true;
    --allocationsLeft;
    return false;
}

}  // namespace faults

std::string withForwardSlashes(std::string_view path) {
    std::string p(path);
    for (char& c : p) {
        if (c == '\\') c = '/';
    }
    return p;
}

void* allocate(std::size_t bytes) {
    return faults::allocationRefused() ? nullptr : std::malloc(bytes);
}

void* reallocate(void* block, std::size_t bytes) {
    return faults::allocationRefused() ? nullptr : std::realloc(block, bytes);
}

void release(void* block) { std::free(block); }

// The same on every system: errorText() says what failed in the system's words.
bool OutputFile::fail() {
    if (failure_.empty()) failure_ = errorText();
    discard();
    return false;
}

}  // namespace kestrune::platform
