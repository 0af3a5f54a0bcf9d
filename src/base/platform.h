// SPDX-License-Identifier: MIT
// The thin platform layer: the only place that talks to the operating system.
// Paths may use "\\" or "/" as separators; both are accepted everywhere.
#pragma once

#include <kestrune/codePage.h>

#include <cstddef>
#include <string>
#include <string_view>

#include "base/compiler.h"

namespace kestrune::platform {

// The path with every "\\" made "/": a backslash separates path parts on every system.
std::string withForwardSlashes(std::string_view path);

// Full path of the running program ("/usr/bin/kestrune"); empty when unknown.
std::string programFilePath();

// Full path of a program started under the name `argv0`: the real path of argv0 when
// it holds a separator, else the first match of the search for commands a shell
// does (PATH). Empty when it cannot be found. The fallback for programFilePath.
std::string programFilePathFromName(std::string_view argv0);

// The process's command line as one text, arguments separated by single spaces.
std::string rawCommandLine();

// The path names an existing file that is not a directory.
bool fileExists(std::string_view path);
// The path names an existing directory.
bool directoryExists(std::string_view path);

// The local ("ANSI") code page, by its Windows number: the system's own on Windows,
// 936 (GBK) elsewhere, unless the environment variable KESTRUNE_CODEPAGE names
// another (437, 850, 932, 1252, ...; 65001 is UTF-8; set but empty counts as unset).
// `usable` is false when the variable names no code page the system converter has,
// or one whose bytes for ASCII are not ASCII; `setting` is then the variable's text.
struct CodePageChoice {
    unsigned number = 0;
    bool usable = false;
    std::string setting;
};
CodePageChoice localCodePage();
// The system's own ANSI code page: GetACP() on Windows, 936 elsewhere.
unsigned systemCodePage();
inline constexpr const char* kCodePageVariable = "KESTRUNE_CODEPAGE";

// UTF-8 to the code page `number` through the system converter, in linear time:
// every character the code page cannot represent becomes its default character
// ("?"); ill-formed sequences become U+FFFD first, so that with 65001 the result is
// well-formed UTF-8 (and may be longer than the input). Empty input, or a code
// page the converter does not have, gives the empty text.
std::string utf8ToCodePage(std::string_view utf8, unsigned number);
// The way back: text in the code page `number` to UTF-8 through the same converter,
// in linear time. A byte that does not start a character the converter can read
// becomes the lone surrogate U+DC00 + byte, written as UTF-8 would write it (ED B2 80
// for 0x80; Python's "surrogate escapes"), and conversion goes on at the next byte.
// With 65001 the text's well-formed sequences are kept. A code page the converter
// does not have makes every byte such an escape.
std::string codePageToUtf8(std::string_view text, unsigned number);
// The system converter is glibc's iconv (on Windows the system's own tables).
#if defined(_WIN32)
inline constexpr bool kConverterIsIconv = false;
#else
inline constexpr bool kConverterIsIconv = true;
#endif

// True when `number` names a code page the converter has and whose bytes for ASCII
// are ASCII (the parser finds tags by their ASCII bytes).
bool isUsableCodePage(unsigned number);

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
    // For a file that cannot seek (pipe, FIFO, terminal): appends what it delivers to
    // `out` until its end, or until `out` holds `limit` bytes or more, and stops
    // there. False on a read error.
    bool readStream(std::string& out, std::size_t limit);

  private:
    int fd_ = -1;
};

namespace detail {
// Where an output file goes, as the system layer keeps it (see OutputFile).
struct OutputPlace {
    int directory = -1;       // the target's directory, where the system has descriptors
    std::string target;       // the target's name in `directory`, else its path
    std::string temporary;    // the same for the temporary file; empty when written directly
    bool madeTarget = false;  // the target was created empty, to be removed if not replaced
};
}  // namespace detail

// An output file that replaces its target as a whole. A regular target (or a
// missing one) is written to a new temporary file in the target's directory, under
// a name no one can guess, and commit() moves it over the target: the target holds
// either the old or the whole new content, never a mix.
// On Linux the temporary file takes the old file's owner, group and permission
// bits where the process may set them, and its user.* extended attributes; a new
// file gets 0666 less the umask. The path is opened as open(2) opens it, so the
// kernel decides whether symbolic links may be followed; a link stays a link and
// the file it leads to is replaced. A path that names an open descriptor of the
// process (/dev/stderr, /dev/fd/N, /proc/self/fd/N) is written through a copy of
// it, at its offset or at the end as it was opened, never replaced or cut short
// (one open only for reading is refused); a name of a descriptor that is not open
// is a path like any other. Any other existing target that is not a regular file
// (a device, a FIFO) and a file that was deleted while open are written directly.
// A directory, or a target that may not be opened for writing, is refused. A
// signal that ends the process (Ctrl+C and the like on Windows) removes the
// temporary file first.
// Every failure is kept: failure() describes the first one.
class OutputFile {
  public:
    OutputFile() = default;
    OutputFile(const OutputFile&) = delete;
    OutputFile& operator=(const OutputFile&) = delete;
    ~OutputFile();  // discards what was not committed

    bool create(std::string_view path);
    // Writes every byte (retrying short writes); false on an error.
    bool write(const char* bytes, std::size_t count);
    // Closes the file and puts it in place; false when either fails (the temporary
    // file is then removed and the target left as it was).
    bool commit();
    // Closes the file; a temporary file is removed, the target left as it was.
    void discard();
    // The first failure in the system's words ("No space left on device"); empty
    // while nothing failed.
    const std::string& failure() const { return failure_; }

  private:
    bool fail();  // records the system's error, discards, returns false

    int fd_ = -1;
    long long written_ = 0;  // bytes written so far
    detail::OutputPlace place_;
    std::string failure_;
};

// Appends the bytes to the file, creating it when it is missing, as fopen mode "a"
// does; false when the file cannot be opened or written.
bool appendToFile(std::string_view path, const char* bytes, std::size_t count);

// The path names the same file as the one open as standard output (so that what is
// written to both would overwrite each other: "-o /dev/stdout > page.json").
bool isStandardOutput(std::string_view path);

// Large blocks of zeroed memory straight from the system, committed page by page
// as they are first touched, in huge pages where the system offers them. Null
// when the system refuses. Free with freeLarge and the same size.
void* allocateLarge(std::size_t bytes);

// Blocks from this size on are worth taking with allocateLarge; smaller ones come
// from the heap. Sanitizer builds always use the heap, whose guard zones catch
// reads past the end.
inline constexpr std::size_t kLargeBlockBytes =
    KESTRUNE_ADDRESS_SANITIZER ? ~std::size_t{0} : std::size_t{2} << 20;

void freeLarge(void* block, std::size_t bytes);

// Asks the system to back the whole pages inside [block, block + bytes) at once,
// for memory about to be filled: one call instead of a page fault per page. A hint
// only; nothing happens where the system has no such call.
void prefault(void* block, std::size_t bytes);

// Tells the heap to keep memory that is freed for the blocks that follow, rather
// than hand it back to the system and take it again: a short run frees large
// buffers and allocates others, and each page taken afresh costs a page fault.
// Called once, first thing; nothing happens where the heap has no such setting.
void keepFreedMemory();

// Blocks of memory from the heap, as malloc, realloc and free (null when refused).
// The buffers of the tool take their memory here, so that tests can refuse it.
void* allocate(std::size_t bytes);
void* reallocate(void* block, std::size_t bytes);
void release(void* block);

// Writes every byte to standard output or standard error (retrying short writes);
// false on an error, whose description errorText() then gives.
bool writeStandardOutput(const char* bytes, std::size_t count);
bool writeStandardError(const char* bytes, std::size_t count);
// The system's words for the last failure of a call ("No space left on device").
std::string errorText();
// The last failure of a write was a pipe whose reader has gone (a closed pipe, as
// when the output goes to "head").
bool lastErrorIsClosedPipe();
// The last failure of an open was a file or folder that does not exist.
bool lastErrorIsNotFound();

// Appends standard input's bytes, as they are (never translated: binary mode), to
// `out` until its end, or until `out` holds `limit` bytes or more, as
// InputFile::readStream does. False on a read error (errorText() says why).
bool readStandardInput(std::string& out, std::size_t limit);

// Faults on demand, for tests of the failure paths. Both apply to the whole process
// until changed; a negative value turns them off (the default).
namespace faults {
// Output files created from now on fail to write once `bytes` bytes were written.
void failOutputAfter(long long bytes);
// allocate(), reallocate() and allocateLarge() refuse every call after the next
// `calls` calls.
void failAllocationAfter(long long calls);
}  // namespace faults

}  // namespace kestrune::platform
