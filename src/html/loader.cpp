// SPDX-License-Identifier: MIT
// Loading a document: read the file whole, convert UTF-8 to the local code page, build
// the tree, find the root and read the charset declarations.
#include <kestrune/document.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "base/asciiTable.h"
#include "base/byteString.h"
#include "base/platform.h"
#include "html/charsetDeclaration.h"
#include "html/codePage936.h"
#include "html/documentState.h"
#include "html/treeBuilder.h"

namespace kestrune {

namespace {

// Zero bytes after the text's NUL.
constexpr std::size_t kTextPadding = 64;

constexpr std::size_t roundUp(std::size_t n, std::size_t to) { return (n + to - 1) / to * to; }

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

std::unique_ptr<DocumentStorage> DocumentStorage::copyText(std::string_view text, bool arena) {
    std::unique_ptr<DocumentStorage> storage = create(text.size(), arena);
    std::memcpy(storage->text, text.data(), text.size());
    return storage;
}

bool HtmlDocument::parse(std::string_view text) {
    // The same limit as for files, counted before the NUL cuts the text.
    if (isTooLargeInput(text.size())) return false;
    TextScan scan;
    scanForReading(scan, text.data(), text.size(), targetCodePage(state_->codePage));
    if (scan.facts().length == 0) return false;
    // The copy holds the text, which ends at its first NUL.
    std::unique_ptr<DocumentStorage> storage =
        DocumentStorage::copyText(text.substr(0, scan.facts().length), true);
    scan.moveTo(storage->text);
    return state_->parseStorage(std::move(storage), scan);
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
        if (isTooLargeInput(stream.size())) return nullptr;
        return copyText(stream, arena);
    }
    if (isTooLargeInput(static_cast<std::size_t>(size))) return nullptr;
    std::size_t bytes = static_cast<std::size_t>(size);
    std::unique_ptr<DocumentStorage> storage = create(bytes, arena);
    std::size_t read = file.readFromStart(storage->text, bytes);
    storage->text[read] = '\0';
    storage->length = read;
    return storage;
}

bool HtmlDocument::load(std::string_view fileName) {
    std::unique_ptr<DocumentStorage> storage = DocumentStorage::readFile(fileName, true);
    if (!storage) return false;
    TextScan scan;
    scanForReading(scan, storage->text, storage->length, targetCodePage(state_->codePage));
    if (scan.facts().length == 0) return false;
    return state_->parseStorage(std::move(storage), scan);
}

unsigned targetCodePage(unsigned codePage) {
    return codePage != 0 ? codePage : platform::localCodePage().number;
}

void scanForReading(TextScan& scan, const char* bytes, std::size_t size, unsigned target) {
    scan.scan(bytes, size, target == kUtf8);
}

bool needsConversion(const TextFacts& facts, unsigned target) {
    if (!facts.utf8 || facts.ascii) return false;
    // Well-formed UTF-8 stays as it is in UTF-8: no copy of the page.
    return !(target == kUtf8 && facts.wellFormedUtf8);
}

bool convertText(const char* text, std::size_t length, unsigned target, bool arena,
                 std::unique_ptr<DocumentStorage>& own, TextScan& scan) {
    if (target == 936 && kCodePage936TableIsSystemConverter) {
        // Code page 936 never needs more bytes than UTF-8 for the same text, so the
        // table conversion happens in place (in a copy when the text is not ours).
        if (!own || own->text != text) own = DocumentStorage::copyText({text, length}, arena);
        const std::size_t converted = convertUtf8ToCodePage936(own->text, length);
        std::memset(own->text + converted, 0, own->length - converted);
        own->length = converted;
    } else {
        std::string result = platform::utf8ToCodePage(std::string_view(text, length), target);
        // A converter that failed leaves no text to parse.
        if (result.empty()) return false;
        if (own && own->text == text && result.size() <= own->length) {
            std::memset(own->text + result.size(), 0, own->length - result.size());
            own->length = result.size();
        } else {
            // UTF-8 with ill-formed parts replaced (or a code page of longer sequences)
            // may outgrow the block.
            own = DocumentStorage::create(result.size(), arena);
        }
        std::memcpy(own->text, result.data(), result.size());
    }
    scan.scan(own->text, own->length, false);
    return true;
}

int PageText::assign(std::string_view bytes, unsigned codePage) {
    storage_.reset();
    return prepare(bytes.data(), bytes.size(), codePage);
}

int PageText::load(std::string_view fileName, unsigned codePage) {
    storage_ = DocumentStorage::readFile(fileName, false);
    if (!storage_) return 0;
    return prepare(storage_->text, storage_->length, codePage);
}

int PageText::prepare(const char* bytes, std::size_t size, unsigned codePage) {
    // The same limit as for files, counted before the NUL cuts the text.
    if (isTooLargeInput(size)) return 0;
    const unsigned target = targetCodePage(codePage);
    scanForReading(scan_, bytes, size, target);
    if (scan_.facts().length == 0) return 0;
    if (!needsConversion(scan_.facts(), target)) return 1;
    return convertText(bytes, scan_.facts().length, target, false, storage_, scan_) ? 1 : 0;
}

namespace detail {

bool DocumentState::parseStorage(std::unique_ptr<DocumentStorage> block, TextScan& scan) {
    reset();
    storage = std::move(block);
    const unsigned target = targetCodePage(codePage);
    convertedFromUtf8 = scan.facts().utf8 && !scan.facts().ascii;
    const bool prepared =
        !needsConversion(scan.facts(), target) ||
        convertText(storage->text, scan.facts().length, target, true, storage, scan);
    text = storage->text;
    elements = storage->elements;
    elementCapacity = storage->elementCapacity;
    // Nothing to parse when the conversion failed: the document stays empty.
    textLength = prepared ? scan.facts().length : 0;
    if (!prepared) return false;

    TreeBuilder builder(*this, scan.text());
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
