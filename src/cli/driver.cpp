// The extraction run: one pass from loading to the last report line.
#include "cli/driver.h"

#include <string>
#include <vector>

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

void reportElements(const ElementList& elements, const Options& options, Console& console,
                    FileSink& files) {
    const bool toFile = !options.outputPath.empty();
    const std::vector<std::string>& names = options.attributeNames;
    std::vector<std::string> keys{"text"};
    if (names.empty()) {
        keys.emplace_back("attr");
    } else {
        keys.insert(keys.end(), names.begin(), names.end());
    }
    std::unique_ptr<ElementFile> file;
    if (toFile)
        file = std::make_unique<ElementFile>(options.outputPath, options.tagName, keys, files);

    std::vector<std::string> values(keys.size());
    gatherTexts(elements, [&](std::size_t i, std::string& text) {
        const HtmlElement& e = *elements[i];
        // Element text loses every space too, so that words run together.
        if (!text.empty()) removeControlCharsAndSpaces(text);
        if (!toFile) console << "text=" << text << "\r\n";
        values[0].swap(text);
        if (names.empty()) {
            std::string s = e.attributesString();
            removeControlChars(s);
            if (!toFile) console << "attr=" << s << "\r\n";
            values[1].swap(s);
        } else {
            for (std::size_t k = 0; k < names.size(); ++k) {
                std::string& value = values[k + 1];
                value.clear();
                if (e.getAttribute(names[k], value)) removeControlChars(value);
                if (!toFile) console << names[k] << "=" << value << "\r\n";
            }
        }
        if (file) file->add(values);
    });
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
