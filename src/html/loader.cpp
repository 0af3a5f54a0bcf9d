// SPDX-License-Identifier: MIT
// Loading a document: read the file whole, convert UTF-8 to the local code page, build
// the tree, find the root and read the charset declarations.
#include <kestrune/document.h>

#include <bit>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "base/asciiTable.h"
#include "base/byteScan.h"
#include "base/byteString.h"
#include "base/platform.h"
#include "base/utf8.h"
#include "html/codePage936.h"
#include "html/charsetDeclaration.h"
#include "html/documentState.h"
#include "html/treeBuilder.h"

namespace kestrune {

namespace {

// Zero bytes after the text's NUL, so that word-at-a-time scans may read past it.
constexpr std::size_t kTextPadding = 64;

constexpr std::size_t roundUp(std::size_t n, std::size_t to) { return (n + to - 1) / to * to; }

// Tag names are classed by reading eight bytes from their start (tagClassOfValidName):
// a name that ends the text needs seven readable bytes behind it.
static_assert(kTextPadding + 1 >= 8, "eight-byte reads of names at the end of the text");

// The most elements a text of `textBytes` bytes can produce: a top-level element
// consumes at least two bytes of text (or the last byte) and a child at least its
// three-byte start tag.
constexpr std::size_t elementCapacityFor(std::size_t textBytes) { return textBytes / 2 + 16; }

// Elements keep their links and their texts as 32-bit distances inside the block.
// (Counted in 64 bits, so that the sum cannot wrap where std::size_t has 32.)
static_assert(std::uint64_t{roundUp(kMaxInputBytes + 1 + kTextPadding, 64)} +
                      std::uint64_t{elementCapacityFor(kMaxInputBytes)} * sizeof(HtmlElement) <=
                  std::uint64_t{0xFFFFFFFF},
              "every distance in the largest block fits 32 bits");

}  // namespace

std::unique_ptr<DocumentStorage> DocumentStorage::create(std::size_t textBytes, bool arena) {
    std::unique_ptr<DocumentStorage> s(new DocumentStorage());
    std::size_t textRegion = roundUp(textBytes + 1 + kTextPadding, 64);
    s->length = textBytes;
    s->elementCapacity = arena ? elementCapacityFor(textBytes) : 0;
    s->blockBytes_ = textRegion + s->elementCapacity * sizeof(HtmlElement);
    // Text that fills at least half a huge page is read into huge pages: each small
    // page first touched costs microseconds (a fault, a cold page-table walk), so a
    // megabyte reads several times faster, for at most the input's size again.
    if (textBytes >= platform::kLargeBlockBytes / 2) {
        s->block_ = platform::allocateLarge(s->blockBytes_);
        s->large_ = s->block_ != nullptr;
    }
    if (s->block_ == nullptr) {
        s->block_ = platform::allocate(s->blockBytes_);
        if (s->block_ == nullptr) throw std::bad_alloc();
        // The text is filled next, whole.
        platform::prefault(s->block_, textRegion);
    }
    s->text = static_cast<char*>(s->block_);
    std::memset(s->text + textBytes, 0, textRegion - textBytes);
    s->elements = reinterpret_cast<HtmlElement*>(s->text + textRegion);
    return s;
}

DocumentStorage::~DocumentStorage() {
    if (large_) {
        platform::freeLarge(block_, blockBytes_);
    } else {
        platform::release(block_);
    }
}

int isUtf8(std::string_view text, int& allAscii) {
    allAscii = 1;
    int pending = 0;
    const auto* p = reinterpret_cast<const unsigned char*>(text.data());
    const auto* end = p + text.size();
    while (p < end) {
        if (pending == 0) {
            // Runs of ASCII without NUL, many bytes per step.
            p +=
                asciiRunLength(reinterpret_cast<const char*>(p), static_cast<std::size_t>(end - p));
            if (p == end) break;
        }
        unsigned char b = *p++;
        if (b == 0) break;
        if (pending == 0) {
            // Not ASCII: the run above took every ASCII byte but NUL.
            allAscii = 0;
            // The leading one bits announce the continuation bytes: one bit (10xxxxxx) is
            // a continuation byte, which cannot start a character; FE and FF announce 4.
            const int ones = std::countl_one(b);
            if (ones == 1) return 0;
            pending = ones > 6 ? 4 : ones - 1;
        } else {
            if (b < 0x80 || b > 0xBF) return 0;
            --pending;
        }
    }
    return pending == 0 ? 1 : 0;
}

std::unique_ptr<DocumentStorage> DocumentStorage::copyText(std::string_view text, bool arena) {
    // The same limit as for files, counted before the NUL cuts the text.
    if (isTooLargeInput(text.size())) return nullptr;
    text = text.substr(0, text.find('\0'));
    if (text.empty()) return nullptr;
    std::unique_ptr<DocumentStorage> storage = create(text.size(), arena);
    std::memcpy(storage->text, text.data(), text.size());
    return storage;
}

bool HtmlDocument::parse(std::string_view text) {
    return state_->parseStorage(DocumentStorage::copyText(text, true));
}

std::unique_ptr<DocumentStorage> DocumentStorage::readFile(std::string_view fileName, bool arena) {
    platform::InputFile file;
    if (!file.open(fileName)) return nullptr;
    long long size = file.size();
    if (size < 0) {
        // A pipe, FIFO or terminal: read to its end, but no further than the limit,
        // so that an endless stream is refused like a file that is too large.
        std::string stream;
        const auto limit = static_cast<std::size_t>(kMaxInputBytes);
        if (!file.readStream(stream, limit)) return nullptr;
        return copyText(stream, arena);
    }
    if (isTooLargeInput(static_cast<std::size_t>(size))) return nullptr;
    std::size_t bytes = static_cast<std::size_t>(size);
    std::unique_ptr<DocumentStorage> storage = create(bytes, arena);
    std::size_t read = file.readFromStart(storage->text, bytes);
    storage->text[read] = '\0';
    // The text ends at its first NUL.
    storage->length = std::strlen(storage->text);
    if (storage->length == 0) return nullptr;
    return storage;
}

bool HtmlDocument::load(std::string_view fileName) {
    return state_->parseStorage(DocumentStorage::readFile(fileName, true));
}

int DocumentText::load(std::string_view fileName, unsigned codePage) {
    storage_ = DocumentStorage::readFile(fileName, false);
    return prepare(codePage);
}

int DocumentText::assign(std::string_view text, unsigned codePage) {
    storage_ = DocumentStorage::copyText(text, false);
    return prepare(codePage);
}

int DocumentText::prepare(unsigned codePage) {
    if (!storage_) return 0;
    bool converted = false;
    return prepareText(storage_, codePage, false, converted) ? 1 : 0;
}

bool prepareText(std::unique_ptr<DocumentStorage>& storage, unsigned codePage, bool arena,
                 bool& converted) {
    char* text = storage->text;
    const std::size_t length = storage->length;
    int allAscii = 1;
    converted = false;
    if (!isUtf8(std::string_view(text, length), allAscii) || allAscii) return true;
    converted = true;
    const unsigned target = codePage != 0 ? codePage : platform::localCodePage().number;
    // Well-formed UTF-8 stays as it is in UTF-8: no second copy of the page.
    if (target == kUtf8 && isWellFormedUtf8(std::string_view(text, length))) {
        return true;
    }
    if (target == 936 && kCodePage936TableIsSystemConverter) {
        // Code page 936 never needs more bytes than UTF-8 for the same text, so the
        // table conversion happens in place.
        std::size_t converted936 = convertUtf8ToCodePage936(text, length);
        std::memset(text + converted936, 0, length - converted936);
        storage->length = converted936;
        return true;
    }
    std::string result = platform::utf8ToCodePage(std::string_view(text, length), target);
    // A converter that failed leaves no text to parse.
    if (result.empty()) return false;
    if (result.size() > length) {
        // UTF-8 with ill-formed parts replaced (or a code page of longer sequences)
        // may outgrow the block.
        storage = DocumentStorage::create(result.size(), arena);
    } else {
        std::memset(storage->text + result.size(), 0, length - result.size());
        storage->length = result.size();
    }
    std::memcpy(storage->text, result.data(), result.size());
    return true;
}

namespace detail {

bool DocumentState::parseStorage(std::unique_ptr<DocumentStorage> block) {
    if (!block) return false;
    reset();
    storage = std::move(block);
    const bool prepared = prepareText(storage, codePage, true, convertedFromUtf8);
    text = storage->text;
    elements = storage->elements;
    elementCapacity = storage->elementCapacity;
    // Nothing to parse when the conversion failed: the document stays empty.
    textLength = prepared ? storage->length : 0;
    if (!prepared) return false;

    TreeBuilder builder(*this, text, textLength);
    builder.build();
    return detectCharset();
}

bool DocumentState::detectCharset() {
    if (root == nullptr) return false;
    // The builder listed the meta elements in document order; those below the root
    // count. Elements are made in document order, so the root's subtree is the run of
    // elements from the root up to the next top-level element.
    const HtmlElement* end = root->nextSibling();
    if (end == nullptr) end = elements + elementCount;
    for (const HtmlElement* meta : metas) {
        if (meta > root && meta < end) examineMeta(*meta);
    }
    return true;
}

void DocumentState::examineMeta(const HtmlElement& meta) {
    if (!charset.empty()) return;  // the first declaration wins
    readCharsetDeclaration(
        [&](std::string_view name, std::string& value) { return meta.getAttribute(name, value); },
        contentType, charset);
}

}  // namespace detail

}  // namespace kestrune
