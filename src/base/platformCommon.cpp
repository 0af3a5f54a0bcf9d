// SPDX-License-Identifier: MIT
// The parts of the platform layer that every system shares: heap blocks and the
// fault seams of the tests, the path separators, and reading input files.
#include <atomic>
#include <cstdlib>
#include <string>

#include "base/platform.h"
#include "base/platformInternal.h"

namespace kestrune::platform {

namespace {

// Read on every allocation, from any thread: atomic, so that runs in many threads at
// once are race-free whether or not a test has set them.
std::atomic<long long> outputFailsAfter{-1};
std::atomic<long long> allocationsLeft{-1};

}  // namespace

namespace faults {

void failOutputAfter(long long bytes) { outputFailsAfter = bytes; }

void failAllocationAfter(long long calls) { allocationsLeft = calls; }

long long outputLimit() { return outputFailsAfter; }

bool allocationRefused() {
    long long left = allocationsLeft.load(std::memory_order_relaxed);
    while (left > 0 &&
           !allocationsLeft.compare_exchange_weak(left, left - 1, std::memory_order_relaxed)) {
    }
    return left == 0;
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

InputFile::~InputFile() { detail::closeInput(fd_); }

bool InputFile::open(std::string_view path) {
    detail::closeInput(fd_);
    fd_ = detail::usablePath(path) ? detail::openInput(path) : -1;
    return fd_ >= 0;
}

std::size_t InputFile::readFromStart(char* dst, std::size_t count) {
    if (fd_ < 0 || !detail::rewindInput(fd_)) return 0;
    std::size_t done = 0;
    while (done < count) {
        const long long n = detail::readInput(fd_, dst + done, count - done);
        if (n <= 0) break;
        done += static_cast<std::size_t>(n);
    }
    return done;
}

bool InputFile::readStream(std::string& out, std::size_t limit) {
    if (fd_ < 0) return false;
    constexpr std::size_t kChunk = 1 << 16;
    while (out.size() < limit) {
        const std::size_t at = out.size();
        out.resize(at + kChunk);
        const long long n = detail::readInput(fd_, out.data() + at, kChunk);
        out.resize(at + static_cast<std::size_t>(n > 0 ? n : 0));
        if (n == 0) break;
        if (n < 0) return false;
    }
    return true;
}

OutputFile::~OutputFile() { discard(); }

bool OutputFile::write(const char* bytes, std::size_t count) {
    if (fd_ < 0) return false;
    const long long limit = faults::outputLimit();
    if (limit >= 0 && written_ + static_cast<long long>(count) > limit) {
        // The seam: the bytes up to the limit go out, then the disk is "full".
        auto room = static_cast<std::size_t>(limit > written_ ? limit - written_ : 0);
        if (!detail::writeOutput(fd_, bytes, room)) return fail();
        written_ += static_cast<long long>(room);
        detail::noteDiskFull();
        return fail();
    }
    if (!detail::writeOutput(fd_, bytes, count)) return fail();
    written_ += static_cast<long long>(count);
    return true;
}

// The same on every system: errorText() says what failed in the system's words.
bool OutputFile::fail() {
    if (failure_.empty()) failure_ = errorText();
    discard();
    return false;
}

}  // namespace kestrune::platform
