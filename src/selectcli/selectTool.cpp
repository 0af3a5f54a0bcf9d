// SPDX-License-Identifier: MIT
#include "selectcli/selectTool.h"

#include <kestrune/document.h>
#include <kestrune/encoding.h>
#include <kestrune/extract.h>
#include <kestrune/json.h>
#include <kestrune/select.h>
#include <kestrune/version.h>

#include <map>
#include <string>
#include <string_view>

#include "base/asciiTable.h"
#include "base/byteString.h"
#include "base/platform.h"
#include "selectcli/selectOptions.h"

namespace kestrune::selectcli {

namespace {

constexpr std::string_view kProgram = "kestrune-select: ";
constexpr std::string_view kStandardInputName = "(standard input)";
// Output is handed to the system in blocks of about this size.
constexpr std::size_t kFlushBytes = 1 << 16;

enum Exit { kMatched = 0, kNoMatch = 1, kFailed = 2 };

void complain(std::string_view message) {
    std::string line(kProgram);
    line += message;
    line += '\n';
    platform::writeStandardError(line.data(), line.size());
}

// Standard output, kept in a buffer. A failed write is kept: later writes do nothing.
class Output {
  public:
    enum class State { Open, ClosedPipe, Failed };

    std::string& buffer() { return buffer_; }
    bool flushIfFull() { return buffer_.size() < kFlushBytes || flush(); }
    bool flush() {
        if (state_ == State::Open && !buffer_.empty() &&
            !platform::writeStandardOutput(buffer_.data(), buffer_.size())) {
            if (platform::lastErrorIsClosedPipe()) {
                state_ = State::ClosedPipe;
            } else {
                state_ = State::Failed;
                complain("standard output: " + platform::errorText());
            }
        }
        buffer_.clear();
        return state_ == State::Open;
    }
    State state() const { return state_; }

  private:
    std::string buffer_;
    State state_ = State::Open;
};

// The bytes of one input, or the message saying why there are none.
bool readInput(const std::string& file, std::string& page, std::string& problem) {
    const auto tooLarge = [&](std::size_t size) {
        problem =
            std::string(describe(Status::PageTooLarge)) + " (" + std::to_string(size) + " bytes)";
        return false;
    };
    constexpr auto limit = static_cast<std::size_t>(kMaxInputBytes);
    bool read = false;
    if (file == "-") {
        read = platform::readStandardInput(page, limit);
    } else if (platform::directoryExists(file)) {
        problem = "Is a directory";
        return false;
    } else {
        platform::InputFile input;
        if (!input.open(file)) {
            // A missing file in the same words on every system, as "Is a directory" is.
            problem = platform::lastErrorIsNotFound() ? "No such file or directory"
                                                      : platform::errorText();
            return false;
        }
        const long long size = input.size();
        if (size >= 0) {
            if (isTooLargeInput(static_cast<std::size_t>(size))) return tooLarge(size);
            page.resize(static_cast<std::size_t>(size));
            read = input.readFromStart(page.data(), page.size()) == page.size();
        } else {
            // A pipe or a terminal: read up to the limit.
            read = input.readStream(page, limit);
        }
    }
    if (!read) {
        problem = platform::errorText();
        return false;
    }
    return !isTooLargeInput(page.size()) || tooLarge(page.size());
}

void appendJsonString(std::string& out, std::string_view text) {
    out += '"';
    appendJsonEscaped(out, text);
    out += '"';
}

// Every attribute of the element with its decoded value; a valueless word has the
// empty value unless a name=value piece has its name. Keyed by the escaped name, the
// order JSON members are written in.
std::map<std::string, std::string> allAttributes(const HtmlElement& element) {
    std::map<std::string, std::string> found;
    std::string value;
    const auto add = [&](std::string_view name) {
        std::string key;
        appendJsonEscaped(key, name);
        value.clear();
        element.getAttribute(name, value);
        found.try_emplace(std::move(key), value);
    };
    for (const auto& [name, raw] : element.attributes()) add(name);
    for (const std::string& name : element.valuelessAttributes()) add(name);
    return found;
}

class Selection {
  public:
    Selection(const SelectOptions& options, const Selector& selector, Output& output)
        : options_(options), selector_(selector), output_(output) {}

    // Prints the matches of one page; false after an error (already reported).
    bool run(std::string_view page, std::string_view displayName, bool& matched) {
        std::string storage;
        const Encoding encoding =
            options_.encoding.empty() ? detectEncoding(page) : encodingNamed(options_.encoding);
        const std::string_view text = toUtf8(page, encoding, storage);

        Request request;
        request.selector = selector_;
        request.codePage = kUtf8;
        request.text = TextForm::Written;
        request.attributes = options_.attributes;
        request.htmlWhitespace = options_.htmlWhitespace;
        const Report report = extract(text, request);
        if (!report) {
            // An empty page, or one without an element, matches nothing.
            if (report.status() == Status::NoRoot) return true;
            std::string message =
                std::string(displayName) + ": " + std::string(describe(report.status()));
            if (report.status() == Status::PageTooLarge) {
                message += " (" + std::to_string(text.size()) + " bytes as UTF-8)";
            }
            complain(message);
            return false;
        }
        if (report.size() > 0) matched = true;

        // The HTML and the whole attribute lists come from the document tree, whose
        // matches are the report's, in the same order.
        HtmlDocument document;
        ElementList elements;
        const bool needsTree = options_.form == OutputForm::Html ||
                               (options_.form == OutputForm::Json && options_.attributes.empty());
        if (needsTree) {
            document.setCodePage(kUtf8);
            document.setHtmlWhitespace(options_.htmlWhitespace);
            if (document.parse(text)) elements = select(document, selector_);
            if (elements.size() != report.size()) {
                complain(std::string(displayName) + ": the page could not be read as a tree");
                return false;
            }
        }
        for (std::size_t i = 0; i < report.size(); ++i) {
            writeMatch(report, i, needsTree ? elements[i] : nullptr, displayName);
            if (!output_.flushIfFull()) return true;
        }
        return true;
    }

  private:
    std::string value(std::string_view v) const {
        return options_.squeeze ? squeezeSpaces(v) : std::string(v);
    }

    void writeMatch(const Report& report, std::size_t i, const HtmlElement* element,
                    std::string_view displayName) {
        std::string& out = output_.buffer();
        if (options_.withFilename && options_.form != OutputForm::Json) {
            out += displayName;
            out += ':';
        }
        switch (options_.form) {
            case OutputForm::Text:
                out += value(report.text(i));
                break;
            case OutputForm::Attributes:
                for (std::size_t k = 1; k <= options_.attributes.size(); ++k) {
                    if (k > 1) out += '\t';
                    out += value(report.value(i, k));
                }
                break;
            case OutputForm::Html: {
                std::string html;
                if (element->outerHtml(html, 0) < 0) html.clear();
                // The serialiser ends lines with CR LF; this program's lines end in LF.
                for (std::size_t at = 0; (at = html.find("\r\n", at)) != std::string::npos;) {
                    html.erase(at, 1);
                }
                while (!html.empty() && html.back() == '\n') html.pop_back();
                out += html;
                break;
            }
            case OutputForm::Json: {
                std::map<std::string, std::string> attributes;
                if (element != nullptr) {
                    attributes = allAttributes(*element);
                } else {
                    for (std::size_t k = 1; k <= options_.attributes.size(); ++k) {
                        std::string key;
                        appendJsonEscaped(key, options_.attributes[k - 1]);
                        attributes.try_emplace(std::move(key), report.value(i, k));
                    }
                }
                out += "{\"file\":";
                appendJsonString(out, displayName);
                out += ",\"text\":";
                appendJsonString(out, value(report.text(i)));
                out += ",\"attrs\":{";
                bool first = true;
                for (const auto& [key, v] : attributes) {
                    if (!first) out += ',';
                    first = false;
                    out += '"';
                    out += key;  // already escaped
                    out += "\":";
                    appendJsonString(out, value(v));
                }
                out += "}}";
                break;
            }
        }
        out += '\n';
    }

    const SelectOptions& options_;
    const Selector& selector_;
    Output& output_;
};

}  // namespace

int runSelect(int argc, const char* const* argv) {
    SelectOptions options;
    std::string error;
    if (!parseOptions(argc, argv, options, error)) {
        complain(error);
        const std::string_view hint = "Try 'kestrune-select --help' for more information.\n";
        platform::writeStandardError(hint.data(), hint.size());
        return kFailed;
    }
    Output output;
    if (options.help || options.version) {
        output.buffer() =
            options.help ? usageText() : "kestrune-select " + std::string(kVersion) + "\n";
        return output.flush() || output.state() == Output::State::ClosedPipe ? kMatched : kFailed;
    }
    const Selector selector = Selector::compile(options.selector);
    if (!selector) {
        complain(selector.error().message);
        return kFailed;
    }
    if (!options.encoding.empty() && encodingNamed(options.encoding).codePage == 0) {
        complain("unknown encoding '" + options.encoding + "'");
        return kFailed;
    }
    if (options.files.empty()) options.files.emplace_back("-");

    Selection selection(options, selector, output);
    bool matched = false;
    bool failed = false;
    for (const std::string& file : options.files) {
        const std::string_view displayName = file == "-" ? kStandardInputName : file;
        std::string page;
        std::string problem;
        if (!readInput(file, page, problem)) {
            complain(std::string(displayName) + ": " + problem);
            failed = true;
            continue;
        }
        if (!selection.run(page, displayName, matched)) failed = true;
        if (!output.flush()) break;
    }
    output.flush();
    switch (output.state()) {
        case Output::State::Failed:
            return kFailed;
        case Output::State::ClosedPipe:
            // Whoever reads has what it wanted.
            return failed ? kFailed : kMatched;
        case Output::State::Open:
            break;
    }
    if (failed) return kFailed;
    return matched ? kMatched : kNoMatch;
}

}  // namespace kestrune::selectcli
