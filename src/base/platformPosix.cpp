// SPDX-License-Identifier: MIT
// Linux implementation of the platform layer: /proc/self for the program's own
// path and command line, stat() for existence checks, POSIX I/O, glibc iconv for
// the local code page.
#include <errno.h>
#include <fcntl.h>
#include <iconv.h>
#include <signal.h>
#include <stdio.h>
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
#include <string>

#include "base/platform.h"
#include "base/platformInternal.h"
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
        char32_t cp = decodeUtf8(p, end);
        if (cp != kReplacementChar || (p - from == 3 && from[0] == 0xEF)) {
            out.append(reinterpret_cast<const char*>(from), static_cast<std::size_t>(p - from));
        } else {
            out.append("\xEF\xBF\xBD");
        }
    }
    return out;
}

bool statPath(std::string_view path, struct stat& info) {
    if (!detail::usablePath(path)) return false;
    return ::stat(withForwardSlashes(path).c_str(), &info) == 0;
}

// The real path of a file, empty when it cannot be found.
std::string realPath(const std::string& path) {
    char* resolved = ::realpath(path.c_str(), nullptr);
    if (resolved == nullptr) return std::string();
    std::string result(resolved);
    std::free(resolved);
    return result;
}

// The temporary file of the output being written, removed when a signal ends the
// run before it is in place (as a killed run is no failure of ours to leave debris
// behind). One at a time: the tool writes one output file per run.
char pendingTemporary[4096];
volatile sig_atomic_t havePendingTemporary = 0;

extern "C" void removePendingTemporary(int signalNumber) {
    if (havePendingTemporary) ::unlink(pendingTemporary);
    ::signal(signalNumber, SIG_DFL);
    ::raise(signalNumber);
}

void rememberTemporary(const std::string& path) {
    static bool handlersInstalled = false;
    if (!handlersInstalled) {
        handlersInstalled = true;
        for (int signalNumber : {SIGHUP, SIGINT, SIGTERM}) {
            struct sigaction old {};
            // A signal the caller chose to ignore (nohup) stays ignored.
            if (::sigaction(signalNumber, nullptr, &old) == 0 && old.sa_handler == SIG_DFL) {
                ::signal(signalNumber, removePendingTemporary);
            }
        }
    }
    havePendingTemporary = 0;
    if (path.size() >= sizeof pendingTemporary) return;
    std::memcpy(pendingTemporary, path.c_str(), path.size() + 1);
    havePendingTemporary = 1;
}

void forgetTemporary() { havePendingTemporary = 0; }

// Writes every byte to `fd`, retrying short writes; false on an error (errno set).
bool writeAll(int fd, const char* bytes, std::size_t count) {
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

// The directory part of a path ("." for a bare name, "/" for a name in the root).
std::string directoryOf(const std::string& path) {
    std::size_t slash = path.rfind('/');
    if (slash == std::string::npos) return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

// Follows symbolic links from `path` to the file they end at, which need not exist;
// false (errno ELOOP) for a chain that does not end.
bool followLinks(std::string& path) {
    constexpr int kMaxLinks = 40;  // as the kernel's own limit
    for (int hops = 0;; ++hops) {
        struct stat info;
        if (::lstat(path.c_str(), &info) != 0 || !S_ISLNK(info.st_mode)) return true;
        if (hops == kMaxLinks) {
            errno = ELOOP;
            return false;
        }
        std::string target(static_cast<std::size_t>(info.st_size) + 256, '\0');
        ssize_t n = ::readlink(path.c_str(), target.data(), target.size());
        if (n < 0) return false;
        target.resize(static_cast<std::size_t>(n));
        path = target.front() == '/' ? target : directoryOf(path) + "/" + target;
    }
}

}  // namespace

std::string programFilePath() {
    std::string buffer(4096, '\0');
    ssize_t n = ::readlink("/proc/self/exe", buffer.data(), buffer.size());
    if (n <= 0 || static_cast<std::size_t>(n) >= buffer.size()) return std::string();
    buffer.resize(static_cast<std::size_t>(n));
    return buffer;
}

std::string programFilePathFromName(std::string_view argv0) {
    if (argv0.empty() || argv0.find('\0') != std::string_view::npos) return std::string();
    std::string name = withForwardSlashes(argv0);
    if (name.find('/') != std::string::npos) return realPath(name);
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
            return realPath(candidate);
        }
        if (colon == std::string_view::npos) return std::string();
        entries.remove_prefix(colon + 1);
    }
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

unsigned systemCodePage() { return 936; }

std::string utf8ToCodePage(std::string_view utf8, unsigned number) {
    if (utf8.empty()) return std::string();
    if (number == kUtf8CodePage) return wellFormedUtf8(utf8);
    std::u16string wide = utf8ToWide(utf8);
    const std::string name = "CP" + std::to_string(number);
    iconv_t cd = ::iconv_open(name.c_str(), "UTF-16LE");
    if (cd == reinterpret_cast<iconv_t>(-1)) return std::string();
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
            std::size_t rc = ::iconv(cd, &in, &inLeft, &dst, &outLeft);
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
    ::iconv_close(cd);
    if (failed) return std::string();
    out.resize(used);
    return out;
}

namespace detail {

int openInput(std::string_view path) {
    return ::open(withForwardSlashes(path).c_str(), O_RDONLY | O_CLOEXEC);
}

void closeInput(int fd) {
    if (fd >= 0) ::close(fd);
}

bool writeOutput(int fd, const char* bytes, std::size_t count) {
    return writeAll(fd, bytes, count);
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

long long InputFile::size() {
    if (fd_ < 0) return -1;
    off_t end = ::lseek(fd_, 0, SEEK_END);
    return end < 0 ? -1 : static_cast<long long>(end);
}

bool OutputFile::create(std::string_view path) {
    discard();
    failure_.clear();
    written_ = 0;
    if (!detail::usablePath(path)) {
        errno = ENOENT;
        return fail();
    }
    target_ = withForwardSlashes(path);
    if (!followLinks(target_)) return fail();
    struct stat info;
    bool exists = ::stat(target_.c_str(), &info) == 0;
    if (exists && S_ISDIR(info.st_mode)) {
        errno = EISDIR;
        return fail();
    }
    if (exists && !S_ISREG(info.st_mode)) {
        // A device or FIFO cannot be replaced; it takes the bytes as they come.
        fd_ = ::open(target_.c_str(), O_WRONLY | O_TRUNC | O_NOCTTY | O_CLOEXEC);
        return fd_ >= 0 || fail();
    }
    // A target that could not be opened for writing is not replaced either: a
    // read-only or immutable file, a program being run. (Opening it changes nothing.)
    if (exists) {
        int probe = ::open(target_.c_str(), O_WRONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
        if (probe < 0) return fail();
        ::close(probe);
    }
    // Not given to open(): the umask must not narrow an existing file's bits.
    const mode_t mode = exists ? (info.st_mode & 07777) : 0666;
    const std::string prefix = directoryOf(target_) + "/.kestrune-" + std::to_string(::getpid());
    for (int attempt = 0; fd_ < 0; ++attempt) {
        temporary_ = prefix + "-" + std::to_string(attempt) + ".tmp";
        fd_ = ::open(temporary_.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd_ < 0 && (errno != EEXIST || attempt == 100)) {
            temporary_.clear();
            return fail();
        }
    }
    rememberTemporary(temporary_);
    if (exists && ::fchmod(fd_, mode) != 0) return fail();
    return true;
}

namespace {

// Puts the finished temporary file in the target's place, in one atomic step. Where
// the system can swap two names, the target is swapped with the temporary file,
// which then holds the old report and is removed: the same result as a rename over
// the target, without the wait ext4 adds to such a rename (it writes the new file's
// data out first and waits for the device: 13 ms for a 16 MB report).
bool moveIntoPlace(const std::string& temporary, const std::string& target) {
#if defined(__linux__) && defined(RENAME_EXCHANGE)
    if (::renameat2(AT_FDCWD, temporary.c_str(), AT_FDCWD, target.c_str(), RENAME_EXCHANGE) == 0) {
        if (::unlink(temporary.c_str()) == 0) return true;
        // The old one cannot be removed (the target had become a directory
        // meanwhile, EISDIR): it goes back, as a rename over it would have failed.
        const int error = errno;
        ::renameat2(AT_FDCWD, temporary.c_str(), AT_FDCWD, target.c_str(), RENAME_EXCHANGE);
        errno = error;
        return false;
    }
    // No target any more, or a file system that cannot swap: a rename.
#endif
    return ::rename(temporary.c_str(), target.c_str()) == 0;
}

}  // namespace

bool OutputFile::commit() {
    if (fd_ < 0) return false;
    int fd = fd_;
    fd_ = -1;
    if (::close(fd) != 0) return fail();
    if (!temporary_.empty() && !moveIntoPlace(temporary_, target_)) return fail();
    forgetTemporary();
    temporary_.clear();
    return true;
}

void OutputFile::discard() {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
    if (!temporary_.empty()) {
        ::unlink(temporary_.c_str());
        forgetTemporary();
    }
    temporary_.clear();
}

bool isStandardOutput(std::string_view path) {
    struct stat file;
    struct stat out;
    return statPath(path, file) && ::fstat(STDOUT_FILENO, &out) == 0 && file.st_dev == out.st_dev &&
           file.st_ino == out.st_ino;
}

bool appendToFile(std::string_view path, const char* bytes, std::size_t count) {
    if (path.empty() || path.find('\0') != std::string_view::npos) return false;
    int fd =
        ::open(withForwardSlashes(path).c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0666);
    if (fd < 0) return false;
    bool written = writeAll(fd, bytes, count);
    return ::close(fd) == 0 && written;
}

namespace {

// The size of a huge page on the processors that have 2 MiB ones (x86 and most
// 64-bit ARM systems); elsewhere alignment to it costs only a little address space.
constexpr std::size_t kHugePage = std::size_t{2} << 20;

std::size_t wholeHugePages(std::size_t bytes) {
    return (bytes + kHugePage - 1) / kHugePage * kHugePage;
}

}  // namespace

void* allocateLarge(std::size_t bytes) {
    if (faults::allocationRefused()) return nullptr;
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

void prefault(void* block, std::size_t bytes) {
#ifdef MADV_POPULATE_WRITE
    // Linux 5.14 and later; an older kernel refuses it, which is harmless.
    const auto page = static_cast<std::uintptr_t>(::sysconf(_SC_PAGESIZE));
    const auto start = reinterpret_cast<std::uintptr_t>(block);
    const std::uintptr_t first = (start + page - 1) / page * page;
    const std::uintptr_t end = (start + bytes) / page * page;
    if (end > first) ::madvise(reinterpret_cast<void*>(first), end - first, MADV_POPULATE_WRITE);
#else
    (void)block;
    (void)bytes;
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
    return writeAll(STDOUT_FILENO, bytes, count);
}

bool writeStandardError(const char* bytes, std::size_t count) {
    return writeAll(STDERR_FILENO, bytes, count);
}

std::string errorText() { return std::strerror(errno); }

}  // namespace kestrune::platform
