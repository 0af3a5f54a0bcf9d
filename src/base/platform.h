// SPDX-License-Identifier: MIT
// The thin platform layer: the only place that talks to the operating system.
// Paths may use "\\" or "/" as separators; both are accepted everywhere.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace kestrune::platform {

// Full path of the running program ("/usr/bin/kestrune"); empty when unknown.
std::string programFilePath();

// The process's command line as one text, arguments separated by single spaces.
std::string rawCommandLine();

// The path names an existing file that is not a directory.
bool fileExists(std::string_view path);
// The path names an existing directory.
bool directoryExists(std::string_view path);

// UTF-8 to UTF-16. Ill-formed sequences become U+FFFD (see base/utf8.h).
std::u16string utf8ToWide(std::string_view utf8);
// UTF-8 to code page 936 (GBK) through the system converter: every character the
// code page cannot represent becomes "?". Empty input, or a converter that is not
// available, gives the empty text.
std::string utf8ToAnsi(std::string_view utf8);

// A file opened read-only.
class InputFile {
  public:
    InputFile() = default;
    InputFile(const InputFile&) = delete;
    InputFile& operator=(const InputFile&) = delete;
    ~InputFile();

    bool open(std::string_view path);
    // Size in bytes, taken by seeking to the end; -1 when the file cannot seek.
    long long size();
    // Reads up to `count` bytes from the start into `dst`; returns the bytes read.
    std::size_t readFromStart(char* dst, std::size_t count);

  private:
    int fd_ = -1;
};

// A file created (or truncated) for writing, as fopen mode "wb" does.
class OutputFile {
  public:
    OutputFile() = default;
    OutputFile(const OutputFile&) = delete;
    OutputFile& operator=(const OutputFile&) = delete;
    ~OutputFile();

    bool create(std::string_view path);
    bool isOpen() const { return fd_ >= 0; }
    // Writes every byte (retrying short writes); false on an error.
    bool write(const char* bytes, std::size_t count);
    void close();

  private:
    int fd_ = -1;
};

// Large blocks of zeroed memory straight from the system, committed page by page
// as they are first touched, in huge pages where the system offers them. Null
// when the system refuses. Free with freeLarge and the same size.
void* allocateLarge(std::size_t bytes);
void freeLarge(void* block, std::size_t bytes);

// Writes every byte to standard output (retrying short writes; errors are ignored).
void writeStandardOutput(const char* bytes, std::size_t count);

}  // namespace kestrune::platform
