// SPDX-License-Identifier: MIT
// Windows implementation of the platform layer: the program's path and command line
// from the system, GetFileAttributesA for existence checks, files through handles,
// and the system's own converters (MultiByteToWideChar / WideCharToMultiByte) for
// the local code page. Files are opened as handles and kept as C runtime
// descriptors, which is what the classes of platform.h hold. The output file is
// outputFileWindows.cpp's.
#include <fcntl.h>
#include <io.h>

#include <climits>
#include <string>

#include "base/platform.h"
#include "base/platformInternal.h"
#include "base/windowsInternal.h"

namespace kestrune::platform {

namespace {

HANDLE handleOf(int fd) { return reinterpret_cast<HANDLE>(::_get_osfhandle(fd)); }

// Writes every byte to the handle; false on an error (GetLastError() set).
bool writeAll(HANDLE handle, const char* bytes, std::size_t count) {
    while (count > 0) {
        DWORD chunk = count > (1u << 30) ? (1u << 30) : static_cast<DWORD>(count);
        DWORD written = 0;
        if (!::WriteFile(handle, bytes, chunk, &written, nullptr)) return false;
        if (written == 0) {
            ::SetLastError(ERROR_WRITE_FAULT);
            return false;
        }
        bytes += written;
        count -= written;
    }
    return true;
}

std::u16string utf8ToWide(std::string_view utf8) {
    if (utf8.empty() || utf8.size() > INT_MAX / 2) return std::u16string();
    const int n = static_cast<int>(utf8.size());
    // Never more UTF-16 units than UTF-8 bytes.
    std::u16string wide(utf8.size() + 10, u'\0');
    int units = ::MultiByteToWideChar(CP_UTF8, 0, utf8.data(), n,
                                      reinterpret_cast<wchar_t*>(wide.data()), n + 10);
    wide.resize(units > 0 ? static_cast<std::size_t>(units) : 0);
    return wide;
}

}  // namespace

std::string programFilePath() {
    std::string buffer(MAX_PATH, '\0');
    while (true) {
        DWORD n = ::GetModuleFileNameA(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
        if (n == 0) return std::string();
        if (n < buffer.size()) {
            buffer.resize(n);
            return buffer;
        }
        // Cut short: try again with more room.
        if (buffer.size() >= 32768) return std::string();
        buffer.resize(2 * buffer.size());
    }
}

std::string programFilePathFromName(std::string_view argv0) {
    // A name with a separator is a path; a bare one is searched as the system does
    // for programs (the program's directory, the current one, PATH), ".exe" added.
    if (!detail::usablePath(argv0)) return std::string();
    const std::string name(argv0);
    std::string found(MAX_PATH, '\0');
    char* filePart = nullptr;
    DWORD n = ::SearchPathA(nullptr, name.c_str(), ".exe", static_cast<DWORD>(found.size()),
                            found.data(), &filePart);
    if (n == 0 || n >= found.size()) return std::string();
    found.resize(n);
    return found;
}

std::string rawCommandLine() {
    const char* line = ::GetCommandLineA();
    return line != nullptr ? std::string(line) : std::string();
}

unsigned systemCodePage() { return ::GetACP(); }

std::string utf8ToCodePage(std::string_view utf8, unsigned number) {
    std::u16string wide = utf8ToWide(utf8);
    if (wide.empty()) return std::string();
    // The system's own code page is asked for as CP_ACP, as the tool is defined; a
    // code page lacking a character writes its default character instead.
    const UINT codePage = number == ::GetACP() ? CP_ACP : number;
    if (codePage != CP_ACP && !::IsValidCodePage(codePage)) return std::string();
    const auto* units = reinterpret_cast<const wchar_t*>(wide.data());
    const int count = static_cast<int>(wide.size());
    // Two bytes per unit for single- and double-byte code pages, three for UTF-8.
    const int room = (codePage == CP_UTF8 ? 3 : 2) * count + 10;
    std::string out(static_cast<std::size_t>(room), '\0');
    int n = ::WideCharToMultiByte(codePage, 0, units, count, out.data(), room, nullptr, nullptr);
    if (n <= 0) {
        // A code page of longer sequences: ask for the size it needs.
        n = ::WideCharToMultiByte(codePage, 0, units, count, nullptr, 0, nullptr, nullptr);
        if (n <= 0) return std::string();
        out.assign(static_cast<std::size_t>(n), '\0');
        n = ::WideCharToMultiByte(codePage, 0, units, count, out.data(), n, nullptr, nullptr);
        if (n <= 0) return std::string();
    }
    out.resize(static_cast<std::size_t>(n));
    return out;
}

namespace {

// Appends UTF-16 units as UTF-8; false when the system refuses.
bool appendWideAsUtf8(std::string& out, const wchar_t* units, int count) {
    if (count == 0) return true;
    const int n = ::WideCharToMultiByte(CP_UTF8, 0, units, count, nullptr, 0, nullptr, nullptr);
    if (n <= 0) return false;
    const std::size_t at = out.size();
    out.resize(at + static_cast<std::size_t>(n));
    return ::WideCharToMultiByte(CP_UTF8, 0, units, count, out.data() + at, n, nullptr, nullptr) ==
           n;
}

// The UTF-16 units of `bytes` in `codePage`; none when a byte does not convert (or
// the code page refuses the check, which `checked` then says).
std::wstring wideOf(UINT codePage, const char* bytes, int count, bool& checked) {
    std::wstring wide(static_cast<std::size_t>(count) * 2 + 2, L'\0');
    const DWORD flags = checked ? MB_ERR_INVALID_CHARS : 0;
    int n = ::MultiByteToWideChar(codePage, flags, bytes, count, wide.data(),
                                  static_cast<int>(wide.size()));
    if (n <= 0 && checked && ::GetLastError() == ERROR_INVALID_FLAGS) {
        checked = false;  // code pages such as 50220 convert without the check
        return wideOf(codePage, bytes, count, checked);
    }
    wide.resize(n > 0 ? static_cast<std::size_t>(n) : 0);
    return wide;
}

}  // namespace

std::string codePageToUtf8(std::string_view text, unsigned number) {
    std::string out;
    if (text.empty() || text.size() > INT_MAX / 4) return out;
    const UINT codePage = number == ::GetACP() ? CP_ACP : number;
    CPINFO info;
    const bool known =
        (codePage == CP_ACP || ::IsValidCodePage(codePage)) && ::GetCPInfo(codePage, &info);
    bool checked = true;
    const std::wstring whole =
        known ? wideOf(codePage, text.data(), static_cast<int>(text.size()), checked)
              : std::wstring();
    if (!whole.empty() && appendWideAsUtf8(out, whole.data(), static_cast<int>(whole.size())))
        return out;
    // Some byte does not convert: each character on its own, the shortest run of
    // bytes from here that converts, or one byte's escape.
    out.clear();
    const int longest = known ? static_cast<int>(info.MaxCharSize) : 0;
    for (std::size_t at = 0; at < text.size();) {
        int length = 1;
        std::wstring wide;
        for (; known && length <= longest && at + length <= text.size(); ++length) {
            wide = wideOf(codePage, text.data() + at, length, checked);
            if (!wide.empty()) break;
        }
        if (!wide.empty() && appendWideAsUtf8(out, wide.data(), static_cast<int>(wide.size()))) {
            at += static_cast<std::size_t>(length);
        } else {
            detail::appendByteEscape(out, static_cast<unsigned char>(text[at]));
            ++at;
        }
    }
    return out;
}

long long InputFile::size() {
    if (fd_ < 0) return -1;
    LARGE_INTEGER size;
    if (::GetFileType(handleOf(fd_)) != FILE_TYPE_DISK || !::GetFileSizeEx(handleOf(fd_), &size)) {
        return -1;
    }
    return size.QuadPart;
}

bool appendToFile(std::string_view path, const char* bytes, std::size_t count) {
    if (!detail::usablePath(path)) return false;
    HANDLE handle = ::CreateFileA(std::string(path).c_str(), FILE_APPEND_DATA,
                                  FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_ALWAYS,
                                  FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE) return false;
    bool written = writeAll(handle, bytes, count);
    return ::CloseHandle(handle) != 0 && written;
}

void* allocateLarge(std::size_t bytes) {
    if (detail::allocationRefused()) return nullptr;
    // Reserved and committed at once; pages are backed only when first touched.
    return ::VirtualAlloc(nullptr, bytes, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE);
}

void freeLarge(void* block, std::size_t) {
    if (block != nullptr) ::VirtualFree(block, 0, MEM_RELEASE);
}

void prefault(void*, std::size_t) {}

void keepFreedMemory() {}

bool writeStandardOutput(const char* bytes, std::size_t count) {
    // The C runtime's standard output in binary mode too, so that nothing written
    // through it ever turns "\n" into "\r\n"; the bytes here go to the handle as
    // they are.
    static const bool binary = ::_setmode(::_fileno(stdout), _O_BINARY) != -1;
    (void)binary;
    return writeAll(::GetStdHandle(STD_OUTPUT_HANDLE), bytes, count);
}

bool writeStandardError(const char* bytes, std::size_t count) {
    return writeAll(::GetStdHandle(STD_ERROR_HANDLE), bytes, count);
}

std::string errorText() {
    const DWORD code = ::GetLastError();
    char text[512] = {};
    // In English, as the tool's other messages are; the user's language otherwise.
    const DWORD flags = FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS;
    DWORD n = ::FormatMessageA(flags, nullptr, code, MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US),
                               text, sizeof text, nullptr);
    if (n == 0) n = ::FormatMessageA(flags, nullptr, code, 0, text, sizeof text, nullptr);
    // Without its line break and full stop: the messages that quote it add their own.
    while (n > 0 && std::string_view("\r\n .").find(text[n - 1]) != std::string_view::npos) --n;
    return n > 0 ? std::string(text, n) : "error " + std::to_string(code);
}

bool lastErrorIsNotFound() {
    const DWORD code = ::GetLastError();
    return code == ERROR_FILE_NOT_FOUND || code == ERROR_PATH_NOT_FOUND;
}

bool lastErrorIsClosedPipe() {
    const DWORD code = ::GetLastError();
    return code == ERROR_BROKEN_PIPE || code == ERROR_NO_DATA;
}

namespace detail {

int descriptorOf(HANDLE handle, int flags) {
    if (handle == INVALID_HANDLE_VALUE) return -1;
    int fd = ::_open_osfhandle(reinterpret_cast<intptr_t>(handle), flags);
    if (fd < 0) ::CloseHandle(handle);
    return fd;
}

PathKind pathKind(std::string_view path) {
    const DWORD attributes = ::GetFileAttributesA(std::string(path).c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) return PathKind::Missing;
    return (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0 ? PathKind::Directory : PathKind::File;
}

int openInput(std::string_view path) {
    // Read-only, and others may go on reading, writing or deleting meanwhile.
    HANDLE handle = ::CreateFileA(std::string(path).c_str(), GENERIC_READ,
                                  FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                  OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    return detail::descriptorOf(handle, _O_RDONLY | _O_BINARY);
}

bool closeFile(int fd) { return fd < 0 || ::_close(fd) == 0; }

bool writeOutput(int fd, const char* bytes, std::size_t count) {
    return writeAll(handleOf(fd), bytes, count);
}

void noteDiskFull() { ::SetLastError(ERROR_DISK_FULL); }

bool rewindInput(int fd) {
    LARGE_INTEGER start{};
    return ::SetFilePointerEx(handleOf(fd), start, nullptr, FILE_BEGIN) != 0;
}

long long readInput(int fd, char* dst, std::size_t count) {
    const DWORD chunk = count > (1u << 30) ? (1u << 30) : static_cast<DWORD>(count);
    DWORD got = 0;
    if (!::ReadFile(handleOf(fd), dst, chunk, &got, nullptr)) {
        // A pipe whose writer has gone reports its end as a broken pipe.
        return ::GetLastError() == ERROR_BROKEN_PIPE ? 0 : -1;
    }
    return static_cast<long long>(got);
}

}  // namespace detail

}  // namespace kestrune::platform
