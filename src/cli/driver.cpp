// The extraction run: one pass from loading to the last report line.
#include "cli/driver.h"

#include <algorithm>
#include <string>
#include <vector>

#include "base/ByteBuffer.h"
#include "base/asciiTable.h"
#include "base/byteString.h"
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

bool isDoctypeTag(std::string_view tag) {
    return equalsIgnoreCase(tag, "!doctype") || equalsIgnoreCase(tag, "doctype");
}

bool isRawBlockTag(std::string_view tag) {
    return equalsIgnoreCase(tag, "script") || equalsIgnoreCase(tag, "style") ||
           equalsIgnoreCase(tag, "!--");
}

void reportDoctype(const HtmlElement& doctype, const Options& options, Console& console,
                   FileSink& files) {
    std::string s = doctype.attributesString();
    removeControlChars(s);
    if (!options.outputPath.empty()) {
        writeDoctypeFile(options.outputPath, s, console, files);
        return;
    }
    console << "doctype=" << s << "\r\n";
}

void reportRawBlocks(const ElementList& elements, const Options& options, Console& console,
                     FileSink& files) {
    RecordFile records(files);
    if (!options.outputPath.empty()) records.open(options.outputPath);
    long long number = 1;
    std::string block;
    for (const HtmlElement* e : elements) {
        e->outerHtml(block, 1);
        if (records.isOpen()) {
            records.write(number, block);
        } else {
            // Console output, or the output file could not be created.
            console << "===" << number << "===\r\n" << block << "\r\n";
        }
        ++number;
    }
    records.close();
}

// The values reported for each found element: its text, then "attr" or the asked
// attributes, cleaned of control characters.
class ElementValues {
  public:
    explicit ElementValues(const Options& options) : names_(options.attributeNames) {
        keys_.emplace_back("text");
        if (names_.empty()) {
            keys_.emplace_back("attr");
        } else {
            keys_.insert(keys_.end(), names_.begin(), names_.end());
        }
        values_.resize(keys_.size());
    }
    const std::vector<std::string>& keys() const { return keys_; }

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
    std::vector<std::string> keys_;
    std::vector<std::string> values_;  // reused from element to element
};

// The console report is written in blocks of about this size, so that the buffered
// output stays bounded however large the report (an element's text can be megabytes).
constexpr std::size_t kBlock = 1 << 20;

// Renders each element as the report writes it: "key=value" lines on the console,
// or one JSON object for the element file.
class ElementRenderer final : public ElementSink {
  public:
    ElementRenderer(const Options& options, const ElementFile* file)
        : values_(options), file_(file) {}
    const std::vector<std::string>& keys() const { return values_.keys(); }

    void element(ByteBuffer& out, std::string_view attributeText, std::string& text,
                 bool first) override {
        const std::vector<std::string>& v = values_.of(attributeText, text);
        if (file_ != nullptr) {
            file_->render(out, v, first);
            return;
        }
        const std::vector<std::string>& keys = values_.keys();
        for (std::size_t k = 0; k < keys.size(); ++k) {
            out.append(keys[k]);
            out.append('=');
            out.append(v[k]);
            out.append("\r\n");
        }
    }

  private:
    ElementValues values_;
    const ElementFile* file_;
};

// Hands the report to the console in blocks.
void writeToConsole(std::string_view report, Console& console) {
    for (std::size_t at = 0; at < report.size(); at += kBlock) {
        console.write(report.substr(at, kBlock));
    }
}

void reportElements(const ElementList& elements, const Options& options, Console& console,
                    FileSink& files) {
    TextRuns texts(elements);
    std::string text;
    auto renderAll = [&](ElementRenderer& renderer, ByteBuffer& out, ElementFile* file) {
        for (std::size_t i = 0; i < elements.size(); ++i) {
            text.clear();
            texts.appendText(i, text);
            renderer.element(out, elements[i]->attributeText(), text, i == 0);
            if (out.size() < kBlock) continue;
            if (file != nullptr) {
                file->addRendered(out.view());
            } else {
                console.write(out.view());
            }
            out.clear();
        }
    };
    ByteBuffer out;
    if (!options.outputPath.empty()) {
        ElementFile file(options.outputPath, options.tagName, ElementValues(options).keys(), files);
        file.create();
        ElementRenderer renderer(options, &file);
        renderAll(renderer, out, &file);
        file.addRendered(out.view());
        file.finish(console);
        return;
    }
    ElementRenderer renderer(options, nullptr);
    renderAll(renderer, out, nullptr);
    console.write(out.view());
}

}  // namespace

int reportOnDocument(const HtmlDocument& document, const Options& options, Console& console,
                     FileSink& files) {
    const HtmlElement* root = document.root();
    if (root == nullptr) return 1;
    if (isDoctypeTag(options.tagName) && document.doctype() != nullptr) {
        reportDoctype(*document.doctype(), options, console, files);
        return 1;
    }
    ElementList elements;
    root->findByTag(options.tagName, elements, 1);
    if (isRawBlockTag(options.tagName)) {
        reportRawBlocks(elements, options, console, files);
    } else {
        reportElements(elements, options, console, files);
    }
    return 1;
}

bool isElementReport(std::string_view tagName) {
    return !isDoctypeTag(tagName) && !isRawBlockTag(tagName);
}

int reportElementsFromText(char* text, std::size_t length, const Options& options, Console& console,
                           FileSink& files) {
    ByteBuffer report;
    if (!options.outputPath.empty()) {
        ElementFile file(options.outputPath, options.tagName, ElementValues(options).keys(), files);
        ElementRenderer renderer(options, &file);
        if (!extractElements(text, length, options.tagName, renderer, report)) return 0;
        file.create();
        file.addRendered(report.view());
        file.finish(console);
        return 1;
    }
    ElementRenderer renderer(options, nullptr);
    if (!extractElements(text, length, options.tagName, renderer, report)) return 0;
    writeToConsole(report.view(), console);
    return 1;
}

int runExtraction(const Options& options, Console& console) {
    if (isElementReport(options.tagName)) {
        // No tree is needed: the report is written as the text is parsed.
        DocumentText text;
        DiskFileSink files;
        if (text.load(options.inputPath) &&
            reportElementsFromText(text.data(), text.size(), options, console, files)) {
            return 1;
        }
        console << "Error: The file \"" << options.inputPath << "\" open failed.\r\n";
        return -1;
    }
    HtmlDocument document;
    if (!document.load(options.inputPath)) {
        console << "Error: The file \"" << options.inputPath << "\" open failed.\r\n";
        return -1;
    }
    DiskFileSink files;
    return reportOnDocument(document, options, console, files);
}

}  // namespace kestrune
