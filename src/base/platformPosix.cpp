// SPDX-License-Identifier: MIT
// Linux implementation of the platform layer: /proc/self for the program's own
// path and command line, stat() for existence checks, POSIX I/O, glibc iconv for
// code page 936.
#include <errno.h>
#include <fcntl.h>
#include <iconv.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <string>

#include "base/platform.h"
#include "base/utf8.h"

namespace kestrune::platform {

namespace {

// The operating system only knows "/"; a backslash separates path parts too.
std::string systemPath(std::string_view path) {
    std::string p(path);
    for (char& c : p) {
        if (c == '\\') c = '/';
    }
    return p;
}

bool statPath(std::string_view path, struct stat& info) {
    if (path.empty() || path.find('\0') != std::string_view::npos) return false;
    return ::stat(systemPath(path).c_str(), &info) == 0;
}

}  // namespace

std::string programFilePath() {
    std::string buffer(4096, '\0');
    ssize_t n = ::readlink("/proc/self/exe", buffer.data(), buffer.size());
    if (n <= 0 || static_cast<std::size_t>(n) >= buffer.size()) return std::string();
    buffer.resize(static_cast<std::size_t>(n));
    return buffer;
}

std::string rawCommandLine() {
    std::string text;
    int fd = ::open("/proc/self/cmdline", O_RDONLY | O_CLOEXEC);
    if (fd < 0) return text;
    char chunk[4096];
    ssize_t n;
    while ((n = ::read(fd, chunk, sizeof chunk)) > 0)
        text.append(chunk, static_cast<std::size_t>(n));
    ::close(fd);
    while (!text.empty() && text.back() == '\0') text.pop_back();
    for (char& c : text) {
        if (c == '\0') c = ' ';
    }
    return text;
}

bool fileExists(std::string_view path) {
    struct stat info;
    return statPath(path, info) && !S_ISDIR(info.st_mode);
}

bool directoryExists(std::string_view path) {
    struct stat info;
    return statPath(path, info) && S_ISDIR(info.st_mode);
}

std::u16string utf8ToWide(std::string_view utf8) {
    std::u16string wide;
    wide.reserve(utf8.size());
    auto* p = reinterpret_cast<const unsigned char*>(utf8.data());
    auto* end = p + utf8.size();
    while (p < end) {
        char32_t cp = decodeUtf8(p, end);
        if (cp >= 0x10000) {
            cp -= 0x10000;
            wide.push_back(static_cast<char16_t>(0xD800 + (cp >> 10)));
            wide.push_back(static_cast<char16_t>(0xDC00 + (cp & 0x3FF)));
        } else {
            wide.push_back(static_cast<char16_t>(cp));
        }
    }
    return wide;
}

std::string utf8ToAnsi(std::string_view utf8) {
    std::u16string wide = utf8ToWide(utf8);
    if (wide.empty()) return std::string();
    iconv_t cd = ::iconv_open("CP936", "UTF-16LE");
    if (cd == reinterpret_cast<iconv_t>(-1)) return std::string();
    std::string out(2 * utf8.size() + 10, '\0');
    // The converter is fed short chunks: after a character it cannot convert it
    // starts over from the beginning of its input, which must stay short for the
    // whole conversion to stay linear.
    constexpr std::size_t kChunkUnits = 64;
    char* dst = out.data();
    std::size_t outLeft = out.size();
    bool failed = false;
    std::size_t pos = 0;
    while (pos < wide.size() && !failed) {
        std::size_t units = std::min(kChunkUnits, wide.size() - pos);
        // Never cut a surrogate pair in two.
        if (pos + units < wide.size() && wide[pos + units - 1] >= 0xD800 &&
            wide[pos + units - 1] <= 0xDBFF) {
            ++units;
        }
        char* in = reinterpret_cast<char*>(wide.data() + pos);
        std::size_t inLeft = units * sizeof(char16_t);
        while (inLeft > 0) {
            if (::iconv(cd, &in, &inLeft, &dst, &outLeft) != static_cast<std::size_t>(-1)) break;
            if (errno != EILSEQ || outLeft == 0) {
                failed = true;
                break;
            }
            // A character the code page lacks: one "?" for the whole character, a
            // surrogate pair included.
            auto unit = static_cast<char16_t>(static_cast<unsigned char>(in[0]) |
                                              (static_cast<unsigned char>(in[1]) << 8));
            std::size_t skip = (unit >= 0xD800 && unit <= 0xDBFF && inLeft >= 4) ? 4 : 2;
            in += skip;
            inLeft -= skip;
            *dst++ = '?';
            --outLeft;
        }
        pos += units;
    }
    ::iconv_close(cd);
    if (failed) return std::string();
    out.resize(out.size() - outLeft);
    return out;
}

InputFile::~InputFile() {
    if (fd_ >= 0) ::close(fd_);
}

bool InputFile::open(std::string_view path) {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
    if (path.empty() || path.find('\0') != std::string_view::npos) return false;
    fd_ = ::open(systemPath(path).c_str(), O_RDONLY | O_CLOEXEC);
    return fd_ >= 0;
}

long long InputFile::size() {
    if (fd_ < 0) return -1;
    off_t end = ::lseek(fd_, 0, SEEK_END);
    return end < 0 ? -1 : static_cast<long long>(end);
}

std::size_t InputFile::readFromStart(char* dst, std::size_t count) {
    if (fd_ < 0 || ::lseek(fd_, 0, SEEK_SET) < 0) return 0;
    std::size_t done = 0;
    while (done < count) {
        ssize_t n = ::read(fd_, dst + done, count - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        done += static_cast<std::size_t>(n);
    }
    return done;
}

OutputFile::~OutputFile() { close(); }

bool OutputFile::create(std::string_view path) {
    close();
    if (path.empty() || path.find('\0') != std::string_view::npos) return false;
    fd_ = ::open(systemPath(path).c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    return fd_ >= 0;
}

bool OutputFile::write(const char* bytes, std::size_t count) {
    if (fd_ < 0) return false;
    while (count > 0) {
        ssize_t n = ::write(fd_, bytes, count);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        bytes += n;
        count -= static_cast<std::size_t>(n);
    }
    return true;
}

void OutputFile::close() {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
}

void* allocateLarge(std::size_t bytes) {
    void* block =
        ::mmap(nullptr, bytes, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (block == MAP_FAILED) return nullptr;
#ifdef MADV_HUGEPAGE
    // Fewer page faults for the large arenas of big documents.
    ::madvise(block, bytes, MADV_HUGEPAGE);
#endif
    return block;
}

void freeLarge(void* block, std::size_t bytes) {
    if (block != nullptr) ::munmap(block, bytes);
}

void writeStandardOutput(const char* bytes, std::size_t count) {
    while (count > 0) {
        ssize_t n = ::write(STDOUT_FILENO, bytes, count);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return;
        bytes += n;
        count -= static_cast<std::size_t>(n);
    }
}

}  // namespace kestrune::platform
