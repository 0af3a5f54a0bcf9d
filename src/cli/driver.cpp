// The extraction run: one pass from loading to the last report line.
#include "cli/driver.h"

#include <algorithm>
#include <string>
#include <system_error>
#include <thread>
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
        : names_(options.attributeNames), file_(file), texts_(texts) {}

    // Renders list[begin, end) into `out`; `first` tells whether list[begin] is the
    // first element of the whole report.
    void render(const ElementList& list, std::size_t begin, std::size_t end, ByteBuffer& out,
                bool first) const {
        std::vector<std::string> values(1 + (names_.empty() ? 1 : names_.size()));
        for (std::size_t i = begin; i < end; ++i) {
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
                file_->render(out, values, first && i == begin);
            } else {
                line(out, "text", values[0]);
                if (names_.empty()) {
                    line(out, "attr", values[1]);
                } else {
                    for (std::size_t k = 0; k < names_.size(); ++k)
                        line(out, names_[k], values[k + 1]);
                }
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
};

// Found elements are reported in windows, so that memory stays bounded whatever the
// size of the report. On a large report the second half of each window is made by
// a second thread: the document is only read, and the halves are written in order.
constexpr std::size_t kWindow = 1 << 16;
constexpr std::size_t kParallelFrom = 1 << 12;

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
    const bool parallel =
        elements.size() >= kParallelFrom && std::thread::hardware_concurrency() >= 2;
    ByteBuffer first, second;
    for (std::size_t begin = 0; begin < elements.size(); begin += kWindow) {
        std::size_t end = std::min(elements.size(), begin + kWindow);
        std::size_t middle = parallel ? begin + (end - begin) / 2 : end;
        first.clear();
        second.clear();
        std::thread helper;
        if (middle < end) {
            auto renderSecond = [&] {
                renderer.render(elements, middle, end, second, middle == 0);
            };
            try {
                helper = std::thread(renderSecond);
            } catch (const std::system_error&) {
                renderSecond();  // no thread to be had: this one does both halves
            }
        }
        renderer.render(elements, begin, middle, first, begin == 0);
        if (helper.joinable()) helper.join();
        for (const ByteBuffer* part : {&first, &second}) {
            if (file) {
                file->addRendered(part->view(), part->size() > 0);
            } else {
                console.write(part->view());
            }
        }
    }
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
