// SPDX-License-Identifier: MIT
// Internal to src/html: the one block that holds a document's text followed by its
// element arena. Elements store their texts as distances back into the text, so
// both must live in the same block.
#pragma once

#include <cstddef>
#include <memory>

#include "html/HtmlDocument.h"

namespace kestrune {

struct HtmlDocument::Storage {
    // Room for `textBytes` bytes of text plus its NUL and an arena sized for the
    // most elements such a text can produce. The memory is only committed as it is
    // used.
    static std::unique_ptr<Storage> create(std::size_t textBytes);
    ~Storage();

    char* text = nullptr;  // textBytes + 1 bytes and zero padding
    HtmlElement* elements = nullptr;
    std::size_t elementCapacity = 0;

  private:
    Storage() = default;
    void* block_ = nullptr;
    std::size_t blockBytes_ = 0;
    bool large_ = false;  // from platform::allocateLarge
};

}  // namespace kestrune
