// SPDX-License-Identifier: MIT
// The HTML serialiser: an element and its subtree written back out with three
// spaces of indentation per level and CR LF line ends. Comments, script and style
// blocks are not indented; their raw content is written as it was read.
#include "query/serializer.h"

#include <kestrune/document.h>
#include <kestrune/extract.h>

#include <algorithm>
#include <utility>
#include <vector>

#include "html/attributes.h"
#include "html/tagTables.h"
#include "html/walk.h"

namespace kestrune {

namespace {

constexpr std::string_view kLineEnd = "\r\n";
constexpr std::string_view kIndentUnit = "   ";

void appendIndent(std::string& out, int depth) {
    if (depth > 0) out.append(static_cast<std::size_t>(depth) * kIndentUnit.size(), ' ');
}

// A space and the attributes as attributesString gives them, when there are any.
void appendAttributes(std::string& out, std::string_view attributeText) {
    const std::size_t at = out.size();
    out.push_back(' ');
    appendAttributesString(out, attributeText);
    if (out.size() == at + 1) out.pop_back();
}

}  // namespace

void appendRawElement(std::string& out, std::string_view tagName, std::string_view attributeText,
                      std::string_view content, bool comment, int lineBreaks) {
    out.push_back('<');
    out.append(tagName);
    if (comment) {
        out.append(content);
        out.append("-->");
    } else {
        appendAttributes(out, attributeText);
        out.push_back('>');
        out.append(content);
        out.append("</");
        out.append(tagName);
        out.push_back('>');
    }
    if (lineBreaks) out.append(kLineEnd);
}

namespace {

// An element written as start tag, content and end tag.
bool hasEndTag(const HtmlElement& e) {
    return !e.tagName().empty() && !e.isComment() && !e.isScript() && !e.isStyle() &&
           !e.isDoctype() && !isVoidTag(e.tagName());
}

// Writes the start of `e`; true when its end tag follows its children (an ordinary
// element), false when it is complete (comment, doctype, void, script, style).
bool writeOpening(std::string& out, const HtmlElement& e, int lineBreaks) {
    // The preceding text comes first; plain text and raw elements are not indented.
    const bool raw = e.isComment() || e.isScript() || e.isStyle();
    if (!raw && !e.tagName().empty()) appendIndent(out, e.depth());
    out.append(e.precedingText());
    if (e.tagName().empty()) return false;
    if (raw) {
        appendRawElement(out, e.tagName(), e.attributeText(), e.ownText(), e.isComment(),
                         lineBreaks);
        return false;
    }
    out.push_back('<');
    out.append(e.tagName());
    appendAttributes(out, e.attributeText());
    if (e.isDoctype() || isVoidTag(e.tagName())) {
        out.append(e.isDoctype() ? ">" : "/>");
        if (lineBreaks) out.append(kLineEnd);
        return false;
    }
    out.push_back('>');
    out.append(e.ownText());
    if (e.firstChild() != nullptr) out.append(kLineEnd);
    return true;
}

void writeClosing(std::string& out, const HtmlElement& e, int lineBreaks) {
    if (e.firstChild() != nullptr) appendIndent(out, e.depth());
    out.append("</");
    out.append(e.tagName());
    out.push_back('>');
    if (lineBreaks && e.tail().empty()) out.append(kLineEnd);
}

}  // namespace

std::string HtmlElement::attributesString() const {
    std::string out;
    appendAttributesString(out, attributeText());
    return out;
}

bool HtmlElement::writeAttributes(std::string& out) const {
    out = attributesString();
    return true;
}

int HtmlElement::outerHtml(std::string& out, int lineBreaks, std::size_t limit) const {
    if (tagName().empty()) {
        out.assign(precedingText());
        return 0;
    }
    if (limit == 0) {
        // The bytes the subtree was read from, near enough: its names and texts.
        auto sizeOf = [](const HtmlElement& e) {
            return e.tagName().size() + e.attributeText().size() + e.ownText().size() +
                   e.tail().size();
        };
        std::size_t read = sizeOf(*this);
        walkBelow(
            *this,
            [&](const HtmlElement& e) {
                read += sizeOf(e);
                return true;
            },
            [](const HtmlElement&) {});
        limit = defaultReportLimit(read);
    }
    std::string s;
    // Once the HTML is too long nothing more is written: the walk only runs out.
    bool tooLong = false;
    auto fits = [&] {
        if (s.size() > limit) tooLong = true;
        return !tooLong;
    };
    bool container = writeOpening(s, *this, lineBreaks);
    if (container) {
        walkBelow(
            *this,
            [&](const HtmlElement& e) {
                // An element that ends later keeps its children; others have none.
                return fits() && writeOpening(s, e, lineBreaks);
            },
            [&](const HtmlElement& e) {
                if (!fits()) return;
                if (hasEndTag(e)) writeClosing(s, e, lineBreaks);
                // The parent writes each child's tail; only the last child's is followed
                // by a line end.
                if (!e.tail().empty()) {
                    s.append(e.tail());
                    if (e.nextSibling() == nullptr) s.append(kLineEnd);
                }
            });
        writeClosing(s, *this, lineBreaks);
    }
    if (!fits()) {
        out.clear();
        return -1;
    }
    out.swap(s);
    return 1;
}

}  // namespace kestrune
