// SPDX-License-Identifier: MIT
// The one-call library: extract() runs the program's report run on a page in memory
// and keeps the findings as data; the report renders them with the program's own
// renderers.
#include <kestrune/extract.h>

#include <algorithm>
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

// The findings of one root candidate, kept as a Report keeps them.
struct KeptPart {
    std::string kept;               // every value or block, one after the other
    std::vector<std::size_t> ends;  // where each ends in `kept`
    std::size_t count = 0;          // elements or blocks

    void clear() {
        kept.clear();
        ends.clear();
        count = 0;
    }
    void swap(KeptPart& other) noexcept {
        kept.swap(other.kept);
        ends.swap(other.ends);
        std::swap(count, other.count);
    }
    // What the report limit counts: the bytes, and 8 per value for its end.
    std::size_t bytes() const { return kept.size() + ends.size() * 8; }
};

// How often findings are counted before Request::interrupted is asked again.
constexpr std::size_t kFindingsPerPoll = 64;

}  // namespace

// The findings of a run kept in a Report: each value written once, where the report
// keeps it.
class ReportBuilder final : public HeldParts<KeptPart> {
  public:
    ReportBuilder(Report& report, const Request& request, std::size_t limit)
        : report_(report), request_(request), limit_(limit) {
        // The file report's member name: the tag, or the selector's text.
        report_.tag_ = request.selector.text().empty() ? request.tag : request.selector.text();
        const ReportKeys keys(request.attributes);
        for (std::size_t k = 0; k < keys.size(); ++k) report_.keys_.emplace_back(keys[k]);
        slots_.resize(keys.size());
    }

    void start(ReportMode mode) override {
        report_.mode_ = mode;
        report_.lacksDoctype_ = mode != ReportMode::Doctype && request_.selector.text().empty() &&
                                reportModeOf(request_.tag) == ReportMode::Doctype;
    }
    void doctype(std::string_view words) override {
        if (request_.text == TextForm::Written) {
            report_.doctype_.assign(words);
            return;
        }
        report_.doctype_.resize(words.size());
        char* end = writeCleanedValue(report_.doctype_.data(), words, false, false);
        report_.doctype_.resize(static_cast<std::size_t>(end - report_.doctype_.data()));
    }
    void element(const std::vector<KeyedValue>& values) override {
        if (!admit()) return;
        for (std::string_view& slot : slots_) slot = {};
        for (const KeyedValue& value : values) slots_[value.key] = value.text;
        KeptPart& part = current();
        for (std::size_t k = 0; k < slots_.size(); ++k) {
            append(part, slots_[k], k == 0);
            part.ends.push_back(part.kept.size());
        }
        ++part.count;
        check();
    }
    void rawBlock(std::size_t, std::string_view html) override {
        if (!admit()) return;
        KeptPart& part = current();
        part.kept.append(html);
        part.ends.push_back(part.kept.size());
        ++part.count;
        check();
    }
    bool failed() const override { return failure_ != Status::Ok; }

    // Room for the report of a page of `pageBytes` bytes: its values (as many bytes as the
    // page, within the limit) and their ends (one per 16 bytes of page). Memory is only
    // taken as the report fills the room, and a report that stays within it is never
    // moved: each value is written once.
    void expect(std::size_t pageBytes) {
        KeptPart& part = current();
        part.kept.reserve(std::min(pageBytes, limit_));
        part.ends.reserve(std::min(pageBytes, limit_) / 16);
    }

    // After the run: the report holds the root's findings, or nothing but its status.
    void finish(Status status) {
        if (status == Status::Ok) status = failure_;
        if (status != Status::Ok) {
            report_ = Report();
        } else {
            KeptPart& part = current();
            report_.bytes_.swap(part.kept);
            report_.ends_.swap(part.ends);
            report_.count_ = part.count;
        }
        report_.status_ = status;
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
        const bool selects = !request.selector.text().empty();
        if (selects && !request.selector) {
            report.status_ = Status::InvalidSelector;
            return report;
        }
        if (!selects && request.tag.empty()) return report;  // InvalidRequest
        const RunRequest how{.tagName = selects ? request.selector.text() : request.tag,
                             .selector = selects ? &request.selector : nullptr,
                             .attributeNames = &request.attributes,
                             .mode = selects ? ReportMode::Elements : reportModeOf(request.tag),
                             .codePage = usableCodePage(request.codePage),
                             .textsAsWritten = request.text == TextForm::Written,
                             .htmlWhitespace = request.htmlWhitespace};
        const std::size_t limit =
            request.maxReportBytes != 0 ? request.maxReportBytes : defaultReportLimit(page.size());
        ReportBuilder builder(report, request, limit);
        builder.expect(page.size());
        const Status status =
            how.codePage == 0
                ? Status::CodePageUnusable
                : runReport(PageSource{.bytes = page, .inMemory = true}, how, builder);
        builder.finish(status);
        return report;
    }

  private:
    // Whether a finding is still wanted: not once the report failed, nor once the
    // caller asked to stop.
    bool admit() {
        if (failure_ != Status::Ok) return false;
        if (request_.interrupted && ++sincePoll_ >= kFindingsPerPoll) {
            sincePoll_ = 0;
            if (request_.interrupted()) failure_ = Status::Interrupted;
        }
        return failure_ == Status::Ok;
    }
    void check() {
        if (heldBytes() > limit_) failure_ = Status::ReportTooLarge;
    }
    // An element's value as the request's form has it.
    void append(KeptPart& part, std::string_view value, bool text) {
        if (request_.text == TextForm::Written) {
            part.kept.append(value);
            return;
        }
        const std::size_t at = part.kept.size();
        part.kept.resize(at + value.size());
        char* end = writeCleanedValue(part.kept.data() + at, value, text, false);
        part.kept.resize(static_cast<std::size_t>(end - part.kept.data()));
    }

    Report& report_;
    const Request& request_;
    std::size_t limit_;
    Status failure_ = Status::Ok;  // why the findings stopped being kept
    std::size_t sincePoll_ = 0;
    std::vector<std::string_view> slots_;  // the values of the element being kept, by key
};

std::size_t defaultReportLimit(std::size_t pageBytes) {
    constexpr std::size_t kLeast = std::size_t{16} << 20;
    // A 32-bit process has 2 to 4 GiB of address space in all: a report growing to
    // 1 GiB (and its copy as it grows) would run out of it before reaching the limit.
    constexpr std::size_t kMost =
        sizeof(void*) >= 8 ? std::size_t{1} << 30 : std::size_t{256} << 20;
    if (pageBytes >= kMost / 64) return kMost;
    return pageBytes * 64 < kLeast ? kLeast : pageBytes * 64;
}

std::string_view describe(Status status) {
    // In the order of Status.
    static constexpr std::string_view kReasons[] = {
        "",
        "the request names no tag",
        "the code page cannot be used",
        "the page is 10 MiB or larger",
        "the page could not be converted to the code page",
        "the page has no element to read",
        "the report would be larger than its limit",
        "the call was interrupted",
        "the selector does not compile",
    };
    static_assert(std::size(kReasons) == static_cast<std::size_t>(Status::InvalidSelector) + 1);
    const auto i = static_cast<std::size_t>(status);
    return i < std::size(kReasons) ? kReasons[i] : "unknown status";
}

std::string_view Report::value(std::size_t element, std::size_t key) const {
    if (mode_ != ReportMode::Elements || element >= count_ || key >= keys_.size()) return {};
    return nth(bytes_, ends_, element * keys_.size() + key);
}

std::string_view Report::value(std::size_t element, std::string_view name) const {
    for (std::size_t k = 0; k < keys_.size(); ++k) {
        if (keys_[k] == name) return value(element, k);
    }
    return {};
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
