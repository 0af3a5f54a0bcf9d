// SPDX-License-Identifier: MIT
// The file report: where the findings go when the command line named an output
// file. Doctype and element reports become one line of JSON; raw blocks become
// numbered plain-text records.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "base/ByteBuffer.h"
#include "base/TextBuffer.h"
#include "base/platform.h"

namespace kestrune {

class Console;

// Output files. A file is created, written, then committed: only then does it
// replace its target. One that fails or is discarded leaves the target as it was.
class FileSink {
  public:
    virtual ~FileSink() = default;
    // Starts the file that will replace `path`; false when it cannot be created.
    virtual bool create(const std::string& path) = 0;
    // False once the file has failed; the bytes of a failed file are dropped.
    virtual bool write(std::string_view bytes) = 0;
    // Completes the file and puts it in place; false when that fails.
    virtual bool commit() = 0;
    // Drops the file; the target stays as it was.
    virtual void discard() = 0;
    // Why the file failed ("No space left on device").
    virtual std::string failure() const = 0;
};

// Files on disk, replaced as a whole (platform::OutputFile). A path that names the
// file already open as standard output goes through the console instead, so that the
// report and the console lines follow each other rather than overwrite each other.
class DiskFileSink final : public FileSink {
  public:
    explicit DiskFileSink(Console& console) : console_(console) {}
    bool create(const std::string& path) override;
    bool write(std::string_view bytes) override;
    bool commit() override;
    void discard() override { file_.discard(); }
    std::string failure() const override;

  private:
    Console& console_;
    bool toConsole_ = false;
    platform::OutputFile file_;
};

// The doctype file: writes {"doctype":"<text>"} to `path`, then prints
// "\r\nOutput File: <path>\r\n". False when the file could not be written (the
// message printed, the target left as it was).
bool writeDoctypeFile(const std::string& path, std::string_view text, Console& console,
                      FileSink& files);

// The member names of an element report: "text", then the attribute names asked
// for, or "attr" when none were. Refers to the names, which must outlive it.
class ReportKeys {
  public:
    explicit ReportKeys(const std::vector<std::string>& attributeNames) : names_(attributeNames) {}
    std::size_t size() const { return names_.empty() ? 2 : names_.size() + 1; }
    std::string_view operator[](std::size_t i) const {
        if (i == 0) return "text";
        return names_.empty() ? std::string_view("attr") : std::string_view(names_[i - 1]);
    }

  private:
    const std::vector<std::string>& names_;
};

// The element file: {"<tag>":[{...}, {...}]}, one object per element whose members
// are "text" and the requested attribute names (or "attr"), in byte order of their
// keys, the first value under a repeated key kept. Keys and values are escaped for
// JSON. The file is streamed in large blocks as elements are added.
class ElementFile {
  public:
    // `keys` are the member names in the order the values will be handed over; the
    // names they refer to must outlive the file.
    ElementFile(const std::string& path, std::string_view tagName, ReportKeys keys,
                FileSink& files);
    ~ElementFile();
    ElementFile(const ElementFile&) = delete;
    ElementFile& operator=(const ElementFile&) = delete;

    // One element: `values[i]` belongs to keys[i]. False once the file has failed:
    // nothing more need be added.
    bool add(const std::vector<std::string>& values);
    // Elements rendered elsewhere by render(), the first one without ", ". False
    // once the file has failed.
    bool addRendered(std::string_view elements);
    // Completes the file and prints the "Output File" line; false when the file
    // could not be written (the message printed, the target left as it was).
    bool finish(Console& console);

    // Writes one element object to `out`, with ", " in front unless it is the first.
    void render(ByteBuffer& out, const std::vector<std::string>& values, bool first) const;

  private:
    std::string path_;
    FileSink& files_;
    bool ok_ = false;  // the file was created and every write so far succeeded
    bool finished_ = false;
    bool first_ = true;
    // Key i as written between quotes.
    std::string_view escapedKey(std::size_t i) const {
        if (escapedEnds_.empty()) return keys_[i];
        return std::string_view(escapedKeys_)
            .substr(escapedEnds_[i], escapedEnds_[i + 1] - escapedEnds_[i]);
    }

    ReportKeys keys_;
    std::string escapedKeys_;            // every key escaped, when one of them needs it
    std::vector<uint32_t> escapedEnds_;  // key i from escapedEnds_[i] to [i + 1]; else empty
    struct Member {
        uint32_t head;   // the escaped key's first bytes, for sorting
        uint32_t index;  // the key's number
    };
    std::vector<Member> order_;  // the keys written, in byte order of escaped key
    ByteBuffer pending_;
};

// Raw-block records: "// No.<n>\r\n", the block, "\r\n". Records are collected and
// written in large blocks; a block that large on its own is written as it is.
class RecordFile {
  public:
    explicit RecordFile(FileSink& files) : files_(files) {}
    // Opens the file before the first record, also when no record follows.
    void open(const std::string& path);
    // False once the file has failed.
    bool write(long long number, std::string_view block);
    // Completes the file; false when it could not be written (the message printed).
    bool close(Console& console);

  private:
    // Writes the collected records; false when that fails.
    bool flush();

    FileSink& files_;
    std::string path_;
    bool ok_ = false;
    TextBuffer pending_{TextBuffer::kDefaultCapacity, TextBuffer::kDefaultGrowthFactor};
};

// Puts a written file in place (when `written`), or prints why it could not be
// written and leaves the target as it was. True when the file is in place.
bool completeFile(const std::string& path, bool written, FileSink& files, Console& console);

}  // namespace kestrune
