#!/usr/bin/env python3
# SPDX-License-Identifier: MIT
"""The selector engine against lxml + cssselect and soupsieve (on BeautifulSoup).

  differentialTest.py PROBE BANK [CORPUS_DIR]

Every page of CORPUS_DIR (when it exists) and a set of random well-formed pages is
parsed by Kestrune (PROBE, tests/select/differential/selectProbe.cpp) and lxml.html. A
page qualifies when both trees agree: the same elements in the same order with the
same parents and tag names, the same attributes and values, and the same elements
empty (no child element, no text but white space). On each qualifying page every
selector of BANK must match the elements cssselect matches, soupsieve matches, or
both, as its line says, on the pages of at most CSS_LIMIT elements; soupsieve runs on
BeautifulSoup's tree of the page (with lxml), which must be the same again, on those
of at most SOUP_LIMIT elements. Prints how many pages qualified and why the
corpus pages that did not. Exit status 77 when a peer library is missing.
"""

import json
import os
import random
import subprocess
import sys
import tempfile
import warnings

try:
    import bs4
    import cssselect
    import lxml.html
    import soupsieve
except ImportError as missing:
    print(f"SKIPPED: {missing.name} is not installed for {sys.executable} "
          "(apt-get install python3-lxml python3-cssselect python3-soupsieve python3-bs4)")
    sys.exit(77)

# Some corpus pages are XHTML: they are read as HTML, as Kestrune reads them.
warnings.filterwarnings("ignore", category=bs4.XMLParsedAsHTMLWarning)

PEERS = ("both", "cssselect", "soupsieve")
# Pages with more elements are only checked to qualify: cssselect's XPath for sibling
# positions takes time quadratic in the number of siblings, and soupsieve seconds per
# selector on large pages.
CSS_LIMIT = 10000
SOUP_LIMIT = 3000
HTML_SPACE = " \t\n\r\f"


def read_bank(path):
    """The bank's (peers, selector) rows: "PEERS SELECTOR", "#" starts a comment line."""
    rows = []
    with open(path, encoding="utf-8") as f:
        for line in f:
            line = line.rstrip("\n")
            if not line.strip() or line.startswith("#"):
                continue
            peers, _, selector = line.partition(" ")
            if peers not in PEERS:
                raise SystemExit(f"{path}: bad peers in {line!r}")
            rows.append((peers, selector.strip()))
    return rows


# ----- random well-formed pages, in the subset of HTML on which the three parsers agree

WORDS = ["alpha", "beta", "gamma", "delta", "x", "News &amp; events", "1 &lt; 2", "omega"]
CLASSES = ["a", "b", "c", "nav", "item", "x-y", "A"]
LANGS = ["en", "en-US", "fr", "de-CH", "EN"]
HREFS = ["/a.html", "/b/c.html", "http://example.org/x", "#top", "mailto:a@b.org", "a.HTML"]
BLOCKS = ["div", "section", "article", "nav", "footer", "DIV", "Section"]
INLINES = ["span", "b", "u", "em", "code", "label", "SPAN"]  # "i" ends an "i" in Kestrune


class PageMaker:
    def __init__(self, rng):
        self.rng = rng
        self.ids = 0

    def attributes(self, tag):
        r = self.rng
        parts = []
        if r.random() < 0.4:
            self.ids += 1
            parts.append(f'{r.choice(["id", "ID"])}="e{self.ids}"')
        if r.random() < 0.5:
            parts.append('class="' + " ".join(r.sample(CLASSES, r.randint(1, 3))) + '"')
        if r.random() < 0.2:
            parts.append(f'lang="{r.choice(LANGS)}"')
        if r.random() < 0.15:
            parts.append(f'title="{r.choice(WORDS)}"')
        if r.random() < 0.15:
            parts.append(f'data-n="{r.randint(0, 12)}"')
        if tag == "a":
            parts.append(f'href="{r.choice(HREFS)}"')
            if r.random() < 0.3:
                parts.append('rel="nofollow noopener"')
        r.shuffle(parts)
        return "".join(" " + p for p in parts)

    def text(self):
        r = self.rng
        roll = r.random()
        if roll < 0.35:
            return ""
        if roll < 0.45:
            return r.choice([" ", "\n", "  \n "])
        return r.choice(WORDS)

    def inline(self, depth, in_link=False):
        """Inline content: text, inline elements (never a link in a link), void elements."""
        r = self.rng
        out = [self.text()]
        for _ in range(r.randint(0, 3) if depth < 7 else 0):
            roll = r.random()
            if roll < 0.12:
                out.append(f"<br{self.attributes('br')}>")
            elif roll < 0.22:
                out.append(f'<img src="p.png"{self.attributes("img")}>')
            elif roll < 0.3:
                extra = " disabled" if r.random() < 0.5 else ""
                out.append(f'<input type="{r.choice(["text", "checkbox"])}"{extra}'
                           f'{self.attributes("input")}>')
            elif roll < 0.36:
                out.append("<!-- note -->")
            elif roll < 0.5 and not in_link:
                out.append(f"<a{self.attributes('a')}>{self.inline(depth + 1, True)}</a>")
            else:
                tag = r.choice(INLINES)
                out.append(f"<{tag}{self.attributes(tag)}>{self.inline(depth + 1, in_link)}"
                           f"</{tag}>")
            out.append(self.text())
        return "".join(out)

    def flow(self, depth):
        """Block content: blocks, paragraphs, lists, tables, raw blocks and inline."""
        r = self.rng
        out = [self.text()]
        for _ in range(r.randint(1, 4) if depth < 6 else 0):
            roll = r.random()
            if roll < 0.3:
                tag = r.choice(BLOCKS)
                out.append(f"<{tag}{self.attributes(tag)}>{self.flow(depth + 1)}</{tag}>")
            elif roll < 0.5:
                tag = r.choice(["p", "p", "h1", "h2", "P"])
                out.append(f"<{tag}{self.attributes(tag)}>{self.inline(depth + 1)}</{tag}>")
            elif roll < 0.62:
                tag = r.choice(["ul", "ol"])
                items = "".join(
                    f"<li{self.attributes('li')}>{self.flow(depth + 2)}</li>{self.text()}"
                    for _ in range(r.randint(1, 5)))
                out.append(f"<{tag}{self.attributes(tag)}>{items}</{tag}>")
            elif roll < 0.68:
                rows = "".join(
                    "<tr>" + "".join(f"<td{self.attributes('td')}>{self.inline(depth + 3)}</td>"
                                     for _ in range(r.randint(1, 3))) + "</tr>"
                    for _ in range(r.randint(1, 3)))
                out.append(f"<table{self.attributes('table')}>{rows}</table>")
            elif roll < 0.72:
                out.append(r.choice(["<script>var n = 1 < 2;</script>", "<style>p { }</style>",
                                     "<script></script>"]))
            elif roll < 0.76:
                out.append("<!-- block note -->")
            else:
                out.append(self.inline(depth + 1))
            out.append(self.text())
        return "".join(out)

    def page(self):
        body = self.flow(0)
        return ('<!DOCTYPE html>\n<html lang="en"><head><meta charset="utf-8">'
                f"<title>Page {self.ids}</title></head>\n<body{self.attributes('body')}>"
                f"{body}</body></html>\n")


# ----- the trees

def lxml_tree(page):
    """lxml's elements and their rows: parent, tag, attributes, empty."""
    root = lxml.html.document_fromstring(page)
    elements = [e for e in root.iter() if isinstance(e.tag, str)]

    def empty(e):
        if (e.text or "").strip(HTML_SPACE):
            return False
        for child in e:
            if isinstance(child.tag, str) or (child.tail or "").strip(HTML_SPACE):
                return False
        return True
    return elements, rows_of(elements, lambda e: e.getparent(), lambda e: e.tag,
                             lambda e: dict(e.attrib), empty)


def soup_tree(page):
    soup = bs4.BeautifulSoup(page, "lxml", multi_valued_attributes=None)
    elements = [t for t in soup.descendants if isinstance(t, bs4.Tag)]

    def parent(t):
        return t.parent if t.parent is not None and t.parent.name != "[document]" else None

    def empty(t):
        for child in t.children:
            if isinstance(child, bs4.Tag):
                return False
            if not isinstance(child, (bs4.Comment, bs4.Doctype, bs4.Declaration,
                                      bs4.ProcessingInstruction)) and child.strip(HTML_SPACE):
                return False
        return True
    return soup, elements, rows_of(elements, parent, lambda t: t.name, lambda t: dict(t.attrs),
                                   empty)


def rows_of(elements, parent_of, name_of, attributes_of, empty_of):
    number = {id(e): i for i, e in enumerate(elements)}
    rows = []
    for e in elements:
        parent = parent_of(e)
        rows.append([-1 if parent is None else number[id(parent)], name_of(e), attributes_of(e),
                     empty_of(e)])
    return rows


def first_difference(ours, theirs, valueless_as_name):
    """Where the trees differ first, or None. With `valueless_as_name` a value equal to
    its attribute's name stands for our empty value: lxml gives a valueless attribute
    (<input disabled>) its name as value."""
    if len(ours) != len(theirs):
        return f"{len(ours)} elements against {len(theirs)}"
    for i, (a, b) in enumerate(zip(ours, theirs)):
        attributes = dict(b[2])
        if valueless_as_name:
            for name, value in a[2].items():
                if value == "" and attributes.get(name) == name:
                    attributes[name] = ""
        if a[:2] != b[:2] or a[3] != b[3]:
            return f"element {i}: (parent, tag, empty) {(a[0], a[1], a[3])} against " \
                   f"{(b[0], b[1], b[3])}"
        if a[2] != attributes:
            return f"element {i} <{a[1]}>: attributes {a[2]} against {b[2]}"[:240]
    return None


def main():
    if len(sys.argv) not in (3, 4):
        raise SystemExit(__doc__)
    probe, bank_path = sys.argv[1], sys.argv[2]
    corpus = sys.argv[3] if len(sys.argv) == 4 else None
    bank = read_bank(bank_path)
    pages = []
    if corpus and os.path.isdir(corpus):
        for name in sorted(os.listdir(corpus)):
            if name.endswith(".html"):
                with open(os.path.join(corpus, name), "rb") as f:
                    pages.append(("corpus", name, f.read()))
    maker = PageMaker(random.Random(20261208))
    for n in range(80):
        pages.append(("generated", f"page {n}", maker.page().encode("utf-8")))

    translator = cssselect.HTMLTranslator()
    xpaths = {}
    for _, selector in bank:
        try:
            xpaths[selector] = translator.css_to_xpath(selector)
        except cssselect.SelectorError as error:
            xpaths[selector] = error
    qualified = {"corpus": 0, "generated": 0}
    total = {"corpus": 0, "generated": 0}
    with_css = 0
    with_soup = 0
    failures = []
    not_qualified = []
    compared = 0
    with tempfile.TemporaryDirectory() as work:
        selectors_path = os.path.join(work, "selectors.txt")
        with open(selectors_path, "w", encoding="utf-8") as f:
            f.write("".join(selector + "\n" for _, selector in bank))
        page_path = os.path.join(work, "page.html")
        for kind, name, page in pages:
            total[kind] += 1
            with open(page_path, "wb") as f:
                f.write(page)
            run = subprocess.run([probe, page_path, selectors_path], capture_output=True)
            if run.returncode != 0:
                failures.append(f"{name}: the probe failed: {run.stderr.decode(errors='replace')}")
                continue
            ours = json.loads(run.stdout.decode("utf-8", "surrogateescape"))
            tree = ours["elements"]
            lx, lx_tree = lxml_tree(page)
            why = first_difference(tree, lx_tree, True)
            if why is not None:
                (failures if kind == "generated" else not_qualified).append(f"{name}: {why}")
                continue
            qualified[kind] += 1
            if len(tree) > CSS_LIMIT:
                continue
            with_css += 1
            soup = None
            if len(tree) <= SOUP_LIMIT:
                soup, sp, sp_tree = soup_tree(page)
                why = first_difference(tree, sp_tree, False)
                if why is None:
                    with_soup += 1
                    sp_number = {id(t): i for i, t in enumerate(sp)}
                else:
                    soup = None
                    if kind == "generated":
                        failures.append(f"{name}: BeautifulSoup's tree differs: {why}")
            lx_number = {e: i for i, e in enumerate(lx)}
            for (peers, selector), found in zip(bank, ours["matches"]):
                if isinstance(found, str):
                    failures.append(f"{selector!r} does not compile: {found}")
                    continue
                answers = {}
                if peers in ("both", "cssselect"):
                    xpath = xpaths[selector]
                    if isinstance(xpath, Exception):
                        failures.append(f"{selector!r}: cssselect: {xpath}")
                        continue
                    answers["cssselect"] = [lx_number[e] for e in lx[0].xpath(xpath)]
                if peers in ("both", "soupsieve") and soup is not None:
                    answers["soupsieve"] = sorted(sp_number[id(t)]
                                                  for t in soupsieve.select(selector, soup))
                for peer, theirs in answers.items():
                    compared += 1
                    if theirs != found:
                        failures.append(f"{name}: {selector!r}: Kestrune {found}, {peer} {theirs}")
    print(f"pages qualifying (the same tree in Kestrune and lxml.html): "
          f"corpus {qualified['corpus']} of {total['corpus']}, "
          f"generated {qualified['generated']} of {total['generated']}; "
          f"selectors compared on {with_css} of them, with soupsieve too on {with_soup}")
    for line in not_qualified:
        print("  not qualifying:", line)
    print(f"{len(bank)} selectors, {compared} comparisons with a peer")
    for failure in failures[:40]:
        print("FAIL:", failure)
    if failures:
        print(f"{len(failures)} failures")
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main())
