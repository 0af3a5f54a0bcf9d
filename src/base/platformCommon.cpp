// SPDX-License-Identifier: MIT
// The parts of the platform layer that every system shares: heap blocks and the
// fault seams of the tests, the path separators, and reading input files.
#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <string>
#include <utility>

#include "base/platform.h"
#include "base/platformInternal.h"

namespace kestrune::platform {

namespace {

// Read on every allocation, from any thread: atomic, so that runs in many threads at
// once are race-free whether or not a test has set them.
std::atomic<long long> outputFailsAfter{-1};
std::atomic<long long> allocationsLeft{-1};

}  // namespace

void faults::failOutputAfter(long long bytes) { outputFailsAfter = bytes; }

void faults::failAllocationAfter(long long calls) { allocationsLeft = calls; }

bool detail::allocationRefused() {
    long long left = allocationsLeft.load(std::memory_order_relaxed);
    while (left > 0 &&
           !allocationsLeft.compare_exchange_weak(left, left - 1, std::memory_order_relaxed)) {
    }
    return left == 0;
}

std::string withForwardSlashes(std::string_view path) {
    std::string p(path);
    std::ranges::replace(p, '\\', '/');
    return p;
}

void* allocate(std::size_t bytes) {
    return detail::allocationRefused() ? nullptr : std::malloc(bytes);
}

void* reallocate(void* block, std::size_t bytes) {
    return detail::allocationRefused() ? nullptr : std::realloc(block, bytes);
}

void release(void* block) { std::free(block); }

bool fileExists(std::string_view path) {
    return detail::usablePath(path) && detail::pathKind(path) == detail::PathKind::File;
}

bool directoryExists(std::string_view path) {
    return detail::usablePath(path) && detail::pathKind(path) == detail::PathKind::Directory;
}

InputFile::~InputFile() { detail::closeFile(fd_); }

bool InputFile::open(std::string_view path) {
    detail::closeFile(fd_);
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

namespace {

// Reads the descriptor to its end, or until `out` holds `limit` bytes or more.
bool readToEnd(int fd, std::string& out, std::size_t limit) {
    constexpr std::size_t kChunk = 1 << 16;
    while (out.size() < limit) {
        const std::size_t at = out.size();
        out.resize(at + kChunk);
        const long long n = detail::readInput(fd, out.data() + at, kChunk);
        out.resize(at + static_cast<std::size_t>(n > 0 ? n : 0));
        if (n <= 0) return n == 0;
    }
    return true;
}

}  // namespace

bool InputFile::readStream(std::string& out, std::size_t limit) {
    return fd_ >= 0 && readToEnd(fd_, out, limit);
}

// Descriptor 0 is standard input on every system (the C runtime's on Windows, whose
// reads go to the handle unchanged).
bool readStandardInput(std::string& out, std::size_t limit) { return readToEnd(0, out, limit); }

OutputFile::~OutputFile() { discard(); }

bool OutputFile::create(std::string_view path) {
    discard();
    failure_.clear();
    written_ = 0;
    if (!detail::usablePath(path)) {
        detail::noteUnusablePath();
        return fail();
    }
    fd_ = detail::openOutput(path, place_);
    return fd_ >= 0 || fail();
}

bool OutputFile::write(const char* bytes, std::size_t count) {
    if (fd_ < 0) return false;
    // The seam: the bytes up to the limit go out, then the disk is "full".
    const long long limit = outputFailsAfter;
    const bool full = limit >= 0 && written_ + static_cast<long long>(count) > limit;
    if (full) count = static_cast<std::size_t>(limit > written_ ? limit - written_ : 0);
    if (!detail::writeOutput(fd_, bytes, count)) return fail();
    written_ += static_cast<long long>(count);
    if (!full) return true;
    detail::noteDiskFull();
    return fail();
}

bool OutputFile::commit() {
    if (fd_ < 0) return false;
    if (!detail::closeFile(std::exchange(fd_, -1))) return fail();
    if (!place_.temporary.empty() && !detail::moveIntoPlace(place_)) return fail();
    detail::releasePlace(place_);
    return true;
}

void OutputFile::discard() {
    detail::closeFile(std::exchange(fd_, -1));
    if (!place_.temporary.empty() || place_.madeTarget) detail::removeTemporary(place_);
    detail::releasePlace(place_);
}

// The same on every system: errorText() says what failed in the system's words.
bool OutputFile::fail() {
    if (failure_.empty()) failure_ = errorText();
    discard();
    return false;
}

}  // namespace kestrune::platform
