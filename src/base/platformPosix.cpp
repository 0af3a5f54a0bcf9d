// SPDX-License-Identifier: MIT
// Linux implementation of the platform layer: /proc/self for the program's own
// path and command line, stat() for existence checks, POSIX I/O, glibc iconv for
// the local code page. The output file is outputFilePosix.cpp's.
#include <errno.h>
#include <fcntl.h>
#include <iconv.h>
#include <signal.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>
#if defined(__GLIBC__)
#include <malloc.h>
#endif

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <type_traits>

#include "base/platform.h"
#include "base/platformInternal.h"
#include "base/posixInternal.h"
#include "base/utf8.h"

namespace kestrune::platform {

namespace {

// UTF-8 with every ill-formed sequence replaced by U+FFFD, as the decoder finds them.
std::string wellFormedUtf8(std::string_view utf8) {
    std::string out;
    out.reserve(utf8.size());
    auto* p = reinterpret_cast<const unsigned char*>(utf8.data());
    auto* end = p + utf8.size();
    while (p < end) {
        const unsigned char* from = p;
        if (passUtf8Sequence(p, end)) {
            out.append(reinterpret_cast<const char*>(from), static_cast<std::size_t>(p - from));
        } else {
            out.append("\xEF\xBF\xBD");
        }
    }
    return out;
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

// A converter of glibc's iconv, closed however the conversion ends, a failed
// allocation included (each holds some 32 KiB of the converter's state).
struct CloseConverter {
    void operator()(iconv_t cd) const { ::iconv_close(cd); }
};
using Converter = std::unique_ptr<std::remove_pointer_t<iconv_t>, CloseConverter>;

// The converter from UTF-16LE to the code page `name`; null when iconv has none.
Converter openConverter(const std::string& name) {
    const iconv_t cd = ::iconv_open(name.c_str(), "UTF-16LE");
    return Converter(cd == reinterpret_cast<iconv_t>(-1) ? nullptr : cd);
}

// The size of a huge page on the processors that have 2 MiB ones (x86 and most
// 64-bit ARM systems); elsewhere alignment to it costs only a little address space.
constexpr std::size_t kHugePage = std::size_t{2} << 20;

std::size_t wholeHugePages(std::size_t bytes) {
    return (bytes + kHugePage - 1) / kHugePage * kHugePage;
}

}  // namespace

std::string programFilePath() { return detail::linkTarget("/proc/self/exe", 4096); }

std::string programFilePathFromName(std::string_view argv0) {
    if (!detail::usablePath(argv0)) return std::string();
    std::string name = withForwardSlashes(argv0);
    if (name.find('/') != std::string::npos) return detail::realPath(name);
    // The shell's search: each PATH entry in order, an empty entry meaning the
    // current directory; the first executable regular file wins.
    const char* pathVariable = std::getenv("PATH");
    std::string_view entries = pathVariable != nullptr ? pathVariable : "/usr/bin:/bin";
    while (true) {
        std::size_t colon = entries.find(':');
        std::string_view entry = entries.substr(0, colon);
        std::string candidate =
            (entry.empty() ? std::string(".") : std::string(entry)) + "/" + name;
        struct stat info;
        if (::stat(candidate.c_str(), &info) == 0 && S_ISREG(info.st_mode) &&
            ::access(candidate.c_str(), X_OK) == 0) {
            return detail::realPath(candidate);
        }
        if (colon == std::string_view::npos) return std::string();
        entries.remove_prefix(colon + 1);
    }
}

std::string rawCommandLine() {
    std::string text;
    InputFile arguments;
    if (arguments.open("/proc/self/cmdline")) arguments.readStream(text, std::string::npos);
    while (!text.empty() && text.back() == '\0') text.pop_back();
    std::ranges::replace(text, '\0', ' ');
    return text;
}

unsigned systemCodePage() { return 936; }

std::string utf8ToCodePage(std::string_view utf8, unsigned number) {
    if (utf8.empty()) return std::string();
    if (number == kUtf8) return wellFormedUtf8(utf8);
    std::u16string wide = utf8ToWide(utf8);
    const Converter converter = openConverter("CP" + std::to_string(number));
    if (!converter) return std::string();
    // Enough for every single- and double-byte code page; grown when a code page
    // needs more.
    std::string out(2 * utf8.size() + 10, '\0');
    std::size_t used = 0;
    // The converter is fed short chunks: after a character it cannot convert it
    // starts over from the beginning of its input, which must stay short for the
    // whole conversion to stay linear.
    constexpr std::size_t kChunkUnits = 64;
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
            if (out.size() - used < 16 * kChunkUnits) out.resize(2 * out.size());
            char* dst = out.data() + used;
            std::size_t outLeft = out.size() - used;
            std::size_t rc = ::iconv(converter.get(), &in, &inLeft, &dst, &outLeft);
            used = out.size() - outLeft;
            if (rc != static_cast<std::size_t>(-1)) break;
            if (errno == E2BIG) continue;
            if (errno != EILSEQ) {
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
            out[used++] = '?';
        }
        pos += units;
    }
    if (failed) return std::string();
    out.resize(used);
    return out;
}

namespace {

// The converter from one code page to UTF-8, kept open by each thread for the next
// text in that code page: callers convert many short values one after the other.
class CodePageReader {
  public:
    CodePageReader() = default;
    CodePageReader(const CodePageReader&) = delete;
    CodePageReader& operator=(const CodePageReader&) = delete;
    ~CodePageReader() { close(); }

    // The converter from `number` in its initial state; -1 when iconv lacks it.
    iconv_t open(unsigned number) {
        if (number != number_ || cd_ == kNone) {
            close();
            const std::string name =
                number == kUtf8 ? std::string("UTF-8") : "CP" + std::to_string(number);
            cd_ = ::iconv_open("UTF-8", name.c_str());
            number_ = number;
        }
        if (cd_ != kNone) ::iconv(cd_, nullptr, nullptr, nullptr, nullptr);
        return cd_;
    }

    static inline const iconv_t kNone = reinterpret_cast<iconv_t>(-1);

  private:
    void close() {
        if (cd_ != kNone) ::iconv_close(cd_);
        cd_ = kNone;
    }
    iconv_t cd_ = kNone;
    unsigned number_ = 0;
};

}  // namespace

std::string codePageToUtf8(std::string_view text, unsigned number) {
    std::string out;
    if (text.empty()) return out;
    thread_local CodePageReader reader;
    const iconv_t cd = reader.open(number);
    if (cd == CodePageReader::kNone) {
        for (const char byte : text)
            detail::appendByteEscape(out, static_cast<unsigned char>(byte));
        return out;
    }
    out.reserve(text.size() + text.size() / 2);
    // Short chunks, as in utf8ToCodePage, keep each call's work bounded.
    constexpr std::size_t kChunkBytes = 256;
    char buffer[8 * kChunkBytes];
    const char* const end = text.data() + text.size();
    char* in = const_cast<char*>(text.data());  // iconv only reads it
    while (in < end) {
        const char* const from = in;
        const std::size_t chunk = std::min<std::size_t>(kChunkBytes, end - in);
        std::size_t inLeft = chunk;
        char* dst = buffer;
        std::size_t outLeft = sizeof buffer;
        const std::size_t rc = ::iconv(cd, &in, &inLeft, &dst, &outLeft);
        out.append(buffer, static_cast<std::size_t>(dst - buffer));
        if (rc != static_cast<std::size_t>(-1) || errno == E2BIG) continue;
        // A character cut at the chunk's end is read with the next chunk; one cut by
        // the text's end, like a byte that starts no character, is escaped.
        if (errno == EINVAL && from + chunk < end && in != from) continue;
        detail::appendByteEscape(out, static_cast<unsigned char>(*in));
        ++in;
    }
    // What a stateful code page still holds (a letter waiting for its accent).
    while (true) {
        char* dst = buffer;
        std::size_t outLeft = sizeof buffer;
        const std::size_t rc = ::iconv(cd, nullptr, nullptr, &dst, &outLeft);
        out.append(buffer, static_cast<std::size_t>(dst - buffer));
        if (rc != static_cast<std::size_t>(-1) || errno != E2BIG) return out;
    }
}

long long InputFile::size() { return fd_ < 0 ? -1 : ::lseek(fd_, 0, SEEK_END); }

bool appendToFile(std::string_view path, const char* bytes, std::size_t count) {
    if (!detail::usablePath(path)) return false;
    int fd =
        ::open(withForwardSlashes(path).c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0666);
    if (fd < 0) return false;
    bool written = detail::writeOutput(fd, bytes, count);
    return ::close(fd) == 0 && written;
}

void* allocateLarge(std::size_t bytes) {
    if (detail::allocationRefused()) return nullptr;
    // Whole huge pages on a huge-page boundary (mapped one huge page longer, then
    // trimmed): the system backs only whole aligned huge pages with huge pages, and
    // here a page fault costs as much as zeroing dozens of small pages. The block is
    // either touched at its start only or filled, so the rounding costs little.
    const std::size_t length = wholeHugePages(bytes);
    const std::size_t mapped = length + kHugePage;
    void* raw = ::mmap(nullptr, mapped, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (raw == MAP_FAILED) return nullptr;
    auto* start = static_cast<char*>(raw);
    const std::size_t skip =
        (kHugePage - reinterpret_cast<std::uintptr_t>(start) % kHugePage) % kHugePage;
    char* block = start + skip;
    if (skip != 0) ::munmap(start, skip);
    if (skip != kHugePage) ::munmap(block + length, kHugePage - skip);
#ifdef MADV_HUGEPAGE
    ::madvise(block, length, MADV_HUGEPAGE);
#endif
    return block;
}

void freeLarge(void* block, std::size_t bytes) {
    if (block != nullptr) ::munmap(block, wholeHugePages(bytes));
}

void prefault([[maybe_unused]] void* block, [[maybe_unused]] std::size_t bytes) {
#ifdef MADV_POPULATE_WRITE
    // Linux 5.14 and later; an older kernel refuses it, which is harmless.
    const auto page = static_cast<std::uintptr_t>(::sysconf(_SC_PAGESIZE));
    const auto start = reinterpret_cast<std::uintptr_t>(block);
    const std::uintptr_t first = (start + page - 1) / page * page;
    const std::uintptr_t end = (start + bytes) / page * page;
    if (end > first) ::madvise(reinterpret_cast<void*>(first), end - first, MADV_POPULATE_WRITE);
#endif
}

void keepFreedMemory() {
#ifdef __GLIBC__
    // Blocks up to 32 MiB come from the heap and stay there once freed (larger ones
    // are taken with allocateLarge).
    ::mallopt(M_MMAP_THRESHOLD, 32 << 20);
    ::mallopt(M_TRIM_THRESHOLD, 256 << 20);
#endif
}

bool writeStandardOutput(const char* bytes, std::size_t count) {
    return detail::writeOutput(STDOUT_FILENO, bytes, count);
}

bool writeStandardError(const char* bytes, std::size_t count) {
    return detail::writeOutput(STDERR_FILENO, bytes, count);
}

std::string errorText() { return std::strerror(errno); }

bool lastErrorIsClosedPipe() { return errno == EPIPE; }

bool lastErrorIsNotFound() { return errno == ENOENT || errno == ENOTDIR; }

namespace detail {

std::string realPath(const std::string& path) {
    char* resolved = ::realpath(path.c_str(), nullptr);
    if (resolved == nullptr) return std::string();
    std::string result(resolved);
    std::free(resolved);
    return result;
}

std::string linkTarget(const std::string& link, std::size_t largest) {
    for (std::size_t size = 4096; size <= largest; size *= 4) {
        std::string path(size, '\0');
        const ssize_t n = ::readlink(link.c_str(), path.data(), path.size());
        if (n <= 0) return std::string();
        if (static_cast<std::size_t>(n) < path.size()) {
            path.resize(static_cast<std::size_t>(n));
            return path;
        }
    }
    return std::string();
}

PathKind pathKind(std::string_view path) {
    struct stat info;
    if (::stat(withForwardSlashes(path).c_str(), &info) != 0) return PathKind::Missing;
    return S_ISDIR(info.st_mode) ? PathKind::Directory : PathKind::File;
}

int openInput(std::string_view path) {
    const std::string name = withForwardSlashes(path);
    const int fd = ::open(name.c_str(), O_RDONLY | O_CLOEXEC);
    // A socket cannot be opened by name, but one that is standard input
    // ("/dev/stdin" under inetd or socket activation) is read through it.
    struct stat file;
    struct stat in;
    if (fd < 0 && errno == ENXIO && ::stat(name.c_str(), &file) == 0 && S_ISSOCK(file.st_mode) &&
        ::fstat(STDIN_FILENO, &in) == 0 && sameFile(file, in)) {
        return ::fcntl(STDIN_FILENO, F_DUPFD_CLOEXEC, 0);
    }
    return fd;
}

bool closeFile(int fd) { return fd < 0 || ::close(fd) == 0; }

// Writes every byte, retrying short writes; false on an error (errno set).
bool writeOutput(int fd, const char* bytes, std::size_t count) {
    // A file size limit (ulimit -f) ends a process that writes past it with SIGXFSZ,
    // unless the signal is ignored: then the write fails with EFBIG, which is
    // reported like any other write error.
    [[maybe_unused]] static const bool ignored = ::signal(SIGXFSZ, SIG_IGN) != SIG_ERR;
    while (count > 0) {
        ssize_t n = ::write(fd, bytes, count);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return false;
        if (n == 0) {
            errno = EIO;
            return false;
        }
        bytes += n;
        count -= static_cast<std::size_t>(n);
    }
    return true;
}

void noteDiskFull() { errno = ENOSPC; }

bool rewindInput(int fd) { return ::lseek(fd, 0, SEEK_SET) >= 0; }

long long readInput(int fd, char* dst, std::size_t count) {
    ssize_t n;
    do {
        n = ::read(fd, dst, count);
    } while (n < 0 && errno == EINTR);
    return static_cast<long long>(n);
}

}  // namespace detail

}  // namespace kestrune::platform
