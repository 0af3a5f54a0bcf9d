// SPDX-License-Identifier: MIT
// The extraction run: load, choose the mode once, run; the report streamed to the
// console or to its file as it is rendered.
#include "cli/driver.h"

#include <optional>
#include <string>
#include <vector>

#include "base/platform.h"
#include "cli/Console.h"
#include "cli/Options.h"
#include "cli/output.h"
#include "query/report.h"

namespace kestrune {

namespace {

// The findings rendered in the console's form or the file's, and handed to the
// console or the file in the blocks the run makes. The first failure ends the writing.
class StreamedReport final : public Findings {
  public:
    StreamedReport(const Options& options, Console& console, FileSink& files)
        : options_(options),
          form_(options.outputPath.empty() ? ReportForm::Console : ReportForm::File),
          console_(console),
          files_(files),
          elements_(form_, options.tagName, ReportKeys(options.attributeNames)) {}

    void start(ReportMode mode) override {
        mode_ = mode;
        if (form_ == ReportForm::Console) return;
        file_.emplace(options_.outputPath, files_);
        if (mode == ReportMode::Elements) elements_.head(pending_);
    }
    void doctype(std::string_view words) override {
        renderDoctype(pending_, form_, words);
        output({});
    }
    void element(ByteBuffer& out, const std::vector<KeyedValue>& values, bool first) override {
        if (!failed_) elements_.element(out, values, first);
    }
    void rawBlock(ByteBuffer& out, std::size_t number, std::string_view html) override {
        if (!failed_) renderBlock(out, form_, number, html);
    }
    void output(std::string_view bytes) override {
        if (failed_) return;
        if (file_) {
            failed_ = !file_->write(pending_.view()) || !file_->write(bytes);
        } else {
            console_.write(pending_.view());
            console_.write(bytes);
            failed_ = console_.failed();
        }
        pending_.clear();
    }
    bool failed() const override { return failed_; }

    // 1, or -1 when the file could not be written (a console failure is reported by
    // the entry).
    int finish() {
        if (mode_ == ReportMode::Elements) elements_.tail(pending_);
        output({});
        if (!file_) return 1;
        return file_->finish(console_, mode_ != ReportMode::RawBlocks) ? 1 : -1;
    }

  private:
    const Options& options_;
    ReportForm form_;
    Console& console_;
    FileSink& files_;
    ElementRenderer elements_;
    ReportMode mode_ = ReportMode::Elements;
    std::optional<ReportFile> file_;
    ByteBuffer pending_;  // the report's head or tail
    bool failed_ = false;
};

}  // namespace

int reportPage(const PageSource& page, const Options& options, const RunRequest& request,
               Console& console, FileSink& files) {
    StreamedReport report(options, console, files);
    if (runReport(page, request, report) != Status::Ok) {
        console << "Error: The file \"" << options.inputPath << "\" open failed.\r\n";
        return -1;
    }
    return report.finish();
}

RunRequest runRequestOf(const Options& options, unsigned codePage) {
    return RunRequest{.tagName = options.tagName,
                      .attributeNames = &options.attributeNames,
                      .mode = options.mode,
                      .codePage = codePage};
}

int runExtraction(const Options& options, Console& console) {
    // A code page named in the environment that cannot be used ends the run before
    // the input is read, rather than converting to some other one.
    const platform::CodePageChoice codePage = platform::localCodePage();
    if (!codePage.usable) {
        console << "Error: The code page \"" << codePage.setting << "\" set in "
                << platform::kCodePageVariable << " is not available.\r\n";
        return -1;
    }
    DiskFileSink files(console);
    return reportPage(PageSource{.fileName = options.inputPath}, options,
                      runRequestOf(options, codePage.number), console, files);
}

}  // namespace kestrune
