// SPDX-License-Identifier: MIT
// Internal to the library: the one block that holds a document's text followed by its
// element arena (elements store their texts as distances back into the text, so
// both must live in the same block), and the preparation of a page's text.
#pragma once

#include <kestrune/document.h>

#include <cstddef>
#include <memory>
#include <string_view>

#include "html/textScan.h"

namespace kestrune {

struct DocumentStorage {
    // Room for `textBytes` bytes of text plus its NUL and, with `arena`, an arena
    // sized for the most elements such a text can produce. The memory is only
    // committed as it is used.
    static std::unique_ptr<DocumentStorage> create(std::size_t textBytes, bool arena = true);
    // Reads the file whole as HtmlDocument::load does (its text is not cut at a NUL
    // yet); null when it cannot be opened or is too large.
    static std::unique_ptr<DocumentStorage> readFile(std::string_view fileName, bool arena);
    // A copy of the bytes.
    static std::unique_ptr<DocumentStorage> copyText(std::string_view text, bool arena);
    ~DocumentStorage();

    char* text = nullptr;    // textBytes + 1 bytes, the last one NUL, and zero padding
    std::size_t length = 0;  // of the bytes held
    HtmlElement* elements = nullptr;
    std::size_t elementCapacity = 0;

  private:
    DocumentStorage() = default;
    void* block_ = nullptr;
    std::size_t blockBytes_ = 0;
    bool large_ = false;  // from platform::allocateLarge
};

// The code page a text is converted to: `codePage`, or the local one for 0.
unsigned targetCodePage(unsigned codePage);

// Scans bytes that will be read as text converted to code page `target` (strict
// UTF-8 is learnt for UTF-8, which keeps a well-formed text as it is).
void scanForReading(TextScan& scan, const char* bytes, std::size_t size, unsigned target);

// True when a text with these facts is converted to code page `target`: it is valid
// UTF-8 with a non-ASCII byte, and not well-formed UTF-8 that UTF-8 keeps unchanged.
bool needsConversion(const TextFacts& facts, unsigned target);

// Converts the text of `length` bytes at `text` (valid UTF-8) to code page `target`:
// in place when it is the text `own` holds and the code page allows, else into a new
// block (with an element arena when `arena`) that replaces `own`; then scans the text
// converted into `scan`. False when the converter failed.
bool convertText(const char* text, std::size_t length, unsigned target, bool arena,
                 std::unique_ptr<DocumentStorage>& own, TextScan& scan);

// A page's text as the parser core reads it, prepared as HtmlDocument::load prepares
// it (cut at its first NUL, UTF-8 converted to the local code page), for consumers of
// the core that need no tree. A page in memory that needs no conversion is read where
// it lies, never written.
class PageText {
  public:
    // 0 when the page holds 10 MiB or more, its text is empty, or its conversion to
    // `codePage` (0: the local one) failed. The text is valid while this and the
    // bytes live.
    int assign(std::string_view bytes, unsigned codePage = 0);
    // The same for a file, read whole (0 too when it cannot be opened).
    int load(std::string_view fileName, unsigned codePage = 0);
    // The text, with the places of its "<" and ">".
    ScannedText text() const { return scan_.text(); }
    const TextFacts& facts() const { return scan_.facts(); }

  private:
    int prepare(const char* bytes, std::size_t size, unsigned codePage);
    std::unique_ptr<DocumentStorage> storage_;  // the file's bytes, or the text converted
    TextScan scan_;
};

}  // namespace kestrune
