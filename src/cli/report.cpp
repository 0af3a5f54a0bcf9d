// SPDX-License-Identifier: MIT
// The file report.
#include "cli/report.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "base/byteScan.h"
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

ElementFile::ElementFile(const std::string& path, std::string_view tagName, ReportKeys keys,
                         FileSink& files)
    : path_(path), files_(files), keys_(keys) {
    // Members are unique by their escaped key, the first one added wins, and they
    // are written in byte order of the escaped keys: the same for every element.
    // Key numbers are sorted, not the keys (tens of thousands of names would
    // otherwise be moved again and again), and the ties go by number, so the first
    // of each run of equal keys is the one that stays. The keys are escaped into
    // one text only when one of them needs it.
    bool plain = true;
    for (std::size_t i = 0; i < keys.size() && plain; ++i) {
        plain = findJsonEscape(keys[i].data(), keys[i].size()) == keys[i].size();
    }
    if (!plain) {
        // Room for the worst case, so the text is never moved; only what is
        // written is touched.
        std::size_t size = 0;
        for (std::size_t i = 0; i < keys.size(); ++i) size += keys[i].size();
        escapedKeys_.reserve(6 * size);
        escapedEnds_.reserve(keys.size() + 1);
        escapedEnds_.push_back(0);
        for (std::size_t i = 0; i < keys.size(); ++i) {
            appendJsonEscaped(escapedKeys_, keys[i]);
            escapedEnds_.push_back(static_cast<uint32_t>(escapedKeys_.size()));
        }
    }
    // Most comparisons end at the first four bytes, kept beside each key number: as
    // a number they order like the bytes (escaped keys hold no NUL byte, so zero
    // padding sorts a key before its extensions).
    order_.resize(keys.size());
    for (uint32_t i = 0; i < order_.size(); ++i) {
        const std::string_view key = escapedKey(i);
        uint32_t head = 0;
        for (std::size_t b = 0; b < 4; ++b) {
            head = head << 8 | (b < key.size() ? static_cast<unsigned char>(key[b]) : 0u);
        }
        order_[i] = {head, i};
    }
    std::sort(order_.begin(), order_.end(), [&](const Member& a, const Member& b) {
        if (a.head != b.head) return a.head < b.head;
        const int c = escapedKey(a.index).compare(escapedKey(b.index));
        return c != 0 ? c < 0 : a.index < b.index;
    });
    order_.erase(std::unique(order_.begin(), order_.end(),
                             [&](const Member& a, const Member& b) {
                                 return a.head == b.head &&
                                        escapedKey(a.index) == escapedKey(b.index);
                             }),
                 order_.end());
    ok_ = files_.create(path_);
    pending_.append("{\"");
    pending_.grewTo(writeJsonEscaped(pending_.room(6 * tagName.size()), tagName));
    pending_.append("\":[");
}

ElementFile::~ElementFile() {
    // A run that ends early (out of memory) leaves the target as it was.
    if (!finished_) files_.discard();
}

void ElementFile::render(ByteBuffer& out, const std::vector<std::string>& values,
                         bool first) const {
    // Room for the worst case (every byte escaped as \\u00XX), then one pass of writes.
    std::size_t room = 4;
    for (const Member& member : order_) {
        room += 7 + escapedKey(member.index).size() + 6 * values[member.index].size();
    }
    char* at = out.room(room);
    if (!first) {
        *at++ = ',';
        *at++ = ' ';
    }
    *at++ = '{';
    for (std::size_t m = 0; m < order_.size(); ++m) {
        if (m > 0) {
            *at++ = ',';
            *at++ = ' ';
        }
        const std::string_view key = escapedKey(order_[m].index);
        *at++ = '"';
        std::memcpy(at, key.data(), key.size());
        at += key.size();
        std::memcpy(at, "\":\"", 3);
        at += 3;
        const std::string& value = values[order_[m].index];
        if (!value.empty()) at = writeJsonEscaped(at, value);
        *at++ = '"';
    }
    *at++ = '}';
    out.grewTo(at);
}

bool ElementFile::add(const std::vector<std::string>& values) {
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

void RecordFile::open(const std::string& path) {
    path_ = path;
    ok_ = files_.create(path);
}

bool RecordFile::write(long long number, std::string_view block) {
    if (!ok_) return false;
    char header[32] = {};
    std::snprintf(header, sizeof header, "// No.%lld\r\n", number);
    pending_.append(header);
    if (block.size() >= kFileBlock) {
        ok_ = flush() && files_.write(block);
    } else {
        pending_.append(block.data(), static_cast<int>(block.size()));
    }
    pending_.append("\r\n");
    if (ok_ && static_cast<std::size_t>(pending_.length()) >= kFileBlock) ok_ = flush();
    return ok_;
}

bool RecordFile::flush() {
    const bool written = files_.write(
        std::string_view(pending_.data(), static_cast<std::size_t>(pending_.length())));
    pending_.assign("");
    return written;
}

bool RecordFile::close(Console& console) {
    ok_ = ok_ && flush();
    return completeFile(path_, ok_, files_, console);
}

}  // namespace kestrune
