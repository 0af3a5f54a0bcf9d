// SPDX-License-Identifier: MIT
// The file report.
#include "cli/report.h"

#include <algorithm>
#include <cstring>

#include "base/asciiTable.h"
#include "base/byteScan.h"
#include "base/keyOrder.h"
#include "cli/Console.h"
#include "json/JsonValue.h"

namespace kestrune {

namespace {

constexpr std::size_t kFileBlock = 1 << 20;

void printOutputFileLine(const std::string& path, Console& console) {
    console << "\r\nOutput File: " << path << "\r\n";
}

}  // namespace

bool DiskFileSink::create(const std::string& path) {
    toConsole_ = platform::isStandardOutput(path);
    return toConsole_ || file_.create(path);
}

bool DiskFileSink::write(std::string_view bytes) {
    if (!toConsole_) return file_.write(bytes.data(), bytes.size());
    console_.write(bytes);
    return !console_.failed();
}

bool DiskFileSink::commit() { return toConsole_ ? console_.flush() : file_.commit(); }

std::string DiskFileSink::failure() const {
    return toConsole_ ? "standard output failed" : file_.failure();
}

bool completeFile(const std::string& path, bool written, FileSink& files, Console& console) {
    if (written && files.commit()) return true;
    files.discard();
    console << "Error: output file \"" << path << "\" could not be written: " << files.failure()
            << ".\r\n";
    return false;
}

bool writeDoctypeFile(const std::string& path, std::string_view text, Console& console,
                      FileSink& files) {
    JsonObject top;
    top.addString("doctype", text);
    std::string json = top.toString();
    bool written = files.create(path) && files.write(json);
    if (!completeFile(path, written, files, console)) return false;
    printOutputFileLine(path, console);
    return true;
}

char* writeCleanedValue(char* to, std::string_view text, bool dropSpaces, bool json) {
    const char* in = text.data();
    std::size_t n = text.size();
    if (n < 16) {
        // Short values (most attribute values, many texts): byte by byte, without
        // the calls of the search and the copy.
        for (const char c : text) {
            const auto u = static_cast<unsigned char>(c);
            if (u >= 0x20 && c != '"' && c != '\\' && (c != ' ' || !dropSpaces)) {
                *to++ = c;
            } else if (!isControlChar(c) && !(dropSpaces && c == ' ')) {
                if (json) {
                    to = writeJsonEscaped(to, std::string_view(&c, 1));
                } else {
                    *to++ = c;
                }
            }
        }
        return to;
    }
    while (n > 0) {
        const std::size_t run =
            json ? findJsonEscape(in, n, dropSpaces) : findCleanupByte(in, n, dropSpaces);
        std::memcpy(to, in, run);
        to += run;
        in += run;
        n -= run;
        if (n == 0) break;
        const char c = *in++;
        --n;
        // What the scan stopped at is dropped, or else escaped.
        if (isControlChar(c) || (dropSpaces && c == ' ')) continue;
        to = writeJsonEscaped(to, std::string_view(&c, 1));
    }
    return to;
}

void ElementLayout::render(ByteBuffer& out, const std::vector<KeyedValue>& values, bool json) {
    placed_.clear();
    const std::string_view fixed = fixed_.view();
    std::size_t room = fixed.size();
    bool inOrder = true;
    for (const KeyedValue& value : values) {
        const std::uint32_t at = gapAt_[value.key];
        if (at == kNoGap || value.text.empty()) continue;
        inOrder = inOrder && (placed_.empty() || placed_.back().at < at);
        placed_.push_back({at, value.key, value.text, value.dropSpaces});
        // The worst case: every byte escaped as \u00XX.
        room += (json ? 6 : 1) * value.text.size();
    }
    if (!inOrder) {
        auto before = [](const Placed& a, const Placed& b) {
            return a.at != b.at ? a.at < b.at : a.key < b.key;
        };
        if (placed_.size() > 8) {
            std::sort(placed_.begin(), placed_.end(), before);
        } else {
            // A few values (the usual case): insertion, without a call.
            for (std::size_t i = 1; i < placed_.size(); ++i) {
                for (std::size_t j = i; j > 0 && before(placed_[j], placed_[j - 1]); --j) {
                    std::swap(placed_[j], placed_[j - 1]);
                }
            }
        }
    }
    char* to = out.room(room + kSlack);
    std::size_t from = 0;
    for (const Placed& value : placed_) {
        to = copySegment(to, fixed.data() + from, value.at - from);
        from = value.at;
        to = writeCleanedValue(to, value.text, value.dropSpaces, json);
    }
    out.grewTo(copySegment(to, fixed.data() + from, fixed.size() - from));
}

ElementFile::ElementFile(const std::string& path, std::string_view tagName, ReportKeys keys,
                         FileSink& files)
    : path_(path), files_(files), layout_(keys.size()) {
    // Members are unique by their escaped key, the first one added wins, and they
    // are written in byte order of the escaped keys: the same for every element, so
    // the order is found once and becomes the layout of every element. Keys that
    // need escaping are rare: only those are escaped, into one text.
    struct Escaped {
        std::uint32_t key;
        std::uint32_t begin;
        std::uint32_t end;
    };
    std::string escapedText;
    std::vector<Escaped> escaped;  // by key number
    std::vector<bool> isEscaped(keys.size());
    for (std::uint32_t i = 0; i < keys.size(); ++i) {
        if (findJsonEscape(keys[i].data(), keys[i].size()) == keys[i].size()) continue;
        const auto begin = static_cast<std::uint32_t>(escapedText.size());
        appendJsonEscaped(escapedText, keys[i]);
        escaped.push_back({i, begin, static_cast<std::uint32_t>(escapedText.size())});
        isEscaped[i] = true;
    }
    auto escapedKey = [&](std::size_t i) {
        if (!isEscaped[i]) return keys[i];
        auto it = std::lower_bound(escaped.begin(), escaped.end(), i,
                                   [](const Escaped& e, std::size_t key) { return e.key < key; });
        return std::string_view(escapedText).substr(it->begin, it->end - it->begin);
    };
    // Ties go by number, so the first of each run of equal keys is the one kept.
    const std::vector<std::uint32_t> order =
        keyOrder(keys.size(), escapedKey, [](unsigned char c) { return c; });
    std::size_t size = 2;
    for (std::uint32_t k : order) size += escapedKey(k).size() + 7;
    layout_.reserve(size);
    std::string_view previous;
    for (std::size_t m = 0; m < order.size(); ++m) {
        const std::string_view key = escapedKey(order[m]);
        if (m > 0 && key == previous) continue;
        previous = key;
        layout_.addGapAfter(m > 0 ? "\", \"" : "{\"", key, "\":\"", order[m]);
    }
    layout_.addText("\"}");
    ok_ = files_.create(path_);
    pending_.append("{\"");
    pending_.grewTo(writeJsonEscaped(pending_.room(6 * tagName.size()), tagName));
    pending_.append("\":[");
}

ElementFile::~ElementFile() {
    // A run that ends early (out of memory) leaves the target as it was.
    if (!finished_) files_.discard();
}

void ElementFile::render(ByteBuffer& out, const std::vector<KeyedValue>& values, bool first) {
    if (!first) out.append(", ");
    layout_.render(out, values, true);
}

bool ElementFile::add(const std::vector<KeyedValue>& values) {
    if (!ok_) return false;
    render(pending_, values, first_);
    first_ = false;
    if (pending_.size() < kFileBlock) return true;
    ok_ = files_.write(pending_.view());
    pending_.clear();
    return ok_;
}

bool ElementFile::addRendered(std::string_view elements) {
    if (!ok_ || elements.empty()) return ok_;
    first_ = false;
    ok_ = files_.write(pending_.view()) && files_.write(elements);
    pending_.clear();
    return ok_;
}

bool ElementFile::finish(Console& console) {
    pending_.append("]}");
    bool written = ok_ && files_.write(pending_.view());
    pending_.clear();
    finished_ = true;
    if (!completeFile(path_, written, files_, console)) return false;
    printOutputFileLine(path_, console);
    return true;
}

RecordFile::RecordFile(const std::string& path, FileSink& files) : path_(path), files_(files) {
    ok_ = files_.create(path_);
}

RecordFile::~RecordFile() {
    // A run that ends early (out of memory, no root) leaves the target as it was.
    if (!finished_) files_.discard();
}

void RecordFile::render(ByteBuffer& out, std::size_t number, std::string_view block) {
    out.append("// No.");
    out.append(std::to_string(number));
    out.append("\r\n");
    out.append(block);
    out.append("\r\n");
}

bool RecordFile::addRendered(std::string_view records) {
    if (ok_ && !records.empty()) ok_ = files_.write(records);
    return ok_;
}

bool RecordFile::finish(Console& console) {
    finished_ = true;
    return completeFile(path_, ok_, files_, console);
}

}  // namespace kestrune
