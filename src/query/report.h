// SPDX-License-Identifier: MIT
// The file report: where the findings go when the command line named an output
// file. Doctype and element reports become one line of JSON; raw blocks become
// numbered plain-text records.
#pragma once

#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "base/ByteBuffer.h"
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

// One value of an element's report that is not empty: its key's number and its text
// as found. It is written without CR, LF and TAB, and without spaces when
// `dropSpaces` (an element's own text).
struct KeyedValue {
    std::uint32_t key;
    std::string_view text;
    bool dropSpaces = false;
};

// Writes `text` at `to` without CR, LF and TAB (and spaces when dropSpaces), escaped
// for JSON when `json`: in one pass what removeControlChars (or
// removeControlCharsAndSpaces) and then writeJsonEscaped give. Room for 6 bytes per
// byte of text is needed. Returns the end of what was written.
char* writeCleanedValue(char* to, std::string_view text, bool dropSpaces, bool json);

// An element's report as fixed text with a gap for each key whose value is written.
// Rendering copies the fixed text around the values: empty values cost nothing, so
// an element costs the same with thousands of keys asked for as with a few.
class ElementLayout {
  public:
    explicit ElementLayout(std::size_t keys) : gapAt_(keys, kNoGap) {}
    // Room for `bytes` more fixed text, so that building the layout moves nothing.
    void reserve(std::size_t bytes) { fixed_.room(bytes + kSlack); }
    void addText(std::string_view bytes) {
        fixed_.append(bytes);
        fixed_.room(kSlack);
    }
    // Three texts, then the gap of `key`, whose value is written there: what each key
    // of a report adds. A key given no gap is not written.
    void addGapAfter(std::string_view a, std::string_view b, std::string_view c, std::size_t key) {
        char* to = fixed_.room(a.size() + b.size() + c.size() + kSlack);
        to = copyShort(copyShort(copyShort(to, a), b), c);
        fixed_.grewTo(to);
        gapAt_[key] = static_cast<std::uint32_t>(fixed_.size());
    }
    // Appends the element with these values to `out`, escaped for JSON when `json`.
    void render(ByteBuffer& out, const std::vector<KeyedValue>& values, bool json);

  private:
    static constexpr std::uint32_t kNoGap = ~std::uint32_t{0};
    struct Placed {
        std::uint32_t at;  // gap
        std::uint32_t key;
        std::string_view text;
        bool dropSpaces;
    };
    // Keys and the text between gaps are mostly a few bytes long: copied without a call.
    static char* copyShort(char* to, std::string_view s) {
        if (s.size() > 16) {
            std::memcpy(to, s.data(), s.size());
            return to + s.size();
        }
        for (char c : s) *to++ = c;
        return to;
    }

    // The text between gaps is copied sixteen bytes at a time: the fixed text and
    // the output have this much room behind them.
    static constexpr std::size_t kSlack = 16;
    static char* copySegment(char* to, const char* from, std::size_t n) {
        if (n <= kSlack) {
            std::memcpy(to, from, kSlack);
        } else {
            std::memcpy(to, from, n);
        }
        return to + n;
    }

    ByteBuffer fixed_;
    std::vector<std::uint32_t> gapAt_;  // by key number
    std::vector<Placed> placed_;        // the values being rendered, in gap order
};

// The element file: {"<tag>":[{...}, {...}]}, one object per element whose members
// are "text" and the requested attribute names (or "attr"), in byte order of their
// keys, the first value under a repeated key kept. Keys and values are escaped for
// JSON. The file is streamed in large blocks as elements are added.
class ElementFile {
  public:
    // `keys` are the member names the values' key numbers refer to.
    ElementFile(const std::string& path, std::string_view tagName, ReportKeys keys,
                FileSink& files);
    ~ElementFile();
    ElementFile(const ElementFile&) = delete;
    ElementFile& operator=(const ElementFile&) = delete;

    // One element: its values that are not empty. False once the file has failed:
    // nothing more need be added.
    bool add(const std::vector<KeyedValue>& values);
    // Elements rendered elsewhere by render(), the first one without ", ". False
    // once the file has failed.
    bool addRendered(std::string_view elements);
    // Completes the file and prints the "Output File" line; false when the file
    // could not be written (the message printed, the target left as it was).
    bool finish(Console& console);

    // Writes one element object to `out`, with ", " in front unless it is the first.
    void render(ByteBuffer& out, const std::vector<KeyedValue>& values, bool first);

  private:
    std::string path_;
    FileSink& files_;
    bool ok_ = false;  // the file was created and every write so far succeeded
    bool finished_ = false;
    bool first_ = true;
    ElementLayout layout_;
    ByteBuffer pending_;
};

// Raw-block records: "// No.<n>\r\n", the block, "\r\n", rendered by render() and
// added in large blocks.
class RecordFile {
  public:
    // Creates the file at once, also when no record follows.
    RecordFile(const std::string& path, FileSink& files);
    ~RecordFile();
    RecordFile(const RecordFile&) = delete;
    RecordFile& operator=(const RecordFile&) = delete;

    // Writes one record to `out`.
    static void render(ByteBuffer& out, std::size_t number, std::string_view block);
    // Records made by render(). False once the file has failed.
    bool addRendered(std::string_view records);
    // Completes the file; false when it could not be written (the message printed).
    bool finish(Console& console);

  private:
    std::string path_;
    FileSink& files_;
    bool ok_ = false;
    bool finished_ = false;
};

// Puts a written file in place (when `written`), or prints why it could not be
// written and leaves the target as it was. True when the file is in place.
bool completeFile(const std::string& path, bool written, FileSink& files, Console& console);

}  // namespace kestrune
