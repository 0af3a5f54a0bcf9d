// SPDX-License-Identifier: MIT
#include "support/runTool.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string_view>

#if defined(_WIN32)
#include <windows.h>

#include <thread>
#else
#include <poll.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;
#endif

namespace kestrune::testing {

namespace {

// The environment entries of `current` with those of `changes` added, an entry of
// the same name replaced.
std::vector<std::string> mergedEnvironment(std::vector<std::string> current,
                                           const std::vector<std::string>& changes) {
    for (const std::string& change : changes) {
        std::string_view name = std::string_view(change).substr(0, change.find('=') + 1);
        std::erase_if(current, [&](const std::string& e) { return e.starts_with(name); });
        current.push_back(change);
    }
    return current;
}

#if defined(_WIN32)

// One argument as the C runtime's command line parser reads it back.
void appendQuoted(std::string& line, const std::string& argument) {
    if (!line.empty()) line += ' ';
    if (!argument.empty() && argument.find_first_of(" \t\"") == std::string::npos) {
        line += argument;
        return;
    }
    line += '"';
    std::size_t backslashes = 0;
    for (char c : argument) {
        if (c == '\\') {
            ++backslashes;
            continue;
        }
        // Backslashes before a quote are doubled, and the quote escaped.
        line.append(c == '"' ? 2 * backslashes + 1 : backslashes, '\\');
        backslashes = 0;
        line += c;
    }
    line.append(2 * backslashes, '\\');
    line += '"';
}

std::vector<std::string> currentEnvironment() {
    std::vector<std::string> entries;
    char* block = GetEnvironmentStringsA();
    for (const char* p = block; p != nullptr && *p != '\0'; p += std::strlen(p) + 1) {
        entries.emplace_back(p);
    }
    if (block != nullptr) FreeEnvironmentStringsA(block);
    return entries;
}

std::string readAll(HANDLE pipe) {
    std::string bytes;
    char chunk[65536];
    DWORD n = 0;
    while (ReadFile(pipe, chunk, sizeof chunk, &n, nullptr) && n > 0) bytes.append(chunk, n);
    return bytes;
}

#endif

}  // namespace

std::string toolPath() {
    // Another build of the program may be tried against the same tests.
    const char* other = std::getenv("KESTRUNE_BINARY");
    return other != nullptr && *other != '\0' ? other : KESTRUNE_BINARY;
}

#if defined(_WIN32)

ToolRun runTool(const std::vector<std::string>& args, const std::string& cwd,
                const std::string& binary, const std::vector<std::string>& environment) {
    ToolRun run;
    std::string program = binary.empty() ? toolPath() : binary;
    std::string line;
    appendQuoted(line, program);
    for (const std::string& a : args) appendQuoted(line, a);
    std::string block;
    for (const std::string& e : mergedEnvironment(currentEnvironment(), environment)) {
        block += e;
        block += '\0';
    }
    block += '\0';

    SECURITY_ATTRIBUTES inherit{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
    HANDLE outRead, outWrite, errRead, errWrite;
    if (!CreatePipe(&outRead, &outWrite, &inherit, 0)) return run;
    if (!CreatePipe(&errRead, &errWrite, &inherit, 0)) {
        CloseHandle(outRead);
        CloseHandle(outWrite);
        return run;
    }
    SetHandleInformation(outRead, HANDLE_FLAG_INHERIT, 0);
    SetHandleInformation(errRead, HANDLE_FLAG_INHERIT, 0);
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
    startup.hStdOutput = outWrite;
    startup.hStdError = errWrite;
    PROCESS_INFORMATION process{};
    // Under heavy load Wine has been seen to refuse a start once: one more try, and
    // the refusal is reported in `errors` when it stays.
    BOOL started = FALSE;
    for (int attempt = 0; attempt < 2 && !started; ++attempt) {
        if (attempt > 0) Sleep(200);
        started =
            CreateProcessA(program.c_str(), line.data(), nullptr, nullptr, TRUE, 0, block.data(),
                           cwd.empty() ? nullptr : cwd.c_str(), &startup, &process);
    }
    if (!started) run.errors = "CreateProcess failed: error " + std::to_string(GetLastError());
    CloseHandle(outWrite);
    CloseHandle(errWrite);
    if (started) {
        // Both pipes are drained at once, so that a child filling one never blocks.
        std::thread errors([&] { run.errors = readAll(errRead); });
        run.output = readAll(outRead);
        errors.join();
        WaitForSingleObject(process.hProcess, INFINITE);
        DWORD code = 0;
        if (GetExitCodeProcess(process.hProcess, &code)) run.status = static_cast<int>(code & 0xFF);
        CloseHandle(process.hProcess);
        CloseHandle(process.hThread);
    }
    CloseHandle(outRead);
    CloseHandle(errRead);
    return run;
}

#else

ToolRun runTool(const std::vector<std::string>& args, const std::string& cwd,
                const std::string& binary, const std::vector<std::string>& environment) {
    ToolRun run;
    std::string program = binary.empty() ? toolPath() : binary;
    int out[2], err[2];
    if (pipe(out) != 0 || pipe(err) != 0) return run;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, out[1], 1);
    posix_spawn_file_actions_adddup2(&actions, err[1], 2);
    posix_spawn_file_actions_addclose(&actions, out[0]);
    posix_spawn_file_actions_addclose(&actions, err[0]);
    if (!cwd.empty()) posix_spawn_file_actions_addchdir_np(&actions, cwd.c_str());
    std::vector<char*> argv;
    argv.push_back(program.data());
    std::vector<std::string> copies = args;
    for (std::string& a : copies) argv.push_back(a.data());
    argv.push_back(nullptr);
    std::vector<std::string> entries;
    for (char** e = environ; *e != nullptr; ++e) entries.emplace_back(*e);
    entries = mergedEnvironment(std::move(entries), environment);
    std::vector<char*> envp;
    for (std::string& e : entries) envp.push_back(e.data());
    envp.push_back(nullptr);
    pid_t pid = 0;
    int rc = posix_spawn(&pid, program.c_str(), &actions, nullptr, argv.data(), envp.data());
    posix_spawn_file_actions_destroy(&actions);
    close(out[1]);
    close(err[1]);
    if (rc != 0) {
        close(out[0]);
        close(err[0]);
        return run;
    }
    pollfd fds[2] = {{out[0], POLLIN, 0}, {err[0], POLLIN, 0}};
    std::string* sinks[2] = {&run.output, &run.errors};
    int open = 2;
    char chunk[65536];
    while (open > 0) {
        if (poll(fds, 2, -1) < 0) break;
        for (int i = 0; i < 2; ++i) {
            if (fds[i].fd < 0 || fds[i].revents == 0) continue;
            ssize_t n = read(fds[i].fd, chunk, sizeof chunk);
            if (n > 0) {
                sinks[i]->append(chunk, static_cast<std::size_t>(n));
            } else {
                close(fds[i].fd);
                fds[i].fd = -1;
                --open;
            }
        }
    }
    int status = 0;
    waitpid(pid, &status, 0);
    if (WIFEXITED(status)) run.status = WEXITSTATUS(status);
    if (WIFSIGNALED(status)) run.signal = WTERMSIG(status);
    return run;
}

#endif

TempDir::TempDir() {
    // The system's temporary directory (TMPDIR, or TEMP on Windows), with forward
    // slashes, as the tool stores paths.
    std::error_code ec;
    std::filesystem::path base = std::filesystem::temp_directory_path(ec);
    if (ec) return;
    std::random_device seed;
    std::mt19937_64 rng(seed());
    for (int attempt = 0; attempt < 100; ++attempt) {
        std::filesystem::path candidate =
            base / ("kestrune-test-" + std::to_string(rng() % 1000000000));
        if (std::filesystem::create_directory(candidate, ec)) {
            path_ = candidate.generic_string();
            return;
        }
    }
}

TempDir::~TempDir() {
    if (path_.empty()) return;
    std::error_code ec;
    // Make read-only leftovers removable before deleting them.
    for (auto& entry : std::filesystem::recursive_directory_iterator(path_, ec)) {
        std::filesystem::permissions(entry.path(), std::filesystem::perms::owner_all,
                                     std::filesystem::perm_options::add, ec);
    }
    std::filesystem::remove_all(path_, ec);
}

std::string TempDir::write(const std::string& name, const std::string& bytes) const {
    std::string full = path_ + "/" + name;
    std::ofstream f(full, std::ios::binary);
    f.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    return full;
}

CurrentDirectory::CurrentDirectory(const std::string& dir)
    : saved_(std::filesystem::current_path().string()) {
    std::filesystem::current_path(dir);
}

CurrentDirectory::~CurrentDirectory() {
    std::error_code ec;
    std::filesystem::current_path(saved_, ec);
}

std::vector<std::string> corpusPages() {
    std::vector<std::string> pages;
    std::error_code ec;
    for (const auto& entry : std::filesystem::directory_iterator(
             std::filesystem::path(KESTRUNE_SOURCE_DIR) / ".." / "shared" / "corpus" / "real",
             ec)) {
        if (entry.path().extension() == ".html") pages.push_back(entry.path().string());
    }
    std::sort(pages.begin(), pages.end());
    return pages;
}

std::string readFile(const std::string& path) {
    std::ifstream f(path, std::ios::binary);
    if (!f) return std::string();
    return std::string(std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>());
}

bool pathExists(const std::string& path) {
    std::error_code ec;
    return std::filesystem::exists(path, ec);
}

std::string parameterName(std::string name) {
    std::ranges::replace(name, '-', '_');
    return name;
}

}  // namespace kestrune::testing
