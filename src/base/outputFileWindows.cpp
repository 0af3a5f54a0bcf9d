// SPDX-License-Identifier: MIT
// The output file on Windows: a temporary file beside the target, under a name no
// one can guess, moved over it once complete; Ctrl+C, Ctrl+Break or closing the
// console deletes the temporary file first. Also the test for a path that names
// standard output.
#include <fcntl.h>

#include <cstdio>
#include <cstring>
#include <random>
#include <string>

#include "base/platform.h"
#include "base/platformInternal.h"
#include "base/windowsInternal.h"

namespace kestrune::platform {

namespace {

// The temporary file of the output being written, deleted when Ctrl+C, Ctrl+Break
// or closing the console ends the run before it is in place. The file is opened
// with FILE_SHARE_DELETE, so the deletion takes effect when the process ends.
char pendingTemporary[MAX_PATH * 4];
volatile LONG havePendingTemporary = 0;

BOOL WINAPI removePendingTemporary(DWORD event) {
    if (event == CTRL_C_EVENT || event == CTRL_BREAK_EVENT || event == CTRL_CLOSE_EVENT) {
        if (havePendingTemporary != 0) ::DeleteFileA(pendingTemporary);
    }
    return FALSE;  // the default handling ends the process
}

}  // namespace

bool isStandardOutput(std::string_view path) {
    if (!detail::usablePath(path)) return false;
    HANDLE out = ::GetStdHandle(STD_OUTPUT_HANDLE);
    BY_HANDLE_FILE_INFORMATION outInfo;
    if (out == INVALID_HANDLE_VALUE || !::GetFileInformationByHandle(out, &outInfo)) return false;
    HANDLE file = ::CreateFileA(std::string(path).c_str(), 0,
                                FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    BY_HANDLE_FILE_INFORMATION fileInfo;
    bool same = ::GetFileInformationByHandle(file, &fileInfo) &&
                fileInfo.dwVolumeSerialNumber == outInfo.dwVolumeSerialNumber &&
                fileInfo.nFileIndexHigh == outInfo.nFileIndexHigh &&
                fileInfo.nFileIndexLow == outInfo.nFileIndexLow;
    ::CloseHandle(file);
    return same;
}

namespace detail {

void noteUnusablePath() { ::SetLastError(ERROR_INVALID_NAME); }

int openOutput(std::string_view path, OutputPlace& place) {
    place.target = std::string(path);
    const std::string& target = place.target;
    DWORD attributes = ::GetFileAttributesA(target.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
        ::SetLastError(ERROR_DIRECTORY);
        return -1;
    }
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY) != 0) {
        ::SetLastError(ERROR_ACCESS_DENIED);
        return -1;
    }
    // A new file beside the target, moved over it by commit(), under a name no one
    // can guess: ".kestrune-" and sixteen random hex digits, ".tmp".
    const std::size_t cut = target.find_last_of("/\\");
    const std::string directory = cut == std::string::npos ? "." : target.substr(0, cut + 1);
    const std::string prefix = directory + (cut == std::string::npos ? "/" : "") + ".kestrune-";
    std::random_device entropy;  // the system's generator (rand_s)
    int fd = -1;
    for (int attempt = 0; fd < 0; ++attempt) {
        char digits[17];
        std::snprintf(digits, sizeof digits, "%08x%08x", static_cast<unsigned>(entropy()),
                      static_cast<unsigned>(entropy()));
        place.temporary = prefix + digits + ".tmp";
        HANDLE handle = ::CreateFileA(place.temporary.c_str(), GENERIC_WRITE, FILE_SHARE_DELETE,
                                      nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (handle == INVALID_HANDLE_VALUE) {
            if (::GetLastError() != ERROR_FILE_EXISTS || attempt == 100) {
                place.temporary.clear();
                return -1;
            }
            continue;
        }
        fd = descriptorOf(handle, _O_WRONLY | _O_BINARY);
        if (fd < 0) return -1;
    }
    static bool handlerInstalled = false;
    if (!handlerInstalled) handlerInstalled = ::SetConsoleCtrlHandler(removePendingTemporary, TRUE);
    havePendingTemporary = 0;
    if (place.temporary.size() < sizeof pendingTemporary) {
        std::memcpy(pendingTemporary, place.temporary.c_str(), place.temporary.size() + 1);
        havePendingTemporary = 1;
    }
    return fd;
}

bool moveIntoPlace(const OutputPlace& place) {
    return ::MoveFileExA(place.temporary.c_str(), place.target.c_str(),
                         MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
}

void removeTemporary(const OutputPlace& place) { ::DeleteFileA(place.temporary.c_str()); }

void releasePlace(OutputPlace& place) {
    havePendingTemporary = 0;
    place = OutputPlace();
}

}  // namespace detail

}  // namespace kestrune::platform
