// The file report: where the findings go when the command line named an output
// file. Doctype and element reports become one line of JSON; raw blocks become
// numbered plain-text records.
#pragma once

#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "base/ByteBuffer.h"
#include "base/platform.h"

namespace kestrune {

class Console;

// Output files, created as fopen mode "wb" does. The tool writes real files; tests
// and fuzzing keep them in memory.
class FileSink {
  public:
    virtual ~FileSink() = default;
    // Creates (or truncates) the file; false when it cannot be created.
    virtual bool create(const std::string& path) = 0;
    virtual void write(std::string_view bytes) = 0;
    virtual void close() = 0;
};

class DiskFileSink final : public FileSink {
  public:
    bool create(const std::string& path) override { return file_.create(path); }
    void write(std::string_view bytes) override { file_.write(bytes.data(), bytes.size()); }
    void close() override { file_.close(); }

  private:
    platform::OutputFile file_;
};

class MemoryFileSink final : public FileSink {
  public:
    bool create(const std::string& path) override;
    void write(std::string_view bytes) override;
    void close() override { current_ = nullptr; }

    std::map<std::string, std::string> files;  // path -> content
    bool refuse = false;                       // every create fails

  private:
    std::string* current_ = nullptr;
};

// The doctype file: prints "\r\nOutput File: <path>\r\n", then writes
// {"doctype":"<text>"} to `path` (nothing when it cannot be created).
void writeDoctypeFile(const std::string& path, std::string_view text, Console& console,
                      FileSink& files);

// The element file: {"<tag>":[{...}, {...}]}, one object per element whose members
// are "text" and the requested attribute names (or "attr"), in byte order of their
// keys, the first value under a repeated key kept. Keys and values are escaped for
// JSON. The file is streamed in large blocks as elements are added.
class ElementFile {
  public:
    // `keys` are the member names in the order the values will be handed over. The
    // file is made by create().
    ElementFile(const std::string& path, std::string_view tagName, std::vector<std::string> keys,
                FileSink& files);
    ~ElementFile();
    ElementFile(const ElementFile&) = delete;
    ElementFile& operator=(const ElementFile&) = delete;

    // Creates the file; without it the elements are rendered but not written.
    void create();
    // One element: `values[i]` belongs to keys[i].
    void add(const std::vector<std::string>& values);
    // Elements rendered elsewhere by render(), the first one without ", ".
    void addRendered(std::string_view elements);
    // Prints the "Output File" line and completes the file.
    void finish(Console& console);

    // Writes one element object to `out`, with ", " in front unless it is the first.
    void render(ByteBuffer& out, const std::vector<std::string>& values, bool first) const;

  private:
    std::string path_;
    FileSink& files_;
    bool open_ = false;
    bool first_ = true;
    std::vector<std::size_t> order_;           // value index per written member, in key order
    std::vector<std::string> memberPrefixes_;  // "\"key\":\"" per written member
    ByteBuffer pending_;
};

// Raw-block records: "// No.<n>\r\n", the block, "\r\n", one write per record.
class RecordFile {
  public:
    explicit RecordFile(FileSink& files) : files_(files) {}
    // Opens the file before the first record, also when no record follows.
    bool open(const std::string& path);
    bool isOpen() const { return open_; }
    void write(long long number, std::string_view block);
    void close();

  private:
    FileSink& files_;
    bool open_ = false;
};

}  // namespace kestrune
