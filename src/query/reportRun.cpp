// SPDX-License-Identifier: MIT
// One report run: the page read and prepared, the mode's path chosen once, the
// findings handed on. Elements and raw blocks come straight from the text, in one
// pass of the parser core; the doctype, and the references of tests, from the tree.
#include "query/reportRun.h"

#include <kestrune/document.h>
#include <kestrune/select.h>

#include "base/byteString.h"
#include "html/attributes.h"
#include "html/documentStorage.h"
#include "query/gatherTexts.h"
#include "query/referencePaths.h"
#include "query/serializer.h"

namespace kestrune {

namespace {

std::size_t fewGroupsOf(NameLookUp lookUp) {
    if (lookUp == NameLookUp::OneByOne) return ~std::size_t{0};
    return lookUp == NameLookUp::Search ? 0 : AttributeFinder::kFewGroups;
}

// The values of each found element: its text, then "attr" or the asked attributes,
// as found. Only the values that are not empty are handed on.
class ElementValues {
  public:
    ElementValues(const RunRequest& request, NameLookUp lookUp)
        : names_(*request.attributeNames), finder_(names_, fewGroupsOf(lookUp)) {}

    // Valid until the next call, and as long as both texts.
    const std::vector<KeyedValue>& of(std::string_view attributeText, std::string_view text) {
        filled_.clear();
        // Element text loses every space too, so that words run together.
        keep(0, text, true);
        if (names_.empty()) {
            list_.clear();
            appendAttributesString(list_, attributeText);
            keep(1, list_, false);
        } else {
            finder_.find(attributeText, [&](std::size_t k, std::string_view value) {
                keep(static_cast<std::uint32_t>(k + 1), value, false);
            });
        }
        return filled_;
    }

  private:
    void keep(std::uint32_t key, std::string_view value, bool dropSpaces) {
        if (!value.empty()) filled_.push_back({key, value, dropSpaces});
    }

    const std::vector<std::string>& names_;
    AttributeFinder finder_;
    std::string list_;
    std::vector<KeyedValue> filled_;
};

// The extraction's findings turned into the run's.
class Forward final : public ElementSink {
  public:
    Forward(const RunRequest& request, NameLookUp lookUp, Findings& findings)
        : values_(request, lookUp), to_(findings) {}

    void element(std::string_view attributeText, std::string_view text) override {
        to_.element(values_.of(attributeText, text));
    }
    void rawBlock(std::string_view tagName, std::string_view attributeText,
                  std::string_view content, bool comment, std::size_t number) override {
        // A block of megabytes is not written out for a report that has failed.
        if (to_.failed()) return;
        html_.clear();
        appendRawElement(html_, tagName, attributeText, content, comment, 0);
        to_.rawBlock(number, html_);
    }

    ElementValues values_;

  private:
    Findings& to_;
    std::string html_;  // reused from block to block
};

void reportFromTree(const HtmlDocument& document, const RunRequest& request, NameLookUp lookUp,
                    Findings& findings) {
    const HtmlElement& root = *document.root();
    if (request.mode == ReportMode::Doctype && document.doctype() != nullptr) {
        findings.start(ReportMode::Doctype);
        findings.doctype(document.doctype()->attributesString());
        return;
    }
    const bool raw = request.mode == ReportMode::RawBlocks;
    findings.start(raw ? ReportMode::RawBlocks : ReportMode::Elements);
    // The root is known: the report streams.
    findings.stream();
    ElementList elements;
    if (request.selector != nullptr) {
        elements = select(document, *request.selector);
    } else {
        root.findByTag(request.tagName, elements, 1);
    }
    Forward forward(request, lookUp, findings);
    TextRuns texts(elements, request.textsAsWritten);
    std::string text;
    for (std::size_t i = 0; i < elements.size(); ++i) {
        if (findings.failed()) break;
        text.clear();
        if (raw) {
            elements[i]->outerHtml(text, 0);
            findings.rawBlock(i + 1, text);
        } else {
            texts.appendText(i, text);
            findings.element(forward.values_.of(elements[i]->attributeText(), text));
        }
    }
}

// Files that cannot be read count as pages without a root: the program says only that.
Status loadFailure(const PageSource& page) {
    return page.inMemory ? Status::ConversionFailed : Status::NoRoot;
}

}  // namespace

Status runReport(const PageSource& page, const RunRequest& request, Findings& findings) {
    return runReport(page, request, findings, ReferencePaths());
}

Status runReport(const PageSource& page, const RunRequest& request, Findings& findings,
                 const ReferencePaths& paths) {
    // A page in memory may be refused before any parse: too large, or empty.
    if (page.inMemory && isTooLargeInput(page.bytes.size())) return Status::PageTooLarge;
    if (page.inMemory && (page.bytes.empty() || page.bytes.front() == '\0')) return Status::NoRoot;
    // A selector that needs more than an element's ancestors is matched on the tree.
    const bool selectsOnTree = request.selector != nullptr && !request.selector->streams();
    // Tags read as browsers read them are rewritten in the document's own text.
    if (request.mode == ReportMode::Doctype || paths.fromTree || selectsOnTree ||
        request.htmlWhitespace) {
        HtmlDocument document;
        document.setCodePage(request.codePage);
        document.setHtmlWhitespace(request.htmlWhitespace);
        const bool parsed =
            page.inMemory ? document.parse(page.bytes) : document.load(page.fileName);
        if (!parsed) return document.text().empty() ? loadFailure(page) : Status::NoRoot;
        reportFromTree(document, request, paths.lookUp, findings);
        return Status::Ok;
    }
    // No tree is needed: the report is made as the text is parsed.
    PageText text;
    const int loaded = page.inMemory ? text.assign(page.bytes, request.codePage)
                                     : text.load(page.fileName, request.codePage);
    if (loaded != 1) return loadFailure(page);
    const bool raw = request.mode == ReportMode::RawBlocks;
    findings.start(request.mode);
    Forward forward(request, paths.lookUp, findings);
    const std::size_t lastHtmlTag = text.facts().lastHtmlTag;
    const bool found = raw ? extractRawBlocks(text.text(), lastHtmlTag, request.tagName, forward,
                                              findings, paths.settling)
                           : extractElements(text.text(), lastHtmlTag,
                                             ElementQuery{.tagName = request.tagName,
                                                          .selector = request.selector,
                                                          .textsAsWritten = request.textsAsWritten},
                                             forward, findings, paths.settling);
    return found ? Status::Ok : Status::NoRoot;
}

}  // namespace kestrune
