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

// The report lines (console) or JSON objects (file) of a run of found elements.
class ElementRenderer {
  public:
    ElementRenderer(const Options& options, const ElementFile* file, const TextRuns& texts)
        : names_(options.attributeNames),
          file_(file),
          texts_(texts),
          values_(1 + (names_.empty() ? 1 : names_.size())) {}

    // Renders list[i] into `out`.
    void render(const ElementList& list, std::size_t i, ByteBuffer& out) {
        std::vector<std::string>& values = values_;
        const HtmlElement& e = *list[i];
        std::string& text = values[0];
        text.clear();
        texts_.appendText(i, text);
        // Element text loses every space too, so that words run together.
        if (!text.empty()) removeControlCharsAndSpaces(text);
        if (names_.empty()) {
            values[1] = e.attributesString();
            removeControlChars(values[1]);
        } else {
            for (std::size_t k = 0; k < names_.size(); ++k) {
                std::string& value = values[k + 1];
                value.clear();
                if (e.getAttribute(names_[k], value)) removeControlChars(value);
            }
        }
        if (file_ != nullptr) {
            file_->render(out, values, i == 0);
        } else {
            line(out, "text", values[0]);
            if (names_.empty()) {
                line(out, "attr", values[1]);
            } else {
                for (std::size_t k = 0; k < names_.size(); ++k) line(out, names_[k], values[k + 1]);
            }
        }
    }

  private:
    static void line(ByteBuffer& out, std::string_view name, std::string_view value) {
        out.append(name);
        out.append('=');
        out.append(value);
        out.append("\r\n");
    }

    const std::vector<std::string>& names_;
    const ElementFile* file_;
    const TextRuns& texts_;
    std::vector<std::string> values_;  // text, then attribute values; reused
};

// The report is written in blocks of about this size, so that the buffered output
// stays bounded however large the report (an element's text can be megabytes).
constexpr std::size_t kBlock = 1 << 20;

void reportElements(const ElementList& elements, const Options& options, Console& console,
                    FileSink& files) {
    const std::vector<std::string>& names = options.attributeNames;
    std::vector<std::string> keys{"text"};
    if (names.empty()) {
        keys.emplace_back("attr");
    } else {
        keys.insert(keys.end(), names.begin(), names.end());
    }
    std::unique_ptr<ElementFile> file;
    if (!options.outputPath.empty()) {
        file = std::make_unique<ElementFile>(options.outputPath, options.tagName, keys, files);
    }
    TextRuns texts(elements);
    ElementRenderer renderer(options, file.get(), texts);
    ByteBuffer out;
    auto flush = [&] {
        if (file) {
            file->addRendered(out.view(), out.size() > 0);
        } else {
            console.write(out.view());
        }
        out.clear();
    };
    for (std::size_t i = 0; i < elements.size(); ++i) {
        renderer.render(elements, i, out);
        if (out.size() >= kBlock) flush();
    }
    flush();
    if (file) file->finish(console);
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

int runExtraction(const Options& options, Console& console) {
    HtmlDocument document;
    if (!document.load(options.inputPath)) {
        console << "Error: The file \"" << options.inputPath << "\" open failed.\r\n";
        return -1;
    }
    DiskFileSink files;
    return reportOnDocument(document, options, console, files);
}

}  // namespace kestrune
