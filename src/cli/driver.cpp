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
#include "query/referencePaths.h"
#include "query/report.h"

namespace kestrune {

namespace {

// Output is handed on in blocks of about this size: small enough that the buffer
// they are made in stays in few pages, each of which costs a fault when first
// touched, large enough that writing them costs few calls.
constexpr std::size_t kBlock = 64 << 10;

// One root candidate's report as rendered so far: the bytes not yet handed on, and
// how many findings it has (the file's elements are separated).
struct RenderedPart {
    ByteBuffer rendered;
    std::size_t count = 0;

    void clear() {
        rendered.clear();
        count = 0;
    }
    void swap(RenderedPart& other) noexcept {
        rendered.swap(other.rendered);
        std::swap(count, other.count);
    }
    std::size_t bytes() const { return rendered.size(); }
};

// The findings rendered in the console's form or the file's, and handed to the
// console or the file in blocks once they are the root's. The first failure ends the
// writing.
class StreamedReport final : public HeldParts<RenderedPart> {
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
        handOn();
    }
    void element(const std::vector<KeyedValue>& values) override {
        if (failed_) return;
        RenderedPart& part = current();
        elements_.element(part.rendered, values, part.count++ == 0);
        if (streaming() && part.rendered.size() >= kBlock) handOn();
    }
    void rawBlock(std::size_t number, std::string_view html) override {
        if (failed_) return;
        RenderedPart& part = current();
        renderBlock(part.rendered, form_, number, html);
        ++part.count;
        if (streaming() && part.rendered.size() >= kBlock) handOn();
    }
    bool failed() const override { return failed_; }

    // 1, or -1 when the file could not be written (a console failure is reported by
    // the entry).
    int finish() {
        if (mode_ == ReportMode::Elements) {
            handOn();
            elements_.tail(pending_);
        }
        handOn();
        if (!file_) return 1;
        return file_->finish(console_, mode_ != ReportMode::RawBlocks) ? 1 : -1;
    }

  private:
    // Writes what is pending (the head, a doctype), then the root's rendered findings.
    void handOn() {
        if (failed_) return;
        const std::string_view rendered = current().rendered.view();
        if (file_) {
            failed_ = !file_->write(pending_.view()) || !file_->write(rendered);
        } else {
            console_.write(pending_.view());
            console_.write(rendered);
            failed_ = console_.failed();
        }
        pending_.clear();
        current().rendered.clear();
    }

    const Options& options_;
    ReportForm form_;
    Console& console_;
    FileSink& files_;
    ElementRenderer elements_;
    ReportMode mode_ = ReportMode::Elements;
    std::optional<ReportFile> file_;
    ByteBuffer pending_;  // the report's head or tail, or the doctype
    bool failed_ = false;
};

}  // namespace

int reportPage(const PageSource& page, const Options& options, const RunRequest& request,
               Console& console, FileSink& files, const ReferencePaths* paths) {
    StreamedReport report(options, console, files);
    const Status status = paths != nullptr ? runReport(page, request, report, *paths)
                                           : runReport(page, request, report);
    if (status != Status::Ok) {
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
