// SPDX-License-Identifier: MIT
// Internal to the library: the one block that holds a document's text followed by its
// element arena. Elements store their texts as distances back into the text, so
// both must live in the same block.
#pragma once

#include <kestrune/document.h>

#include <cstddef>
#include <memory>
#include <string_view>

namespace kestrune {

struct DocumentStorage {
    // Room for `textBytes` bytes of text plus its NUL and, with `arena`, an arena
    // sized for the most elements such a text can produce. The memory is only
    // committed as it is used.
    static std::unique_ptr<DocumentStorage> create(std::size_t textBytes, bool arena = true);
    // Reads the file as HtmlDocument::load does and cuts its text at the first NUL;
    // null when it cannot be opened, is too large or its text is empty.
    static std::unique_ptr<DocumentStorage> readFile(std::string_view fileName, bool arena);
    // The same for a text in memory, as HtmlDocument::parse takes it.
    static std::unique_ptr<DocumentStorage> copyText(std::string_view text, bool arena);
    ~DocumentStorage();

    char* text = nullptr;    // textBytes + 1 bytes and zero padding
    std::size_t length = 0;  // of the text, up to its NUL
    HtmlElement* elements = nullptr;
    std::size_t elementCapacity = 0;

  private:
    DocumentStorage() = default;
    void* block_ = nullptr;
    std::size_t blockBytes_ = 0;
    bool large_ = false;  // from platform::allocateLarge
};

// 1 when the bytes of [text, text + length) are UTF-8 by a lax rule (lead bytes
// announce 1 to 5 continuation bytes; overlong forms and surrogates pass) with
// nothing pending at the end; allAscii = 1 when no byte >= 0x80 was seen before the
// scan ended.
int isUtf8(std::string_view text, int& allAscii);

// Converts the text in `storage` to `codePage` (0: the local one) when it is valid
// UTF-8 with a non-ASCII byte, and sets `converted`. Code page 936 is converted in
// place; a text that grows gets a new block (with an element arena when `arena`).
// False when the converter failed.
bool prepareText(std::unique_ptr<DocumentStorage>& storage, unsigned codePage, bool arena,
                 bool& converted);

// A document's text read and prepared as HtmlDocument::load prepares it (cut at its
// first NUL, UTF-8 converted to the local code page), for consumers of the parser core
// that need no tree.
class DocumentText {
  public:
    // 0 when the file cannot be opened, holds 10 MiB or more, has an empty text, or
    // its conversion to `codePage` (0: the local one) failed.
    int load(std::string_view fileName, unsigned codePage = 0);
    // The same for a text in memory, as HtmlDocument::parse takes it.
    int assign(std::string_view text, unsigned codePage = 0);
    // The text, NUL-terminated and followed by zero padding; valid while this lives.
    char* data() const { return storage_ ? storage_->text : nullptr; }
    std::size_t size() const { return storage_ ? storage_->length : 0; }

  private:
    int prepare(unsigned codePage);
    std::unique_ptr<DocumentStorage> storage_;
};

}  // namespace kestrune
