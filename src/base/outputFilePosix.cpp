// SPDX-License-Identifier: MIT
// The output file on Linux: what an output path leads to and how each kind of
// target is written. A regular file is replaced as a whole through a temporary file
// beside it, which takes the old file's owner, mode and user attributes and is
// renamed over it; a signal that ends the run removes the temporary file first.
#include <errno.h>
#include <fcntl.h>
#include <signal.h>
#include <stdio.h>
#include <sys/random.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <time.h>
#include <unistd.h>

#include <charconv>
#include <climits>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <optional>
#include <string>
#include <utility>

#include "base/platform.h"
#include "base/platformInternal.h"
#include "base/posixInternal.h"

namespace kestrune::platform {

namespace {

using detail::OutputPlace;
using detail::sameFile;

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

// Opens the directory of `path` and names in it the file described by `file`, in
// `place`, if that entry is the file itself (not a link to it); false otherwise.
bool placeAt(const std::string& path, const struct stat& file, OutputPlace& place) {
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
bool locate(int fd, const struct stat& file, const std::string& given, OutputPlace& place) {
    if (placeAt(given, file, place)) return true;
    // The path under which the system knows the open file now.
    std::string path =
        detail::linkTarget("/proc/self/fd/" + std::to_string(fd), std::size_t{1} << 20);
    if (path.empty()) path = detail::realPath(given);
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
int createTemporary(OutputPlace& place, mode_t mode) {
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

// What one attempt at opening the output gives: the descriptor to write to, or a
// failure (errno set), or word that another writer replaced the target meanwhile,
// so that the path is opened again.
struct Opening {
    enum class Outcome { Ready, Failed, Replaced };
    Outcome outcome;
    int fd = -1;  // when Ready
};

Opening ready(int fd) { return {Opening::Outcome::Ready, fd}; }

// Closes `fd` unless it is -1, keeping errno.
void closeKeepingError(int fd) {
    const int error = errno;
    if (fd >= 0) ::close(fd);
    errno = error;
}

// A failed attempt; `fd` (unless -1) is closed, errno kept.
Opening failed(int fd = -1) {
    closeKeepingError(fd);
    return {Opening::Outcome::Failed};
}

// An attempt overtaken by another writer: `fd`, the file it replaced, is closed
// and `place` let go of.
Opening replaced(int fd, OutputPlace& place) {
    ::close(fd);
    detail::releasePlace(place);
    return {Opening::Outcome::Replaced};
}

// What an existing target is, which decides how it is written.
enum class TargetKind {
    Stream,            // a device, FIFO, pipe or socket: takes the bytes as they come
    DeletedWhileOpen,  // a regular file left without a name, reached through /proc
    Regular,           // a regular file under a name: replaced as a whole
    Replaced,          // a file deleted because another writer replaced it
};

// The kind of the target opened through `given` and described by `info`. A file
// without a name is one deleted while open if the path still leads to it; else the
// path now leads to the file that replaced it.
TargetKind kindOf(const std::string& given, const struct stat& info) {
    if (!S_ISREG(info.st_mode)) return TargetKind::Stream;
    if (info.st_nlink > 0) return TargetKind::Regular;
    return leadsTo(given, info) ? TargetKind::DeletedWhileOpen : TargetKind::Replaced;
}

// A target no name could replace is written where it is, blocking as the shell's
// descriptors do; a file deleted while open (`truncate`) is emptied first.
Opening writeInPlace(int fd, bool truncate) {
    const int flags = ::fcntl(fd, F_GETFL);
    if (flags < 0 || ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK) != 0) return failed(fd);
    if (truncate && ::ftruncate(fd, 0) != 0) return failed(fd);
    return ready(fd);
}

// A regular file under a name gets a temporary file in its directory, with its
// traits, which commit() moves over it. The file must still be where the path leads
// once its entry is found: if another writer replaced it meanwhile, the entry (or
// the name read back from /proc, maybe that writer's temporary file) is not the
// target any more.
Opening replaceRegular(const std::string& given, int target, const struct stat& old,
                       OutputPlace& place) {
    if (!locate(target, old, given, place)) {
        return errno == ESTALE ? replaced(target, place) : failed(target);
    }
    if (!leadsTo(given, old)) return replaced(target, place);
    const int fd = createTemporary(place, 0600);
    if (fd < 0 || !copyFileTraits(target, old, fd)) {
        closeKeepingError(fd);
        return failed(target);
    }
    ::close(target);
    return ready(fd);
}

// The existing target `target`, opened for writing through `given`, written as
// its kind wants.
Opening openExisting(const std::string& given, int target, OutputPlace& place) {
    struct stat old;
    if (::fstat(target, &old) != 0) return failed(target);
    switch (kindOf(given, old)) {
        case TargetKind::Stream:
            return writeInPlace(target, false);
        case TargetKind::DeletedWhileOpen:
            return writeInPlace(target, true);
        case TargetKind::Regular:
            return replaceRegular(given, target, old, place);
        case TargetKind::Replaced:
            break;
    }
    return replaced(target, place);
}

// Nothing at `given` yet: a new temporary file, which commit() names. Through a
// symbolic link that leads nowhere, the file the link names is created now, as the
// kernel permits, and replaced like any regular file (removed again if the run
// fails).
Opening createNew(const std::string& given, OutputPlace& place) {
    const auto [directory, name] = splitPath(given);
    if (name.empty() || name == "." || name == "..") {
        errno = EISDIR;
        return failed();
    }
    place.directory = ::open(directory.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC);
    if (place.directory < 0) return failed();
    struct stat entry;
    if (::fstatat(place.directory, name.c_str(), &entry, AT_SYMLINK_NOFOLLOW) != 0 ||
        !S_ISLNK(entry.st_mode)) {
        place.target = name;
        const int fd = createTemporary(place, 0666);
        return fd >= 0 ? ready(fd) : failed();
    }
    detail::releasePlace(place);
    const int target = openTarget(given, O_CREAT);
    if (target < 0) return failed();
    place.madeTarget = true;
    return openExisting(given, target, place);
}

// A path that names an open descriptor of the process is written through a copy
// of it: the bytes go where the caller's next ones would, at its offset or, opened
// to append, at the end; nothing is replaced or cut short. (Opened by its name, the
// file would be opened anew: at its start, and replaced.) One open only for
// reading cannot be written (EBADF). Nothing when the path names no descriptor, or
// one that is not open: the path is then opened as any other.
std::optional<Opening> writeThroughDescriptor(const std::string& given) {
    const int named = detail::descriptorNamed(given);
    const int flags = named >= 0 ? ::fcntl(named, F_GETFL) : -1;
    if (flags < 0) return std::nullopt;
    if ((flags & O_ACCMODE) == O_RDONLY) {
        errno = EBADF;
        return failed();
    }
    const int fd = ::fcntl(named, F_DUPFD_CLOEXEC, 0);
    return fd >= 0 ? ready(fd) : failed();
}

// One attempt at opening the output at `given` (a usable path, forward slashes).
// Unless it names a descriptor, the kernel walks the path, links included, and
// refuses what it would refuse to any program: a link it may not follow, a file
// that may not be written.
Opening openOnce(const std::string& given, OutputPlace& place) {
    if (const std::optional<Opening> named = writeThroughDescriptor(given)) return *named;
    const int target = openTarget(given, 0);
    if (target >= 0) return openExisting(given, target, place);
    return errno == ENOENT ? createNew(given, place) : failed();
}

}  // namespace

bool isStandardOutput(std::string_view path) {
    struct stat file;
    struct stat out;
    return detail::usablePath(path) && ::stat(withForwardSlashes(path).c_str(), &file) == 0 &&
           ::fstat(STDOUT_FILENO, &out) == 0 && sameFile(file, out);
}

namespace detail {

void noteUnusablePath() { errno = ENOENT; }

int openOutput(std::string_view path, OutputPlace& place) {
    const std::string given = withForwardSlashes(path);
    // Another writer may replace the target between our steps (a rename over it):
    // the path then leads to another file than the one opened, and we start again
    // with the new one.
    constexpr int kAttempts = 100;
    for (int attempt = 0; attempt < kAttempts; ++attempt) {
        const Opening opening = openOnce(given, place);
        if (opening.outcome != Opening::Outcome::Replaced) return opening.fd;
    }
    errno = ESTALE;
    return -1;
}

int descriptorNamed(std::string_view path) {
    if (path == "/dev/stdin") return STDIN_FILENO;
    if (path == "/dev/stdout") return STDOUT_FILENO;
    if (path == "/dev/stderr") return STDERR_FILENO;
    for (const std::string_view directory : {"/dev/fd/", "/proc/self/fd/"}) {
        if (!path.starts_with(directory)) continue;
        const std::string_view digits = path.substr(directory.size());
        if (digits.size() > 1 && digits[0] == '0') return -1;
        unsigned number = 0;
        const char* end = digits.data() + digits.size();
        const auto [stop, error] = std::from_chars(digits.data(), end, number);
        const bool digitsOnly = error == std::errc() && stop == end;
        return digitsOnly && number <= INT_MAX ? static_cast<int>(number) : -1;
    }
    return -1;
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
