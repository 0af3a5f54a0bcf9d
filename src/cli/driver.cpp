// SPDX-License-Identifier: MIT
// The extraction run: one pass from loading to the last report line.
#include "cli/driver.h"

#include <algorithm>
#include <string>
#include <vector>

#include "base/ByteBuffer.h"
#include "base/asciiTable.h"
#include "base/byteString.h"
#include "base/platform.h"
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
    ElementValues(const Options& options, std::size_t count, const TextRuns& texts)
        : names_(options.attributeNames), texts_(texts), values_(count) {}

    // The values of list[i]; valid until the next call.
    const std::vector<std::string>& of(const ElementList& list, std::size_t i) {
        const HtmlElement& e = *list[i];
        std::string& text = values_[0];
        text.clear();
        texts_.appendText(i, text);
        // Element text loses every space too, so that words run together.
        if (!text.empty()) removeControlCharsAndSpaces(text);
        if (names_.empty()) {
            values_[1] = e.attributesString();
            removeControlChars(values_[1]);
        } else {
            for (std::size_t k = 0; k < names_.size(); ++k) {
                std::string& value = values_[k + 1];
                value.clear();
                if (e.getAttribute(names_[k], value)) removeControlChars(value);
            }
        }
        return values_;
    }

  private:
    const std::vector<std::string>& names_;
    const TextRuns& texts_;
    std::vector<std::string> values_;  // reused from element to element
};

// The console report is written in blocks of about this size, so that the buffered
// output stays bounded however large the report (an element's text can be megabytes).
constexpr std::size_t kBlock = 1 << 20;

int reportElements(const ElementList& elements, const Options& options, Console& console,
                   FileSink& files) {
    const std::vector<std::string>& names = options.attributeNames;
    std::vector<std::string> keys{"text"};
    if (names.empty()) {
        keys.emplace_back("attr");
    } else {
        keys.insert(keys.end(), names.begin(), names.end());
    }
    TextRuns texts(elements);
    ElementValues values(options, keys.size(), texts);
    if (!options.outputPath.empty()) {
        ElementFile file(options.outputPath, options.tagName, keys, files);
        for (std::size_t i = 0; i < elements.size(); ++i) {
            if (!file.add(values.of(elements, i))) break;  // the first failure ends it
        }
        return file.finish(console) ? 1 : -1;
    }
    ByteBuffer out;
    for (std::size_t i = 0; i < elements.size(); ++i) {
        const std::vector<std::string>& v = values.of(elements, i);
        for (std::size_t k = 0; k < keys.size(); ++k) {
            out.append(keys[k]);
            out.append('=');
            out.append(v[k]);
            out.append("\r\n");
        }
        if (out.size() >= kBlock) {
            console.write(out.view());
            out.clear();
            if (console.failed()) return 1;  // the entry reports it
        }
    }
    console.write(out.view());
    return 1;
}

}  // namespace

int reportOnDocument(const HtmlDocument& document, const Options& options, Console& console,
                     FileSink& files) {
    const HtmlElement* root = document.root();
    if (root == nullptr) return 1;
    if (isDoctypeTag(options.tagName) && document.doctype() != nullptr) {
        return reportDoctype(*document.doctype(), options, console, files);
    }
    ElementList elements;
    root->findByTag(options.tagName, elements, 1);
    if (isRawBlockTag(options.tagName)) {
        return reportRawBlocks(elements, options, console, files);
    }
    return reportElements(elements, options, console, files);
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
    HtmlDocument document;
    document.codePage = codePage.number;
    if (!document.load(options.inputPath)) {
        console << "Error: The file \"" << options.inputPath << "\" open failed.\r\n";
        return -1;
    }
    DiskFileSink files(console);
    return reportOnDocument(document, options, console, files);
}

}  // namespace kestrune
