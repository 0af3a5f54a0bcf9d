// SPDX-License-Identifier: MIT
#include "support/treeDump.h"

#include "support/treeWalk.h"

namespace kestrune::testing {

namespace {

void appendField(std::string& out, std::string_view key, std::string_view value) {
    if (value.empty()) return;
    out += ' ';
    out += key;
    out += "='";
    out += value;
    out += '\'';
}

void appendLine(std::string& out, const HtmlDocument& doc, const HtmlElement& e, int indent) {
    out.append(static_cast<std::size_t>(indent) * 2, ' ');
    out += e.tagName().empty() ? std::string_view("#text") : e.tagName();
    if (!e.closed()) out += '~';
    appendField(out, "own", e.ownText());
    appendField(out, "tail", e.tail());
    appendField(out, "pre", e.precedingText());
    appendField(out, "attr", e.attributeText());
    std::string strays;
    for (std::string_view s : doc.strayEndTags(e)) {
        if (!strays.empty()) strays += ',';
        strays += s;
    }
    if (!strays.empty()) out += " stray=" + strays;
    if (e.isComment()) out += " !comment";
    if (e.isScript()) out += " !script";
    if (e.isStyle()) out += " !style";
    if (e.isDoctype()) out += " !doctype";
    out += '\n';
}

}  // namespace

std::string dumpTree(const HtmlDocument& document) {
    std::string out;
    walkDocument(document,
                 [&](const HtmlElement& e, int level) { appendLine(out, document, e, level); });
    return out;
}

}  // namespace kestrune::testing
