#!/usr/bin/env python3
# SPDX-License-Identifier: MIT
"""Writes the generated worst-case pages of the benchmarks into a folder.

  bench/genStress.py OUTDIR [--corpus DIR] [--only NAME,...]

Every page stays below Kestrune's input limit of 10 MiB; most fill 9.9 MiB. The
same corpus gives the same bytes (no clock, no random module). Each page but the
realistic one ends with one link and one paragraph, so that a reader that got to
the end reports at least one of each.

  stress-realistic           the bodies of the corpus pages that are UTF-8, smallest
                             first, one after the other in one body (--corpus: a folder
                             bench/collectCorpus.sh made; default $KESTRUNE_BENCH_CORPUS,
                             else $TMPDIR/kestrune-corpus)
  stress-deep-div            "<div>" two million times, never closed
  stress-deep-text-at-bottom two million nested "<div>" with one word at the bottom
  stress-script-pairs        "<script></script>" again and again
  stress-inline-handback     1.5 million open "<b>", 5 MB of words, then a "<div>"
  stress-handback-big-tag    a million open "<i>", then a "<div" start tag 6 MB long
  stress-attributes          tags with 8 to 40 attributes of every form
  stress-one-tag-many-attributes  one start tag with a million attributes
  stress-links-500k          500,000 links, 50 to a paragraph
  stress-stray-end-tags      one element with 1.3 million "<br>", then as many "</x>"
  stress-unclosed-p-end-tags 1.3 million "<p>x" left open, then as many "</p>"
"""
import argparse
import os
import re
import sys

import wholeRun

SIZE = int(9.9 * 1024 * 1024)
END = b'<a href="#end">end</a><p>end</p></body></html>\n'
HEAD = b"<!DOCTYPE html><html><head><title>worst case</title></head><body>\n"
DEFAULT_CORPUS = wholeRun.DEFAULT_CORPUS


def numbers(seed):
    """A fixed linear congruential sequence, the same on every Python."""
    state = seed
    while True:
        state = (state * 6364136223846793005 + 1442695040888963407) % (1 << 64)
        yield state >> 33


def filled(unit, size=SIZE):
    """HEAD, then `unit` as often as it fits, then END."""
    count = (size - len(HEAD) - len(END)) // len(unit)
    return HEAD + unit * count + END


def words(size, seed):
    vocabulary = (b"lorem ipsum dolor sit amet consectetur adipiscing elit sed do eiusmod "
                  b"tempor incididunt ut labore et dolore magna aliqua").split()
    out, pick = bytearray(), numbers(seed)
    while len(out) < size:
        out += vocabulary[next(pick) % len(vocabulary)]
        out += b"\n" if next(pick) % 12 == 0 else b" "
    return bytes(out[:size])


def realistic(corpus):
    if not corpus or not os.path.isdir(corpus):
        raise SystemExit("stress-realistic needs a corpus folder (--corpus DIR)")
    bodies = []
    for name in sorted(os.listdir(corpus)):
        if not name.endswith((".html", ".htm")):
            continue
        with open(os.path.join(corpus, name), "rb") as f:
            data = f.read()
        try:
            data.decode("utf-8")
        except UnicodeDecodeError:
            continue
        start = re.search(rb"<body[^>]*>", data, re.I)
        end = data.lower().rfind(b"</body")
        body = data[start.end() if start else 0:end if end > 0 else len(data)]
        if body.strip():
            bodies.append((len(body), name, body))
    if not bodies:
        raise SystemExit("no UTF-8 page with a body in %s" % corpus)
    bodies.sort()
    head = b'<!DOCTYPE html>\n<html><head><meta charset="utf-8"><title>real bodies</title></head><body>\n'
    tail = b"\n</body></html>\n"
    parts, size, added = [head], len(head) + len(tail), True
    while added:  # rounds over the bodies, smallest first, while one still fits
        added = False
        for _, name, body in bodies:
            chunk = b'<div class="page" title="' + name.encode() + b'">\n' + body + b"\n</div>\n"
            if size + len(chunk) <= SIZE:
                parts.append(chunk)
                size += len(chunk)
                added = True
    # The rest: the start of a body, cut before a "<" so that no tag or character is split.
    for _, _, body in bodies:
        cut = body.rfind(b"<", 0, SIZE - size)
        if cut > 0:
            parts.append(body[:cut])
            break
    parts.append(tail)
    return b"".join(parts)


def attributes():
    pick, out = numbers(7), bytearray(HEAD)
    forms = [b' k%d="v %d"', b" k%d=v%d", b" K%d", b" k%d='a&amp;b %d'", b' k%d="x>y=%d"', b" href=%d%d"]
    while len(out) < SIZE - 600 - len(END):
        out += b"<span"
        for _ in range(8 + next(pick) % 33):
            form = forms[next(pick) % len(forms)]
            n = next(pick) % 50
            out += form % (n, n) if form.count(b"%d") == 2 else form % n
        out += b">text</span>\n"
    return bytes(out) + END


def one_tag_many_attributes():
    out, i = bytearray(HEAD + b"<div"), 0
    while len(out) < SIZE - 32 - len(END):
        out += b" a%d=%d" % (i, i)
        i += 1
    return bytes(out) + b">x</div>" + END


def links():
    paragraph = b"".join(b'<a href="#%d">%d</a>' % (i, i) for i in range(50))
    return HEAD + b"".join(b"<p>" + paragraph + b"</p>\n" for _ in range(10000)) + END


def deep_text():
    count = (SIZE - len(HEAD) - len(END) - len(b"bottom")) // len(b"<div>")
    return HEAD + b"<div>" * count + b"bottom" + END


PAGES = {
    "stress-deep-div": lambda corpus: filled(b"<div>"),
    "stress-deep-text-at-bottom": lambda corpus: deep_text(),
    "stress-script-pairs": lambda corpus: filled(b"<script></script>"),
    "stress-inline-handback": lambda corpus: HEAD + b"<b>" * 1500000 + words(5000000, 3) + b"<div>" + END,
    "stress-handback-big-tag": lambda corpus: (HEAD + b"<i>" * 1000000 + b"<div" +
                                               words(6000000, 5).replace(b">", b" ") + b">" + END),
    "stress-attributes": lambda corpus: attributes(),
    "stress-one-tag-many-attributes": lambda corpus: one_tag_many_attributes(),
    "stress-links-500k": lambda corpus: links(),
    "stress-stray-end-tags": lambda corpus: HEAD + b"<div>" + b"<br>" * 1300000 + b"</x>" * 1300000 + END,
    "stress-unclosed-p-end-tags": lambda corpus: HEAD + b"<p>x" * 1300000 + b"</p>" * 1300000 + END,
    "stress-realistic": realistic,
}


def main():
    ap = argparse.ArgumentParser(description=__doc__.split("\n")[0],
                                 formatter_class=argparse.RawDescriptionHelpFormatter,
                                 epilog="\n".join(__doc__.split("\n")[2:]))
    ap.add_argument("outdir")
    ap.add_argument("--corpus", default=DEFAULT_CORPUS, help="pages for stress-realistic")
    ap.add_argument("--only", default="", help="comma-separated names (default: all)")
    args = ap.parse_args()
    names = [n for n in args.only.split(",") if n] or list(PAGES)
    os.makedirs(args.outdir, exist_ok=True)
    for name in names:
        if name not in PAGES:
            ap.error("no page %s (%s)" % (name, ", ".join(PAGES)))
        if name == "stress-realistic" and not os.path.isdir(args.corpus):
            print("skipped %s: no corpus folder %s" % (name, args.corpus), file=sys.stderr)
            continue
        data = PAGES[name](args.corpus)
        assert len(data) < 10 * 1024 * 1024, name
        with open(os.path.join(args.outdir, name + ".html"), "wb") as f:
            f.write(data)
        print("%-34s %9d bytes" % (name, len(data)), file=sys.stderr)
    return 0


if __name__ == "__main__":
    sys.exit(main())
