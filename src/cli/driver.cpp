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

int reportRawBlocks(const ElementList& elements, const Options& options, Console& console,
                    FileSink& files) {
    const bool toFile = !options.outputPath.empty();
    RecordFile records(files);
    if (toFile) records.open(options.outputPath);
    long long number = 1;
    std::string block;
    for (const HtmlElement* e : elements) {
        e->outerHtml(block, 1);
        if (toFile) {
            if (!records.write(number, block)) break;
        } else {
            console << "===" << number << "===\r\n" << block << "\r\n";
            if (console.failed()) break;
        }
        ++number;
    }
    if (!toFile) return 1;
    return records.close(console) ? 1 : -1;
}

// The values reported for each found element: its text, then "attr" or the asked
// attributes, cleaned of control characters.
class ElementValues {
  public:
    explicit ElementValues(const Options& options) : names_(options.attributeNames), keys_(names_) {
        values_.resize(keys_.size());
    }
    ReportKeys keys() const { return keys_; }

    // The values of an element with this attribute text and decoded text (taken
    // over); valid until the next call.
    const std::vector<std::string>& of(std::string_view attributeText, std::string& text) {
        values_[0].swap(text);
        // Element text loses every space too, so that words run together.
        if (!values_[0].empty()) removeControlCharsAndSpaces(values_[0]);
        if (names_.empty()) {
            values_[1].clear();
            appendAttributesString(values_[1], attributeText);
            removeControlChars(values_[1]);
        } else {
            for (std::size_t k = 0; k < names_.size(); ++k) {
                std::string& value = values_[k + 1];
                value.clear();
                if (findAttribute(attributeText, names_[k], value)) removeControlChars(value);
            }
        }
        return values_;
    }

  private:
    const std::vector<std::string>& names_;
    ReportKeys keys_;
    std::vector<std::string> values_;  // reused from element to element
};

// The console report is written in blocks of about this size, so that the buffered
// output stays bounded however large the report (an element's text can be megabytes).
constexpr std::size_t kBlock = 1 << 20;

// The element report: each element rendered as "key=value" lines for the console or
// as one JSON object for the element file, and handed over in blocks.
class ElementReport final : public ElementSink {
  public:
    ElementReport(const Options& options, Console& console, FileSink& files)
        : values_(options), console_(console) {
        if (!options.outputPath.empty()) {
            file_.emplace(options.outputPath, options.tagName, values_.keys(), files);
        }
    }

    void element(ByteBuffer& out, std::string_view attributeText, std::string& text,
                 bool first) override {
        if (failed_) return;
        const std::vector<std::string>& v = values_.of(attributeText, text);
        if (file_) {
            file_->render(out, v, first);
            return;
        }
        const ReportKeys keys = values_.keys();
        for (std::size_t k = 0; k < keys.size(); ++k) {
            out.append(keys[k]);
            out.append('=');
            out.append(v[k]);
            out.append("\r\n");
        }
    }

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

  private:
    ElementValues values_;
    Console& console_;
    std::optional<ElementFile> file_;
    bool failed_ = false;
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
    if (reportModeOf(options.tagName) == ReportMode::Elements) {
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
