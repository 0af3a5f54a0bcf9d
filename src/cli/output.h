// SPDX-License-Identifier: MIT
// Where a report goes: the console, or an output file that replaces its target only
// once it is complete.
#pragma once

#include <string>
#include <string_view>

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

// One report file, written as it is rendered: created at once, then completed by
// finish(), or discarded when finish() is never called (a run that ends early).
class ReportFile {
  public:
    ReportFile(const std::string& path, FileSink& files);
    ~ReportFile();
    ReportFile(const ReportFile&) = delete;
    ReportFile& operator=(const ReportFile&) = delete;

    // False once the file has failed: nothing more need be written.
    bool write(std::string_view bytes);
    // Puts the file in place and, with `announce`, prints "\r\nOutput File: <path>\r\n";
    // false when the file could not be written (the message printed, the target left
    // as it was).
    bool finish(Console& console, bool announce);

  private:
    std::string path_;
    FileSink& files_;
    bool ok_ = false;  // the file was created and every write so far succeeded
    bool finished_ = false;
};

}  // namespace kestrune
