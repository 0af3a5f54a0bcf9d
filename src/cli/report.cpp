// The file report.
#include "cli/report.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "base/TextBuffer.h"
#include "cli/Console.h"
#include "json/JsonValue.h"

namespace kestrune {

namespace {

constexpr std::size_t kFileBlock = 1 << 20;

void printOutputFileLine(const std::string& path, Console& console) {
    console << "\r\nOutput File: " << path << "\r\n";
}

}  // namespace

bool MemoryFileSink::create(const std::string& path) {
    if (refuse) return false;
    current_ = &files[path];
    current_->clear();
    return true;
}

void MemoryFileSink::write(std::string_view bytes) {
    if (current_ != nullptr) current_->append(bytes);
}

void writeDoctypeFile(const std::string& path, std::string_view text, Console& console,
                      FileSink& files) {
    printOutputFileLine(path, console);
    JsonObject top;
    top.addString("doctype", text);
    std::string json = top.toString();
    if (!files.create(path)) return;
    files.write(json);
    files.close();
}

ElementFile::ElementFile(const std::string& path, std::string_view tagName,
                         std::vector<std::string> keys, FileSink& files)
    : path_(path), files_(files) {
    // Members are unique by their escaped key, the first one added wins, and they
    // are written in byte order of the escaped keys: the same for every element.
    std::vector<std::pair<std::string, std::size_t>> members;
    for (std::size_t i = 0; i < keys.size(); ++i) {
        std::string escaped;
        appendJsonEscaped(escaped, keys[i]);
        bool seen = std::any_of(members.begin(), members.end(),
                                [&](const auto& m) { return m.first == escaped; });
        if (!seen) members.emplace_back(std::move(escaped), i);
    }
    std::sort(members.begin(), members.end());
    for (auto& [escaped, index] : members) {
        order_.push_back(index);
        memberPrefixes_.push_back("\"" + escaped + "\":\"");
    }
    pending_.append("{\"");
    pending_.grewTo(writeJsonEscaped(pending_.room(6 * tagName.size()), tagName));
    pending_.append("\":[");
}

ElementFile::~ElementFile() {
    if (open_) files_.close();
}

void ElementFile::create() { open_ = files_.create(path_); }

void ElementFile::render(ByteBuffer& out, const std::vector<std::string>& values,
                         bool first) const {
    // Room for the worst case (every byte escaped as \u00XX), then one pass of writes.
    std::size_t room = 4;
    for (std::size_t m = 0; m < order_.size(); ++m) {
        room += 3 + memberPrefixes_[m].size() + 6 * values[order_[m]].size();
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
        const std::string& prefix = memberPrefixes_[m];
        std::memcpy(at, prefix.data(), prefix.size());
        at = writeJsonEscaped(at + prefix.size(), values[order_[m]]);
        *at++ = '"';
    }
    *at++ = '}';
    out.grewTo(at);
}

void ElementFile::add(const std::vector<std::string>& values) {
    render(pending_, values, first_);
    first_ = false;
    if (pending_.size() < kFileBlock) return;
    if (open_) files_.write(pending_.view());
    pending_.clear();
}

void ElementFile::addRendered(std::string_view elements) {
    if (elements.empty()) return;
    first_ = false;
    if (open_) {
        files_.write(pending_.view());
        files_.write(elements);
    }
    pending_.clear();
}

void ElementFile::finish(Console& console) {
    printOutputFileLine(path_, console);
    pending_.append("]}");
    if (open_) {
        files_.write(pending_.view());
        files_.close();
        open_ = false;
    }
    pending_.clear();
}

bool RecordFile::open(const std::string& path) {
    open_ = files_.create(path);
    return open_;
}

void RecordFile::write(long long number, std::string_view block) {
    if (!open_) return;
    char header[32] = {};
    std::snprintf(header, sizeof header, "// No.%lld\r\n", number);
    TextBuffer record(header);
    record.append(block.data(), static_cast<int>(block.size()));
    record.append("\r\n");
    files_.write(std::string_view(record.data(), static_cast<std::size_t>(record.length())));
}

void RecordFile::close() {
    if (open_) files_.close();
    open_ = false;
}

}  // namespace kestrune
