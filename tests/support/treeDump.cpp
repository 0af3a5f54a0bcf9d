// SPDX-License-Identifier: MIT
#include "support/treeDump.h"

#include <gtest/gtest.h>

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

// Pre-order over `top` and its subtree with the level relative to `top`.
template <typename Visit>
void visitSubtree(const HtmlElement& top, Visit visit) {
    const HtmlElement* e = &top;
    int level = 0;
    while (e != nullptr) {
        visit(*e, level);
        if (e->firstChild() != nullptr) {
            e = e->firstChild();
            ++level;
            continue;
        }
        while (e != &top && e->nextSibling() == nullptr) {
            e = e->parent();
            --level;
        }
        if (e == &top) break;
        e = e->nextSibling();
    }
}

}  // namespace

std::string dumpElement(const HtmlDocument& document, const HtmlElement& element) {
    std::string out;
    visitSubtree(element,
                 [&](const HtmlElement& e, int level) { appendLine(out, document, e, level); });
    return out;
}

std::string dumpTree(const HtmlDocument& document) {
    std::string out;
    for (const HtmlElement& top : document.topLevel()) out += dumpElement(document, top);
    return out;
}

void expectTreeInvariants(const HtmlDocument& document) {
    std::string_view text = document.text();
    auto inside = [&](std::string_view v) {
        return v.empty() ||
               (v.data() >= text.data() && v.data() + v.size() <= text.data() + text.size());
    };
    std::size_t count = 0;
    for (const HtmlElement& top : document.topLevel()) {
        EXPECT_EQ(top.parent(), nullptr);
        EXPECT_EQ(top.depth(), 0);
        visitSubtree(top, [&](const HtmlElement& e, int level) {
            ++count;
            EXPECT_EQ(e.depth(), level);
            for (std::string_view v :
                 {e.tagName(), e.attributeText(), e.ownText(), e.tail(), e.precedingText()}) {
                EXPECT_TRUE(inside(v)) << "view outside the document text";
            }
            for (const HtmlElement& c : e.children()) EXPECT_EQ(c.parent(), &e);
            int kinds = e.isComment() + e.isScript() + e.isStyle() + e.isDoctype();
            EXPECT_LE(kinds, 1);
            if (e.isComment() || e.isScript() || e.isStyle()) {
                EXPECT_TRUE(e.closed());
                EXPECT_EQ(e.firstChild(), nullptr);
            }
        });
    }
    EXPECT_EQ(count, document.elementCount());
}

}  // namespace kestrune::testing
