// SPDX-License-Identifier: MIT
// Output files of the program.
#include "cli/output.h"

#include "cli/Console.h"

namespace kestrune {

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

ReportFile::ReportFile(const std::string& path, FileSink& files) : path_(path), files_(files) {
    ok_ = files_.create(path_);
}

ReportFile::~ReportFile() {
    // A run that ends early (out of memory, no root) leaves the target as it was.
    if (!finished_) files_.discard();
}

bool ReportFile::write(std::string_view bytes) {
    if (ok_ && !bytes.empty()) ok_ = files_.write(bytes);
    return ok_;
}

bool ReportFile::finish(Console& console, bool announce) {
    finished_ = true;
    if (!ok_ || !files_.commit()) {
        files_.discard();
        console << "Error: output file \"" << path_
                << "\" could not be written: " << files_.failure() << ".\r\n";
        return false;
    }
    if (announce) console << "\r\nOutput File: " << path_ << "\r\n";
    return true;
}

}  // namespace kestrune
