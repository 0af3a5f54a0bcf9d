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
#include <sys/random.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <time.h>
#include <unistd.h>
#if defined(__GLIBC__)
#include <malloc.h>
#endif

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <utility>

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
// behind). One at a time: the tool writes one output file per run. The handler
// needs nothing but the directory's descriptor and the name.
char pendingTemporary[40];
volatile sig_atomic_t pendingDirectory = -1;

// Every signal whose default action ends the process, but SIGKILL and SIGSTOP,
// which cannot be caught, and SIGXFSZ, which is ignored (see detail::writeOutput).
constexpr int kEndingSignals[] = {SIGHUP,    SIGINT,  SIGQUIT, SIGILL,    SIGTRAP, SIGABRT,
                                  SIGBUS,    SIGFPE,  SIGUSR1, SIGSEGV,   SIGUSR2, SIGPIPE,
                                  SIGALRM,   SIGTERM, SIGXCPU, SIGVTALRM, SIGPROF, SIGSYS,
#if defined(SIGSTKFLT)
                                  SIGSTKFLT,
#endif
#if defined(SIGPWR)
                                  SIGPWR,
#endif
                                  SIGIO};

extern "C" void removePendingTemporary(int signalNumber) {
    const int saved = errno;
    if (pendingDirectory >= 0) ::unlinkat(pendingDirectory, pendingTemporary, 0);
    pendingDirectory = -1;
    // Then the default action, once the handler returns and the signal is unblocked.
    struct sigaction byDefault {};
    byDefault.sa_handler = SIG_DFL;
    ::sigaction(signalNumber, &byDefault, nullptr);
    ::raise(signalNumber);
    errno = saved;
}

void installSignalHandlers() {
    static bool installed = false;
    if (installed) return;
    installed = true;
    auto install = [](int signalNumber) {
        struct sigaction old {};
        // A signal the caller chose to ignore (nohup) stays ignored, and one that
        // already has a handler (a sanitizer's) keeps it.
        if (::sigaction(signalNumber, nullptr, &old) != 0 || old.sa_handler != SIG_DFL ||
            (old.sa_flags & SA_SIGINFO) != 0) {
            return;
        }
        struct sigaction action {};
        action.sa_handler = removePendingTemporary;
        sigemptyset(&action.sa_mask);
        ::sigaction(signalNumber, &action, nullptr);
    };
    for (int signalNumber : kEndingSignals) install(signalNumber);
    for (int signalNumber = SIGRTMIN; signalNumber <= SIGRTMAX; ++signalNumber)
        install(signalNumber);
}

// The directory part of a path ("." for a bare name, "/" for a name in the root)
// and its last part.
std::pair<std::string, std::string> splitPath(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    if (slash == std::string::npos) return {".", path};
    return {slash == 0 ? "/" : path.substr(0, slash), path.substr(slash + 1)};
}

bool sameFile(const struct stat& a, const struct stat& b) {
    return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

// What the symbolic link `link` holds, never cut short: a result that fills the
// buffer is read again with a larger one, up to `largest` bytes. Empty when the
// system does not say, or when the result is longer.
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

// Opens the directory of `path` and names in it the file described by `file`, in
// `place`, if that entry is the file itself (not a link to it); false otherwise.
bool placeAt(const std::string& path, const struct stat& file, detail::OutputPlace& place) {
    const auto [directoryPath, name] = splitPath(path);
    const int directory = ::open(directoryPath.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC);
    struct stat found;
    if (directory >= 0 && !name.empty() &&
        ::fstatat(directory, name.c_str(), &found, AT_SYMLINK_NOFOLLOW) == 0 &&
        sameFile(found, file)) {
        place.directory = directory;
        place.target = name;
        return true;
    }
    if (directory >= 0) ::close(directory);
    return false;
}

// Finds the directory and name of the open regular file `fd` (described by
// `file`), opened through the path `given`, in `place`: the path itself when its
// last part is the file, else the path the system gives for the descriptor, else
// (without /proc) the real path of `given`; each is checked to lead to that very
// file. False, with errno set, when none does.
bool locate(int fd, const struct stat& file, const std::string& given, detail::OutputPlace& place) {
    if (placeAt(given, file, place)) return true;
    // The path under which the system knows the open file now.
    std::string path = linkTarget("/proc/self/fd/" + std::to_string(fd), std::size_t{1} << 20);
    if (path.empty()) path = realPath(given);
    if (path.empty()) return false;
    if (placeAt(path, file, place)) return true;
    // Moved or replaced meanwhile: the file named is no longer where it was.
    errno = ESTALE;
    return false;
}

// Eight bytes no one can guess, for the names of temporary files.
std::uint64_t randomBits() {
    std::uint64_t bits = 0;
    if (::getrandom(&bits, sizeof bits, GRND_NONBLOCK) == sizeof bits) return bits;
    // No entropy yet (early boot): the time, the process and a counter, mixed.
    static std::uint64_t counter = 0;
    struct timespec now {};
    ::clock_gettime(CLOCK_REALTIME, &now);
    bits = static_cast<std::uint64_t>(now.tv_nsec) ^
           (static_cast<std::uint64_t>(now.tv_sec) << 30) ^
           (static_cast<std::uint64_t>(::getpid()) << 48) ^ (++counter * 0x9E3779B97F4A7C15ull);
    bits ^= bits >> 31;
    return bits * 0xBF58476D1CE4E5B9ull;
}

// Creates a new temporary file in the place's directory, under a name that is not
// the target's: ".kestrune-" and sixteen random hex digits, ".tmp". The descriptor,
// or -1 (errno set). The signal handlers are put in place first, and signals wait
// until the new file is remembered: a signal between its creation and then would
// leave it behind.
int createTemporary(detail::OutputPlace& place, mode_t mode) {
    installSignalHandlers();
    sigset_t every;
    sigset_t before;
    sigfillset(&every);
    ::pthread_sigmask(SIG_BLOCK, &every, &before);
    int fd = -1;
    constexpr int kAttempts = 100;
    for (int attempt = 0; attempt < kAttempts; ++attempt) {
        char name[sizeof pendingTemporary];
        std::snprintf(name, sizeof name, ".kestrune-%016llx.tmp",
                      static_cast<unsigned long long>(randomBits()));
        if (place.target == name) continue;
        fd = ::openat(place.directory, name, O_WRONLY | O_CREAT | O_EXCL | O_NOCTTY | O_CLOEXEC,
                      mode);
        if (fd >= 0) {
            place.temporary = name;
            std::memcpy(pendingTemporary, name, place.temporary.size() + 1);
            pendingDirectory = place.directory;
            break;
        }
        if (errno != EEXIST) break;
    }
    const int error = errno;
    ::pthread_sigmask(SIG_SETMASK, &before, nullptr);
    errno = error;
    return fd;
}

// The user.* extended attributes of the file `from`, set on `to` where the file
// system keeps them. Others (security labels, access lists) are the system's.
void copyUserAttributes(int from, int to) {
    const ssize_t size = ::flistxattr(from, nullptr, 0);
    if (size <= 0) return;
    std::string names(static_cast<std::size_t>(size), '\0');
    const ssize_t n = ::flistxattr(from, names.data(), names.size());
    if (n <= 0) return;
    names.resize(static_cast<std::size_t>(n));
    std::string value;
    for (std::size_t at = 0; at < names.size();) {
        const char* name = names.c_str() + at;
        at += std::strlen(name) + 1;
        if (std::strncmp(name, "user.", 5) != 0) continue;
        const ssize_t length = ::fgetxattr(from, name, nullptr, 0);
        if (length < 0) continue;
        value.resize(static_cast<std::size_t>(length));
        const ssize_t got = ::fgetxattr(from, name, value.data(), value.size());
        if (got >= 0) ::fsetxattr(to, name, value.data(), static_cast<std::size_t>(got), 0);
    }
}

// Gives the temporary file `fd` what the old file `old` (open as `from`) had that
// a replacement should keep: its user.* attributes, then its owner and group (each
// where the process may set it: root, or a group the user belongs to), then its
// permission bits (after the owner, whose change clears set-user-ID bits).
bool copyFileTraits(int from, const struct stat& old, int fd) {
    copyUserAttributes(from, fd);
    if (::fchown(fd, old.st_uid, old.st_gid) != 0) ::fchown(fd, static_cast<uid_t>(-1), old.st_gid);
    return ::fchmod(fd, old.st_mode & 07777) == 0;
}

// Opens an existing target for writing as a shell's ">" would, but without
// truncating it; -1 (errno set) when open(2) refuses it. A FIFO without a reader
// is waited for, as the shell waits.
int openTarget(const std::string& path, int flags) {
    int fd = ::open(path.c_str(), O_WRONLY | O_NOCTTY | O_NONBLOCK | O_CLOEXEC | flags, 0666);
    struct stat info;
    if (fd < 0 && errno == ENXIO && ::stat(path.c_str(), &info) == 0 && S_ISFIFO(info.st_mode)) {
        fd = ::open(path.c_str(), O_WRONLY | O_NOCTTY | O_CLOEXEC);
    }
    return fd;
}

// True when `path`, its links followed, leads to the file described by `file`.
bool leadsTo(const std::string& path, const struct stat& file) {
    struct stat now;
    return ::stat(path.c_str(), &now) == 0 && sameFile(now, file);
}

// The size of a huge page on the processors that have 2 MiB ones (x86 and most
// 64-bit ARM systems); elsewhere alignment to it costs only a little address space.
constexpr std::size_t kHugePage = std::size_t{2} << 20;

std::size_t wholeHugePages(std::size_t bytes) {
    return (bytes + kHugePage - 1) / kHugePage * kHugePage;
}

}  // namespace

std::string programFilePath() { return linkTarget("/proc/self/exe", 4096); }

std::string programFilePathFromName(std::string_view argv0) {
    if (!detail::usablePath(argv0)) return std::string();
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
    InputFile arguments;
    if (arguments.open("/proc/self/cmdline")) arguments.readStream(text, std::string::npos);
    while (!text.empty() && text.back() == '\0') text.pop_back();
    std::ranges::replace(text, '\0', ' ');
    return text;
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
                number == kUtf8CodePage ? std::string("UTF-8") : "CP" + std::to_string(number);
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

bool OutputFile::create(std::string_view path) {
    discard();
    failure_.clear();
    written_ = 0;
    if (!detail::usablePath(path)) {
        errno = ENOENT;
        return fail();
    }
    const std::string given = withForwardSlashes(path);
    // Another writer may replace the target between our steps (a rename over it):
    // the path then leads to another file than the one opened, and we start again
    // with the new one.
    constexpr int kAttempts = 100;
    for (int attempt = 0; attempt < kAttempts; ++attempt) {
        const Opened opened = openOutput(given);
        if (opened != Opened::Replaced) return opened == Opened::Ready || fail();
    }
    errno = ESTALE;
    return fail();
}

OutputFile::Opened OutputFile::openOutput(const std::string& given) {
    // The kernel walks the path, links included, and refuses what it would refuse
    // to any program: a link it may not follow, a file that may not be written.
    int target = openTarget(given, 0);
    if (target < 0 && errno == ENOENT) {
        // A new file in an existing directory; through a link that leads nowhere,
        // the file the link names, created now as the kernel permits.
        const auto [directory, name] = splitPath(given);
        if (name.empty() || name == "." || name == "..") {
            errno = EISDIR;
            return Opened::Failed;
        }
        place_.directory = ::open(directory.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC);
        if (place_.directory < 0) return Opened::Failed;
        struct stat entry;
        if (::fstatat(place_.directory, name.c_str(), &entry, AT_SYMLINK_NOFOLLOW) != 0 ||
            !S_ISLNK(entry.st_mode)) {
            place_.target = name;
            fd_ = createTemporary(place_, 0666);
            return fd_ >= 0 ? Opened::Ready : Opened::Failed;
        }
        detail::releasePlace(place_);
        target = openTarget(given, O_CREAT);
        place_.madeTarget = target >= 0;
    }
    if (target < 0) return Opened::Failed;
    struct stat old;
    if (::fstat(target, &old) != 0) {
        ::close(target);
        return Opened::Failed;
    }
    // A device, FIFO, pipe or socket takes the bytes as they come; so does a file
    // deleted while open (/dev/fd/N), which no name could replace. A file deleted
    // because another writer replaced it is no longer where the path leads: the
    // path is opened again.
    const bool deleted = S_ISREG(old.st_mode) && old.st_nlink == 0;
    if (!S_ISREG(old.st_mode) || (deleted && leadsTo(given, old))) {
        fd_ = target;
        const int flags = ::fcntl(fd_, F_GETFL);
        if (flags < 0 || ::fcntl(fd_, F_SETFL, flags & ~O_NONBLOCK) != 0) return Opened::Failed;
        if (S_ISREG(old.st_mode) && ::ftruncate(fd_, 0) != 0) return Opened::Failed;
        return Opened::Ready;
    }
    // The file must still be where the path leads once its entry is found: if
    // another writer replaced it meanwhile, the entry (or the name read back from
    // /proc, maybe that writer's temporary file) is not the target any more.
    const bool located = !deleted && locate(target, old, given, place_);
    const bool replaced = deleted || (located ? !leadsTo(given, old) : errno == ESTALE);
    bool ready = false;
    if (located && !replaced) {
        fd_ = createTemporary(place_, 0600);
        ready = fd_ >= 0 && copyFileTraits(target, old, fd_);
    }
    const int error = errno;
    ::close(target);
    errno = error;
    if (replaced) {
        detail::releasePlace(place_);
        return Opened::Replaced;
    }
    return ready ? Opened::Ready : Opened::Failed;
}

bool isStandardOutput(std::string_view path) {
    struct stat file;
    struct stat out;
    return detail::usablePath(path) && ::stat(withForwardSlashes(path).c_str(), &file) == 0 &&
           ::fstat(STDOUT_FILENO, &out) == 0 && sameFile(file, out);
}

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

namespace detail {

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

// Where the system can swap two names, the target is swapped with the temporary
// file, which then holds the old report and is removed: the same result as a
// rename over the target, without the wait ext4 adds to such a rename (it writes
// the new file's data out first and waits for the device: 13 ms for a 16 MB
// report).
bool moveIntoPlace(const OutputPlace& place) {
    const int dir = place.directory;
    const char* temporary = place.temporary.c_str();
    const char* target = place.target.c_str();
#if defined(__linux__) && defined(RENAME_EXCHANGE)
    if (::renameat2(dir, temporary, dir, target, RENAME_EXCHANGE) == 0) {
        if (::unlinkat(dir, temporary, 0) == 0) return true;
        // The old one cannot be removed (the target had become a directory
        // meanwhile, EISDIR): it goes back, as a rename over it would have failed.
        const int error = errno;
        ::renameat2(dir, temporary, dir, target, RENAME_EXCHANGE);
        errno = error;
        return false;
    }
    // No target any more, or a file system that cannot swap: a rename.
#endif
    return ::renameat(dir, temporary, dir, target) == 0;
}

void removeTemporary(const OutputPlace& place) {
    if (!place.temporary.empty()) ::unlinkat(place.directory, place.temporary.c_str(), 0);
    // A file created empty through a link goes too, unless it was written meanwhile.
    struct stat made;
    if (place.madeTarget &&
        ::fstatat(place.directory, place.target.c_str(), &made, AT_SYMLINK_NOFOLLOW) == 0 &&
        S_ISREG(made.st_mode) && made.st_size == 0) {
        ::unlinkat(place.directory, place.target.c_str(), 0);
    }
}

void releasePlace(OutputPlace& place) {
    pendingDirectory = -1;
    if (place.directory >= 0) ::close(place.directory);
    place = OutputPlace();
}

}  // namespace detail

}  // namespace kestrune::platform
