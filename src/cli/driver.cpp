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
    // To the element file when there is one, else to the console. The file is
    // created by the first output.
    ElementRenderer(const Options& options, ElementFile* file, Console& console)
        : values_(options), file_(file), console_(console) {}

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

    void output(std::string_view bytes) override {
        if (file_ == nullptr) {
            console_.write(bytes);
            return;
        }
        if (!created_) file_->create();
        created_ = true;
        file_->addRendered(bytes);
    }

  private:
    ElementValues values_;
    ElementFile* file_;
    Console& console_;
    bool created_ = false;
};

void reportElements(const ElementList& elements, const Options& options, Console& console,
                    FileSink& files) {
    ElementFile file(options.outputPath, options.tagName, ElementValues(options).keys(), files);
    ElementRenderer renderer(options, options.outputPath.empty() ? nullptr : &file, console);
    TextRuns texts(elements);
    std::string text;
    ByteBuffer out;
    for (std::size_t i = 0; i < elements.size(); ++i) {
        text.clear();
        texts.appendText(i, text);
        renderer.element(out, elements[i]->attributeText(), text, i == 0);
        if (out.size() < kBlock) continue;
        renderer.output(out.view());
        out.clear();
    }
    renderer.output(out.view());
    if (!options.outputPath.empty()) file.finish(console);
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
    ElementFile file(options.outputPath, options.tagName, ElementValues(options).keys(), files);
    ElementRenderer renderer(options, options.outputPath.empty() ? nullptr : &file, console);
    if (!extractElements(text, length, options.tagName, renderer)) return 0;
    if (!options.outputPath.empty()) file.finish(console);
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
        return reportLoadFailure(options, console);
    }
    HtmlDocument document;
    if (!document.load(options.inputPath)) return reportLoadFailure(options, console);
    DiskFileSink files;
    return reportOnDocument(document, options, console, files);
}

}  // namespace kestrune
