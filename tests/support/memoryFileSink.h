// SPDX-License-Identifier: MIT
// Output files kept in memory, for tests, fuzz targets and benchmarks of the file
// report: what a run commits is readable afterwards by path. Header-only, so that
// programs built without the test support library can use it.
#pragma once

#include <map>
#include <string>
#include <string_view>

#include "cli/output.h"

namespace kestrune {

class MemoryFileSink final : public FileSink {
  public:
    bool create(const std::string& path) override {
        open_ = !refuse;
        path_ = path;
        pending_.clear();
        return open_;
    }
    bool write(std::string_view bytes) override {
        if (open_) pending_.append(bytes);
        return open_;
    }
    bool commit() override {
        if (!open_) return false;
        files[path_] = std::move(pending_);
        open_ = false;
        return true;
    }
    void discard() override { open_ = false; }
    std::string failure() const override { return "refused"; }

    std::map<std::string, std::string> files;  // path -> committed content
    bool refuse = false;                       // every create fails

  private:
    bool open_ = false;
    std::string path_;
    std::string pending_;
};

}  // namespace kestrune
