// SPDX-License-Identifier: MIT
// The extraction run: one pass from loading to the last report line.
#include "cli/driver.h"

#include <algorithm>
#include <optional>
#include <string>
#include <vector>

#include "base/ByteBuffer.h"
#include "base/byteString.h"
#include "base/platform.h"
#include "cli/Console.h"
#include "cli/Options.h"
#include "cli/report.h"
#include "html/HtmlDocument.h"
#include "html/attributes.h"
#include "html/documentStorage.h"
#include "query/extractElements.h"
#include "query/gatherTexts.h"
#include "query/serializer.h"

namespace kestrune {

namespace {

int reportDoctype(const HtmlElement& doctype, const Options& options, Console& console,
                  FileSink& files) {
    std::string s = doctype.attributesString();
    removeControlChars(s);
    if (!options.outputPath.empty()) {
        return writeDoctypeFile(options.outputPath, s, console, files) ? 1 : -1;
    }
    console << "doctype=" << s << "\r\n";
    return 1;
}

// The values reported for each found element: its text, then "attr" or the asked
// attributes, as found (the report cleans them of control characters as it writes
// them). Only the values that are not empty are handed on.
class ElementValues {
  public:
    explicit ElementValues(const Options& options)
        : names_(options.attributeNames), keys_(names_), finder_(names_) {}
    ReportKeys keys() const { return keys_; }

    // The values of an element with this attribute text and decoded text that are
    // not empty; valid until the next call, and as long as both texts.
    const std::vector<KeyedValue>& of(std::string_view attributeText, std::string_view text) {
        filled_.clear();
        // Element text loses every space too, so that words run together.
        keep(0, text, true);
        if (names_.empty()) {
            list_.clear();
            appendAttributesString(list_, attributeText);
            keep(1, list_, false);
        } else {
            finder_.find(attributeText, [&](std::size_t k, std::string_view value) {
                keep(static_cast<std::uint32_t>(k + 1), value, false);
            });
        }
        return filled_;
    }

  private:
    void keep(std::uint32_t key, std::string_view value, bool dropSpaces) {
        if (!value.empty()) filled_.push_back({key, value, dropSpaces});
    }

    const std::vector<std::string>& names_;
    ReportKeys keys_;
    AttributeFinder finder_;
    std::string list_;
    std::vector<KeyedValue> filled_;
};

// The console report is written in blocks of about this size, so that the buffered
// output stays bounded however large the report (an element's text can be megabytes).
constexpr std::size_t kBlock = 1 << 20;

// A report rendered in blocks, which go to the console or to the report's file.
template <typename File>
class StreamedReport : public ElementSink {
  public:
    // The first failure ends the writing.
    void output(std::string_view bytes) override {
        if (failed_) return;
        if (file_) {
            failed_ = !file_->addRendered(bytes);
        } else {
            console_.write(bytes);
            failed_ = console_.failed();
        }
    }

    // 1, or -1 when the file could not be written (a console failure is reported by
    // the entry).
    int finish() {
        if (!file_) return 1;
        return file_->finish(console_) ? 1 : -1;
    }

  protected:
    explicit StreamedReport(Console& console) : console_(console) {}

    Console& console_;
    std::optional<File> file_;
    bool failed_ = false;
};

// The element report: each element rendered as "key=value" lines for the console or
// as one JSON object for the element file, and handed over in blocks.
class ElementReport final : public StreamedReport<ElementFile> {
  public:
    ElementReport(const Options& options, Console& console, FileSink& files)
        : StreamedReport(console),
          values_(options),
          lines_(options.outputPath.empty() ? values_.keys().size() : 0) {
        if (!options.outputPath.empty()) {
            file_.emplace(options.outputPath, options.tagName, values_.keys(), files);
            return;
        }
        // On the console a line "key=value" for every key, in their order.
        const ReportKeys keys = values_.keys();
        std::size_t size = 0;
        for (std::size_t k = 0; k < keys.size(); ++k) size += keys[k].size() + 3;
        lines_.reserve(size);
        for (std::size_t k = 0; k < keys.size(); ++k) {
            lines_.addGapAfter(k > 0 ? "\r\n" : "", keys[k], "=", k);
        }
        lines_.addText("\r\n");
    }

    void element(ByteBuffer& out, std::string_view attributeText, std::string_view text,
                 bool first) override {
        if (failed_) return;
        const std::vector<KeyedValue>& values = values_.of(attributeText, text);
        if (file_) {
            file_->render(out, values, first);
        } else {
            lines_.render(out, values, false);
        }
    }

  private:
    ElementValues values_;
    ElementLayout lines_;  // of the console report
};

int reportElements(const ElementList& elements, const Options& options, Console& console,
                   FileSink& files) {
    ElementReport report(options, console, files);
    TextRuns texts(elements);
    std::string text;
    ByteBuffer out;
    for (std::size_t i = 0; i < elements.size(); ++i) {
        text.clear();
        texts.appendText(i, text);
        report.element(out, elements[i]->attributeText(), text, i == 0);
        if (out.size() < kBlock) continue;
        report.output(out.view());
        out.clear();
    }
    report.output(out.view());
    return report.finish();
}

// The raw-block report: each block as a numbered record, "===<n>===" lines on the
// console or the records of the block file, handed over in blocks.
class RawBlockReport final : public StreamedReport<RecordFile> {
  public:
    RawBlockReport(const Options& options, Console& console, FileSink& files)
        : StreamedReport(console) {
        if (!options.outputPath.empty()) file_.emplace(options.outputPath, files);
    }

    // One block as outerHtml writes it.
    void block(ByteBuffer& out, std::size_t number, std::string_view html) {
        if (file_) {
            RecordFile::render(out, number, html);
            return;
        }
        out.append("===");
        out.append(std::to_string(number));
        out.append("===\r\n");
        out.append(html);
        out.append("\r\n");
    }

    void rawBlock(ByteBuffer& out, std::string_view tagName, std::string_view attributeText,
                  std::string_view content, bool comment, std::size_t number) override {
        if (failed_) return;
        html_.clear();
        appendRawElement(html_, tagName, attributeText, content, comment, 1);
        block(out, number, html_);
    }

  private:
    std::string html_;  // reused from block to block
};

int reportRawBlocks(const ElementList& elements, const Options& options, Console& console,
                    FileSink& files) {
    RawBlockReport report(options, console, files);
    std::string html;
    ByteBuffer out;
    for (std::size_t i = 0; i < elements.size(); ++i) {
        elements[i]->outerHtml(html, 1);
        report.block(out, i + 1, html);
        if (out.size() < kBlock) continue;
        report.output(out.view());
        out.clear();
    }
    report.output(out.view());
    return report.finish();
}

int reportLoadFailure(const Options& options, Console& console) {
    console << "Error: The file \"" << options.inputPath << "\" open failed.\r\n";
    return -1;
}

}  // namespace

int reportOnDocument(const HtmlDocument& document, const Options& options, Console& console,
                     FileSink& files) {
    const HtmlElement* root = document.root();
    if (root == nullptr) return 1;
    const ReportMode mode = reportModeOf(options.tagName);
    if (mode == ReportMode::Doctype && document.doctype() != nullptr) {
        return reportDoctype(*document.doctype(), options, console, files);
    }
    ElementList elements;
    root->findByTag(options.tagName, elements, 1);
    if (mode == ReportMode::RawBlocks) {
        return reportRawBlocks(elements, options, console, files);
    }
    return reportElements(elements, options, console, files);
}

int reportElementsFromText(char* text, std::size_t length, const Options& options, Console& console,
                           FileSink& files) {
    if (reportModeOf(options.tagName) == ReportMode::RawBlocks) {
        RawBlockReport report(options, console, files);
        if (!extractRawBlocks(text, length, options.tagName, report)) return 0;
        return report.finish();
    }
    ElementReport report(options, console, files);
    if (!extractElements(text, length, options.tagName, report)) return 0;
    return report.finish();
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
    if (reportModeOf(options.tagName) != ReportMode::Doctype) {
        // No tree is needed: the report is written as the text is parsed.
        DocumentText text;
        DiskFileSink files(console);
        int status = 0;
        if (text.load(options.inputPath, codePage.number)) {
            status = reportElementsFromText(text.data(), text.size(), options, console, files);
        }
        return status != 0 ? status : reportLoadFailure(options, console);
    }
    HtmlDocument document;
    document.codePage = codePage.number;
    if (!document.load(options.inputPath)) return reportLoadFailure(options, console);
    DiskFileSink files(console);
    return reportOnDocument(document, options, console, files);
}

}  // namespace kestrune
