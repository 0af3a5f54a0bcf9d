#!/usr/bin/env python3
# SPDX-License-Identifier: MIT
"""Draws the results of the peer comparison (shared/bench/compare.py --out DIR)
as SVG bar charts. Standard library only.

  bench/chart.py DIR                       # DIR/chart-wall.svg and DIR/chart-summary.svg
  bench/chart.py DIR --metric rss          # peak RSS instead of wall time
  bench/chart.py DIR/cells.json --tools kestrune,gumbo,lxml --inputs 'stress-' -o out.svg

chart-wall.svg (or chart-rss.svg): one row per input (sorted by size), one panel
per task, one horizontal bar per tool: the median over the timed runs, on a log
scale. The `cat FILE > /dev/null` floor is drawn in grey behind each group; failed
runs (TIMEOUT, CRASH, EXIT n) are written in red instead of a bar. Hovering a bar
shows its exact value.

chart-summary.svg: per task and input group (corpus pages, generated worst
cases), the geometric mean over the inputs of each tool's median divided by
Kestrune's, on a log scale: bars right of the 1x line are slower than Kestrune.

Reads DIR/cells.json (per cell medians); input sizes come from DIR/runs.csv when
it is there.
"""
import argparse
import csv
import json
import math
import os
import re
import sys

PALETTE = ["#1f77b4", "#2ca02c", "#9467bd", "#8c564b", "#e377c2", "#17becf", "#bcbd22",
           "#7f7f7f", "#393b79", "#637939", "#8c6d31", "#843c39", "#7b4173", "#3182bd"]
KESTRUNE_COLOUR = "#e6550d"
FLOOR_COLOUR = "#d9d9d9"
FAIL_COLOUR = "#c00000"
FONT = "font-family=\"DejaVu Sans, Verdana, Arial, sans-serif\""
TASK_TITLES = {"a": "task a: every <a>, href and text", "p": "task p: every <p>, text"}


def esc(text):
    return (str(text).replace("&", "&amp;").replace("<", "&lt;").replace(">", "&gt;")
            .replace('"', "&quot;"))


def text_width(text, size):
    # Average advance of DejaVu Sans is about 0.6 em; good enough for layout.
    return len(text) * size * 0.6


def fmt_size(n):
    if n is None:
        return ""
    if n >= 1 << 20:
        return "%.1f MiB" % (n / 1048576.0)
    if n >= 1 << 10:
        return "%.0f KiB" % (n / 1024.0)
    return "%d B" % n


def fmt_value(v, metric):
    if metric == "rss":
        return "%.1f MiB" % v if v < 100 else "%.0f MiB" % v
    if v >= 100:
        return "%.0f ms" % v
    return "%.1f ms" % v if v >= 10 else "%.2f ms" % v


def fmt_tick(v, metric):
    unit = " MiB" if metric == "rss" else " ms"
    if v >= 1000 and metric != "rss":
        return "%g s" % (v / 1000.0)
    return ("%g" % v) + unit


class LogScale:
    """Maps [lo, hi] (whole decades) onto [x0, x0 + width]."""

    def __init__(self, values, x0, width):
        vals = [v for v in values if v and v > 0] or [1.0]
        self.lo = 10 ** math.floor(math.log10(min(vals)))
        self.hi = 10 ** math.ceil(math.log10(max(vals)))
        if self.hi <= self.lo:
            self.hi = self.lo * 10
        self.x0, self.width = x0, width

    def __call__(self, v):
        v = min(max(v, self.lo), self.hi)
        return self.x0 + self.width * (math.log10(v) - math.log10(self.lo)) / (
            math.log10(self.hi) - math.log10(self.lo))

    def ticks(self):
        major, minor = [], []
        d = self.lo
        while d <= self.hi * 1.0001:
            major.append(d)
            for m in (2, 5):
                if d * m < self.hi:
                    minor.append(d * m)
            d *= 10
        return major, minor


class Svg:
    def __init__(self):
        self.parts = []

    def rect(self, x, y, w, h, fill, title=None, extra=""):
        t = "<title>%s</title>" % esc(title) if title else ""
        self.parts.append('<rect x="%.1f" y="%.1f" width="%.1f" height="%.1f" fill="%s"%s>%s</rect>'
                          % (x, y, max(w, 0.0), h, fill, extra, t))

    def line(self, x1, y1, x2, y2, stroke, width=1.0, dash=None):
        d = ' stroke-dasharray="%s"' % dash if dash else ""
        self.parts.append('<line x1="%.1f" y1="%.1f" x2="%.1f" y2="%.1f" stroke="%s" stroke-width="%.2f"%s/>'
                          % (x1, y1, x2, y2, stroke, width, d))

    def text(self, x, y, s, size=12, anchor="start", fill="#222", weight="normal"):
        self.parts.append('<text x="%.1f" y="%.1f" font-size="%d" text-anchor="%s" fill="%s" font-weight="%s">%s</text>'
                          % (x, y, size, anchor, fill, weight, esc(s)))

    def write(self, path, width, height):
        with open(path, "w", encoding="utf-8") as f:
            f.write('<?xml version="1.0" encoding="UTF-8"?>\n')
            f.write('<svg xmlns="http://www.w3.org/2000/svg" width="%d" height="%d" viewBox="0 0 %d %d" %s>\n'
                    % (width, height, width, height, FONT))
            f.write('<rect x="0" y="0" width="%d" height="%d" fill="#ffffff"/>\n' % (width, height))
            f.write("\n".join(self.parts))
            f.write("\n</svg>\n")


# ---------------------------------------------------------------- data
def load(source):
    path = os.path.join(source, "cells.json") if os.path.isdir(source) else source
    with open(path, encoding="utf-8") as f:
        cells = json.load(f)
    sizes = {}
    runs = os.path.join(os.path.dirname(os.path.abspath(path)), "runs.csv")
    if os.path.exists(runs):
        with open(runs, newline="", encoding="utf-8") as f:
            for row in csv.DictReader(f):
                try:
                    sizes[row["input"]] = int(row["bytes"])
                except (KeyError, ValueError):
                    pass
    return cells, sizes


def value_of(cell, metric):
    if cell.get("status") != "ok":
        return None
    if metric == "rss":
        return cell["rss_kib"] / 1024.0 if cell.get("rss_kib") is not None else None
    return cell["median_s"] * 1000.0 if cell.get("median_s") is not None else None


def group_of(name):
    return "generated worst cases" if name.startswith("stress-") else "corpus pages"


def ordered_unique(seq):
    return list(dict.fromkeys(seq))


# ---------------------------------------------------------------- charts
def legend(svg, tools, colours, x, y, max_width, with_floor):
    items = [(t, colours[t]) for t in tools]
    if with_floor:
        items.append(("cat floor", FLOOR_COLOUR))
    cx, cy = x, y
    for name, colour in items:
        w = 16 + text_width(name, 12) + 18
        if cx + w > x + max_width:
            cx, cy = x, cy + 18
        svg.rect(cx, cy - 10, 12, 12, colour)
        svg.text(cx + 16, cy, name, 12, weight="bold" if name == "kestrune" else "normal")
        cx += w
    return cy + 8


def detail_chart(cells, sizes, metric, tasks, tools, inputs, out, title=None):
    by = {(c["input"], c["task"], c["tool"]): c for c in cells}
    colours, k = {}, 0
    for t in tools:
        if t.startswith("kestrune"):
            colours[t] = KESTRUNE_COLOUR if t == "kestrune" else "#fd8d3c"
        else:
            colours[t] = PALETTE[k % len(PALETTE)]
            k += 1
    values = [value_of(by[key], metric) for key in by
              if key[2] in tools or key[2] == "cat"]
    bar_h, gap = 7, 10
    row_h = bar_h * len(tools) + gap
    label_w = max(text_width(i, 12) for i in inputs) + 16
    size_w = 70
    panel_w, panel_gap = 460, 70
    left = 16 + label_w + size_w
    width = int(left + len(tasks) * panel_w + (len(tasks) - 1) * panel_gap + 90)

    svg = Svg()
    what = "median wall time" if metric == "wall" else "median peak RSS"
    svg.text(16, 28, title or "Kestrune and its peers: %s per input (log scale)" % what, 18, weight="bold")
    svg.text(16, 48, "one bar per tool, shorter is better; %sred text: the run failed; hover a bar "
                     "for its value" % ("" if title else "grey: cat FILE > /dev/null; "), 12, fill="#555")
    y = legend(svg, tools, colours, 16, 72, width - 32, metric == "wall")
    top = y + 40
    height = int(top + row_h * len(inputs) + 50)
    scales = []
    for ti, task in enumerate(tasks):
        x0 = left + ti * (panel_w + panel_gap)
        scales.append(LogScale(values, x0, panel_w))
    for ri, inp in enumerate(inputs):
        ry = top + ri * row_h
        if ri % 2 == 0:
            svg.rect(8, ry - gap / 2, width - 16, row_h, "#f4f6f8")
        mid = ry + (row_h - gap) / 2 + 4
        svg.text(16, mid, inp, 12)
        svg.text(left - 8, mid, fmt_size(sizes.get(inp)), 11, anchor="end", fill="#555")
    for ti, task in enumerate(tasks):
        sc = scales[ti]
        x0 = sc.x0
        svg.text(x0, top - 26, TASK_TITLES.get(task, "task " + task), 13, weight="bold")
        major, minor = sc.ticks()
        bottom = top + row_h * len(inputs) - gap / 2
        for v in minor:
            svg.line(sc(v), top - gap / 2, sc(v), bottom, "#e3e3e3", 0.6)
        for v in major:
            svg.line(sc(v), top - gap / 2, sc(v), bottom, "#b0b0b0", 0.8)
            svg.text(sc(v), top - 8, fmt_tick(v, metric), 10, anchor="middle", fill="#555")
            svg.text(sc(v), bottom + 14, fmt_tick(v, metric), 10, anchor="middle", fill="#555")
        for ri, inp in enumerate(inputs):
            ry = top + ri * row_h
            floor = by.get((inp, "*", "cat"))
            fv = value_of(floor, metric) if floor else None
            if fv is not None and metric == "wall":
                svg.rect(x0, ry, sc(fv) - x0, bar_h * len(tools), FLOOR_COLOUR,
                         title="%s, cat: %s" % (inp, fmt_value(fv, metric)), extra=' opacity="0.7"')
            for k, tool in enumerate(tools):
                c = by.get((inp, task, tool))
                by_y = ry + k * bar_h
                if c is None:
                    continue
                v = value_of(c, metric)
                if v is None:
                    svg.text(x0 + 3, by_y + bar_h - 0.5, "%s: %s" % (tool, c.get("status", "?")), 7,
                             fill=FAIL_COLOUR)
                    continue
                svg.rect(x0, by_y + 0.5, sc(v) - x0, bar_h - 1, colours[tool],
                         title="%s, %s, %s: %s" % (inp, task, tool, fmt_value(v, metric)))
                if tool == "kestrune":
                    svg.text(sc(v) + 3, by_y + bar_h, fmt_value(v, metric), 8, fill=KESTRUNE_COLOUR)
    svg.write(out, width, height)


def summary_chart(cells, metric, tasks, tools, inputs, out):
    by = {(c["input"], c["task"], c["tool"]): c for c in cells}
    groups = ordered_unique(group_of(i) for i in inputs)
    peers = [t for t in tools if t != "kestrune"]
    panels = []   # (task, group, [(tool, geomean or None, n, failed)])
    for task in tasks:
        for g in groups:
            rows = []
            for tool in peers:
                ratios, failed = [], 0
                for inp in (i for i in inputs if group_of(i) == g):
                    kc, c = by.get((inp, task, "kestrune")), by.get((inp, task, tool))
                    kv = value_of(kc, metric) if kc else None
                    v = value_of(c, metric) if c else None
                    if c is not None and v is None:
                        failed += 1
                    if kv and v:
                        ratios.append(v / kv)
                if ratios:
                    gm = math.exp(sum(math.log(r) for r in ratios) / len(ratios))
                    rows.append((tool, gm, len(ratios), failed))
                elif failed:
                    rows.append((tool, None, 0, failed))
            rows.sort(key=lambda r: (r[1] is None, r[1] or 0))
            panels.append((task, g, rows))
    all_ratios = [r[1] for _, _, rows in panels for r in rows if r[1] is not None] + [1.0]
    label_w = max([text_width(t, 12) for t in peers] + [60]) + 24
    panel_w = 420
    bar_h = 16
    x0 = 16 + label_w
    worse, better = ("slower", "faster") if metric == "wall" else ("larger", "smaller")
    subtitle = ("tool median / Kestrune median per input, averaged geometrically over the inputs "
                "the tool completed; right of the 1× line = %s than Kestrune (log scale)" % worse)
    width = int(max(x0 + panel_w + 170, 32 + text_width(subtitle, 12)))
    panel_w = width - x0 - 170
    svg = Svg()
    what = "wall time" if metric == "wall" else "peak RSS"
    svg.text(16, 28, "Peers relative to Kestrune: geometric mean of %s ratios" % what, 18, weight="bold")
    svg.text(16, 48, subtitle, 12, fill="#555")
    sc = LogScale(all_ratios, x0, panel_w)
    y = 80
    for task, g, rows in panels:
        if not rows:
            continue
        n_inputs = max(r[2] + r[3] for r in rows)
        svg.text(16, y + 14, "%s, %s (%d input%s)" % (TASK_TITLES.get(task, "task " + task), g, n_inputs,
                                                       "" if n_inputs == 1 else "s"), 13, weight="bold")
        y += 26
        major, minor = sc.ticks()
        h = bar_h * len(rows) + 4
        for v in minor:
            svg.line(sc(v), y, sc(v), y + h, "#e8e8e8", 0.6)
        for v in major:
            svg.line(sc(v), y, sc(v), y + h, "#c0c0c0", 0.8)
            svg.text(sc(v), y + h + 12, "%g×" % v, 10, anchor="middle", fill="#555")
        for k, (tool, gm, n, failed) in enumerate(rows):
            by_y = y + k * bar_h
            one = sc(1.0)
            if gm is None:
                svg.text(16 + label_w - 8, by_y + bar_h - 4, tool, 12, anchor="end")
                svg.text(one + 6, by_y + bar_h - 4, "failed on every input (%d)" % failed, 11,
                         fill=FAIL_COLOUR)
                continue
            left, right = (sc(gm), one) if gm < 1 else (one, sc(gm))
            colour = "#31a354" if gm < 1 else "#3182bd"
            svg.rect(left, by_y + 2, right - left, bar_h - 4, colour,
                     title="%s: ×%.3g over %d inputs" % (tool, gm, n))
            svg.text(16 + label_w - 8, by_y + bar_h - 4, tool, 12, anchor="end")
            note = "×%.2g" % gm if gm < 10 else "×%.0f" % gm
            if failed:
                note += "  (%d failed, left out)" % failed
            svg.text(max(right, one) + 4, by_y + bar_h - 4, note, 11,
                     fill=FAIL_COLOUR if failed else "#222")
        svg.line(sc(1.0), y - 4, sc(1.0), y + h, KESTRUNE_COLOUR, 1.6)
        y += h + 34
    svg.text(16, y, "green: %s than Kestrune; blue: %s. A low ratio on the worst cases can "
                    "mean the tool stopped early (libxml2 at depth 256): see the element counts "
                    "in report.md." % (better, worse), 11, fill="#555")
    svg.write(out, width, int(y + 16))


def main(argv=None):
    ap = argparse.ArgumentParser(description=__doc__.split("\n")[0],
                                 formatter_class=argparse.RawDescriptionHelpFormatter,
                                 epilog="\n".join(__doc__.split("\n")[2:]))
    ap.add_argument("source", help="compare.py --out folder, or its cells.json")
    ap.add_argument("--metric", choices=("wall", "rss"), default="wall", help="what the bars show (default wall)")
    ap.add_argument("--tasks", default="", help="comma-separated tasks (default: all in the results)")
    ap.add_argument("--tools", default="", help="comma-separated tools (default: every non-floor tool)")
    ap.add_argument("--inputs", default="", help="regular expression: only inputs whose name matches")
    ap.add_argument("-o", "--out", default=None, help="detail chart path (default SOURCE_DIR/chart-METRIC.svg)")
    ap.add_argument("--summary", default=None, help="summary chart path (default SOURCE_DIR/chart-summary[-rss].svg)")
    ap.add_argument("--title", default=None, help="title of the detail chart (in-process results: "
                                                  "bench/libraryTable.py)")
    args = ap.parse_args(argv)

    cells, sizes = load(args.source)
    floors = {"cat", "wc-c", "wc-l"}
    tasks = [t for t in args.tasks.split(",") if t] or ordered_unique(
        c["task"] for c in cells if c["task"] != "*")
    all_tools = ordered_unique(c["tool"] for c in cells if c["tool"] not in floors)
    tools = [t for t in args.tools.split(",") if t] or all_tools
    missing = [t for t in tools if t not in all_tools]
    if missing:
        ap.error("no results for %s (have: %s)" % (", ".join(missing), ", ".join(all_tools)))
    tools = sorted(tools, key=lambda t: (not t.startswith("kestrune"), all_tools.index(t)))
    inputs = ordered_unique(c["input"] for c in cells)
    if args.inputs:
        inputs = [i for i in inputs if re.search(args.inputs, i)]
    if not inputs or not tasks or not tools:
        ap.error("nothing to draw")
    inputs.sort(key=lambda i: (group_of(i) != "corpus pages", sizes.get(i, 0), i))

    folder = os.path.dirname(os.path.abspath(args.source)) if not os.path.isdir(args.source) else args.source
    out = args.out or os.path.join(folder, "chart-%s.svg" % args.metric)
    detail_chart(cells, sizes, args.metric, tasks, tools, inputs, out, args.title)
    print(out)
    if "kestrune" in tools:
        summary = args.summary or os.path.join(
            folder, "chart-summary.svg" if args.metric == "wall" else "chart-summary-rss.svg")
        summary_chart(cells, args.metric, tasks, tools, inputs, summary)
        print(summary)
    return 0


if __name__ == "__main__":
    sys.exit(main())
