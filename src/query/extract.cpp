// SPDX-License-Identifier: MIT
// The one-call library: extract() runs the program's report run on a page in memory
// and keeps the findings as data; the report renders them with the program's own
// renderers.
#include <kestrune/extract.h>

#include <cstdint>
#include <cstring>
#include <iterator>

#include "base/ByteBuffer.h"
#include "base/platform.h"
#include "query/report.h"
#include "query/reportRun.h"

namespace kestrune {

namespace {

// The code page a request converts to; 0 when it cannot be used.
unsigned usableCodePage(unsigned requested) {
    if (requested == kLocalCodePage) {
        const platform::CodePageChoice choice = platform::localCodePage();
        return choice.usable ? choice.number : 0;
    }
    return platform::isUsableCodePage(requested) ? requested : 0;
}

// Value (or block) i of those kept one after the other in `bytes`.
std::string_view nth(std::string_view bytes, const std::vector<std::size_t>& ends, std::size_t i) {
    const std::size_t begin = i == 0 ? 0 : ends[i - 1];
    return bytes.substr(begin, ends[i] - begin);
}

}  // namespace

// The findings of a run kept in a Report. What the run holds until its root is known
// (and then hands back through output()) is each finding encoded as 32-bit lengths
// and bytes: an element as its value count, then key, length and bytes per value; a
// raw block as its length and bytes.
class ReportBuilder final : public Findings {
  public:
    ReportBuilder(Report& report, const Request& request) : report_(report), form_(request.text) {
        report_.tag_ = request.tag;
        const ReportKeys keys(request.attributes);
        for (std::size_t k = 0; k < keys.size(); ++k) report_.keys_.emplace_back(keys[k]);
        slots_.resize(keys.size());
    }

    void start(ReportMode mode) override { report_.mode_ = mode; }
    void doctype(std::string_view words) override {
        if (form_ == TextForm::Written) {
            report_.doctype_.assign(words);
            return;
        }
        report_.doctype_.resize(words.size());
        char* end = writeCleanedValue(report_.doctype_.data(), words, false, false);
        report_.doctype_.resize(static_cast<std::size_t>(end - report_.doctype_.data()));
    }
    void element(ByteBuffer& out, const std::vector<KeyedValue>& values, bool) override {
        putNumber(out, values.size());
        for (const KeyedValue& value : values) {
            putNumber(out, value.key);
            if (form_ == TextForm::Written) {
                putBytes(out, value.text);
                continue;
            }
            // Cleaned in place of the length written after it.
            char* at = out.room(4 + value.text.size());
            char* end = writeCleanedValue(at + 4, value.text, value.dropSpaces, false);
            const auto length = static_cast<std::uint32_t>(end - at - 4);
            std::memcpy(at, &length, 4);
            out.grewTo(end);
        }
    }
    void rawBlock(ByteBuffer& out, std::size_t, std::string_view html) override {
        putBytes(out, html);
    }
    void output(std::string_view bytes) override {
        const char* at = bytes.data();
        const char* end = at + bytes.size();
        while (at < end) {
            if (report_.mode_ == ReportMode::RawBlocks) {
                report_.bytes_.append(takeBytes(at));
                report_.ends_.push_back(report_.bytes_.size());
            } else {
                for (std::string_view& slot : slots_) slot = {};
                for (std::uint32_t n = takeNumber(at); n > 0; --n) {
                    const std::uint32_t key = takeNumber(at);
                    slots_[key] = takeBytes(at);
                }
                for (std::string_view slot : slots_) {
                    report_.bytes_.append(slot);
                    report_.ends_.push_back(report_.bytes_.size());
                }
            }
            ++report_.count_;
        }
    }

    // The report in the program's console or file form.
    static std::string render(const Report& report, ReportForm form) {
        ByteBuffer out;
        if (!report) return std::string();
        if (report.mode() == ReportMode::Doctype) {
            renderDoctype(out, form, report.doctype());
        } else if (report.mode() == ReportMode::RawBlocks) {
            for (std::size_t i = 0; i < report.size(); ++i)
                renderBlock(out, form, i + 1, report.block(i));
        } else {
            const std::vector<std::string>& keys = report.keys();
            const std::vector<std::string> names(keys.begin() + 1, keys.end());
            ElementRenderer elements(form, report.tag_, ReportKeys(names));
            elements.head(out);
            std::vector<KeyedValue> values;
            for (std::size_t i = 0; i < report.size(); ++i) {
                values.clear();
                for (std::size_t k = 0; k < keys.size(); ++k) {
                    const std::string_view value = report.value(i, k);
                    if (!value.empty())
                        values.push_back({static_cast<std::uint32_t>(k), value, k == 0});
                }
                elements.element(out, values, i == 0);
            }
            elements.tail(out);
        }
        return std::string(out.view());
    }

    // What extract() returns.
    static Report run(std::string_view page, const Request& request) {
        Report report;
        if (request.tag.empty()) return report;  // InvalidRequest
        const RunRequest how{.tagName = request.tag,
                             .attributeNames = &request.attributes,
                             .mode = reportModeOf(request.tag),
                             .codePage = usableCodePage(request.codePage)};
        Status status = Status::CodePageUnusable;
        if (how.codePage != 0) {
            ReportBuilder builder(report, request);
            status = runReport(PageSource{.bytes = page, .inMemory = true}, how, builder);
        }
        // A failed report holds nothing but its status.
        if (status != Status::Ok) report = Report();
        report.status_ = status;
        return report;
    }

  private:
    static void putNumber(ByteBuffer& out, std::size_t n) {
        const auto value = static_cast<std::uint32_t>(n);
        out.append(std::string_view(reinterpret_cast<const char*>(&value), 4));
    }
    static void putBytes(ByteBuffer& out, std::string_view bytes) {
        putNumber(out, bytes.size());
        out.append(bytes);
    }
    static std::uint32_t takeNumber(const char*& at) {
        std::uint32_t n = 0;
        std::memcpy(&n, at, 4);
        at += 4;
        return n;
    }
    static std::string_view takeBytes(const char*& at) {
        const std::uint32_t n = takeNumber(at);
        at += n;
        return std::string_view(at - n, n);
    }

    Report& report_;
    TextForm form_;
    std::vector<std::string_view> slots_;  // the values of the element being kept, by key
};

std::string_view describe(Status status) {
    // In the order of Status.
    static constexpr std::string_view kReasons[] = {
        "",
        "the request names no tag",
        "the code page cannot be used",
        "the page is 10 MiB or larger",
        "the page could not be converted to the code page",
        "the page has no element to read",
    };
    static_assert(std::size(kReasons) == static_cast<std::size_t>(Status::NoRoot) + 1);
    const auto i = static_cast<std::size_t>(status);
    return i < std::size(kReasons) ? kReasons[i] : "unknown status";
}

std::string_view Report::value(std::size_t element, std::size_t key) const {
    if (mode_ != ReportMode::Elements || element >= count_ || key >= keys_.size()) return {};
    return nth(bytes_, ends_, element * keys_.size() + key);
}

std::string_view Report::block(std::size_t i) const {
    if (mode_ != ReportMode::RawBlocks || i >= count_) return {};
    return nth(bytes_, ends_, i);
}

std::string Report::consoleText() const {
    return ReportBuilder::render(*this, ReportForm::Console);
}

std::string Report::fileText() const { return ReportBuilder::render(*this, ReportForm::File); }

Report extract(std::string_view page, const Request& request) {
    return ReportBuilder::run(page, request);
}

}  // namespace kestrune
