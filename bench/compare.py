#!/usr/bin/env python3
# SPDX-License-Identifier: MIT
"""Whole-run comparison: the kestrune program against peer programs, task a (every
<a> with its href and text), each run a fresh process.

  bench/compare.py --out DIR [--stress DIR] [--reps N] [--tools a,b] [PAGE_OR_FOLDER...]

Tools (those that are missing are left out):
  cat          cat PAGE > /dev/null: the floor
  kestrune     build/kestrune PAGE -tag a -attr href -o OUT.json (--kestrune PATH)
  kestrune-lib kestrune_peer_run kestrune PAGE: the library's one call as a program
  libxml2, gumbo, myhtml
               kestrune_peer_run ENGINE PAGE: the peer libraries of the in-process
               benchmark, same code (--peer-run PATH, default build-bench/bench/)
  xmllint      xmllint --html --xpath //a PAGE
  htmlparser2  node bench/htmlparser2Links.cjs PAGE (npm, see bench/setupPeers.sh)

Pages: the arguments, else the shared corpus beside the checkout; --stress DIR adds
the worst cases there (made by bench/genStress.py when missing). One warm-up, then
--reps timed runs per cell; medians of wall time and peak RSS (through the launcher
of bench/wholeRun.py). Writes DIR/report.md (printed too), DIR/cells.json and
DIR/runs.csv, which bench/chart.py draws.
"""
import argparse
import csv
import json
import os
import shutil
import statistics
import subprocess
import sys
import tempfile

import wholeRun

HERE = os.path.dirname(os.path.abspath(__file__))
REPO = os.path.dirname(HERE)
NPM_DIR = os.environ.get("KBENCH_NPM_DIR", os.path.join(os.environ.get("TMPDIR", "/tmp"), "kestrune-npm"))


def tools_available(args):
    peer_run = args.peer_run or os.path.join(REPO, "build-bench", "bench", "kestrune_peer_run")
    engines = []
    if os.access(peer_run, os.X_OK):
        listed = subprocess.run([peer_run], capture_output=True, text=True).stderr
        engines = listed.split("engines:")[-1].split()
    tools = {"cat": (lambda page, out: ["/bin/cat", page], 0)}
    kestrune = os.path.abspath(args.kestrune or os.path.join(REPO, "build", "kestrune"))
    if os.access(kestrune, os.X_OK):
        tools["kestrune"] = (lambda page, out: [kestrune, page, "-tag", "a", "-attr", "href", "-o", out], 1)
    for engine in engines:
        name = "kestrune-lib" if engine == "kestrune" else engine
        tools[name] = (lambda page, out, engine=engine: [peer_run, engine, page], 0)
    xmllint = shutil.which("xmllint")
    if xmllint:
        tools["xmllint"] = (lambda page, out: [xmllint, "--html", "--xpath", "//a", page], None)
    node = shutil.which("node")
    if node and os.path.isdir(os.path.join(NPM_DIR, "node_modules", "htmlparser2")):
        script = os.path.join(HERE, "htmlparser2Links.cjs")
        tools["htmlparser2"] = (lambda page, out: [node, script, page], 0)
    return tools


def main():
    ap = argparse.ArgumentParser(description=__doc__.split("\n")[0],
                                 formatter_class=argparse.RawDescriptionHelpFormatter,
                                 epilog="\n".join(__doc__.split("\n")[2:]))
    ap.add_argument("inputs", nargs="*")
    ap.add_argument("--out", required=True, help="folder for report.md, cells.json, runs.csv")
    ap.add_argument("--stress", default=None, help="also the worst cases in this folder")
    ap.add_argument("--min-size", default="0", help="leave out pages smaller than this (e.g. 1M)")
    ap.add_argument("--reps", type=int, default=5)
    ap.add_argument("--timeout", type=float, default=20.0, help="seconds before a run is killed")
    ap.add_argument("--tools", default="", help="comma-separated (default: every one available)")
    ap.add_argument("--kestrune", default=None)
    ap.add_argument("--peer-run", default=None)
    args = ap.parse_args()

    os.environ["NODE_PATH"] = os.path.join(NPM_DIR, "node_modules")
    tools = tools_available(args)
    if args.tools:
        tools = {t: tools[t] for t in args.tools.split(",") if t in tools}
    places = args.inputs or [wholeRun.DEFAULT_CORPUS]
    if args.stress:
        if not (os.path.isdir(args.stress) and any(n.startswith("stress-") for n in os.listdir(args.stress))):
            corpus = next((p for p in places if os.path.isdir(p)), wholeRun.DEFAULT_CORPUS)
            subprocess.run([sys.executable, os.path.join(HERE, "genStress.py"), args.stress,
                            "--corpus", corpus], check=True)
        places.append(args.stress)
    pages = wholeRun.collect_inputs(places, wholeRun.parse_size(args.min_size))
    if not pages:
        ap.error("no pages")
    os.makedirs(args.out, exist_ok=True)
    launcher = wholeRun.Launcher(args.timeout, "reaper")
    work = tempfile.mkdtemp(prefix="kestrune-compare-")
    cells, runs = [], []
    try:
        for source in pages:
            name = os.path.basename(source)
            page = os.path.join(work, name)
            shutil.copyfile(source, page)
            size = os.path.getsize(page)
            for tool, (command, expected) in tools.items():
                out = os.path.join(work, "out.json")
                m = wholeRun.measure(launcher, command(page, out), os.path.join(work, "stdout"),
                                     os.path.join(work, "stderr"), args.reps, 1, expected)
                cell = {"input": name, "task": "*" if tool == "cat" else "a", "tool": tool,
                        "status": m["status"], "n": len(m["wall_ms"]),
                        "median_s": statistics.median(m["wall_ms"]) / 1000.0,
                        "rss_kib": statistics.median(m["rss_kib"])}
                cells.append(cell)
                runs += [{"input": name, "bytes": size, "tool": tool, "wall_ms": w, "rss_kib": r}
                         for w, r in zip(m["wall_ms"], m["rss_kib"])]
                wholeRun.log("%-44s %-12s %s" % (name[:44], tool, m["status"] if m["status"] != "ok"
                                                  else wholeRun.fmt_ms(cell["median_s"] * 1000) + " ms"))
    finally:
        shutil.rmtree(work, ignore_errors=True)

    with open(os.path.join(args.out, "cells.json"), "w") as f:
        json.dump(cells, f, indent=1)
    with open(os.path.join(args.out, "runs.csv"), "w", newline="") as f:
        writer = csv.DictWriter(f, fieldnames=["input", "bytes", "tool", "wall_ms", "rss_kib"])
        writer.writeheader()
        writer.writerows(runs)
    report = [ "# Whole runs, task a: median wall time in ms (tool / kestrune)", "",
               "- machine: %s; %d timed runs after one warm-up" % (wholeRun.machine_line(), args.reps), ""]
    names = list(tools)
    report.append("| page | size | " + " | ".join(names) + " |")
    report.append("|---|---:|" + "---:|" * len(names))
    by = {(c["input"], c["tool"]): c for c in cells}
    for source in pages:
        name = os.path.basename(source)
        base = by.get((name, "kestrune"))
        row = [name, wholeRun.fmt_size(os.path.getsize(source))]
        for tool in names:
            c = by[(name, tool)]
            if c["status"] != "ok":
                row.append(c["status"])
                continue
            text = wholeRun.fmt_ms(c["median_s"] * 1000)
            if base and base["status"] == "ok" and tool not in ("kestrune", "cat"):
                text += " (%.1f×)" % (c["median_s"] / base["median_s"])
            row.append(text)
        report.append("| " + " | ".join(row) + " |")
    text = "\n".join(report) + "\n"
    with open(os.path.join(args.out, "report.md"), "w") as f:
        f.write(text)
    print(text)
    return 0


if __name__ == "__main__":
    sys.exit(main())
