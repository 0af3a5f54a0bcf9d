#!/usr/bin/env python3
# SPDX-License-Identifier: MIT
"""Whole-run comparison: the kestrune program against the peer programs, each run a
fresh process, on the corpus and the generated worst cases, tasks a and p.

  bench/compare.py [--quick] [--dry-run] [--out DIR] [--tasks a,p] [--tools LIST] [PAGE_OR_FOLDER...]

Tasks (bench/README.md):
  a   every <a>: its text and its href   kestrune PAGE -tag a -attr href -o OUT.json
  p   every <p>: its text                kestrune PAGE -tag p -o OUT.json

Tools (one that is missing is listed with the reason and left out):
  cat           cat PAGE > /dev/null: the floor, once per page
  kestrune      the program (--kestrune PATH, default build/kestrune)
  kestrune-lib  kestrune_peer_run kestrune PAGE: the library's one call as a program,
                task a only, when the bench preset was built (build-bench/bench/)
  libxml2, gumbo, myhtml
                the C programs of bench/peers/, compiled here with cc into --peer-dir
  xmllint       xmllint --html --xpath //TAG PAGE
  lxml, bs4     the Python programs of bench/peers/ (Debian's python3-lxml, python3-bs4)
  htmlparser2, cheerio
                the node programs of bench/peers/ (npm, bench/setupPeers.sh)

Pages: the arguments, else the corpus (bench/collectCorpus.sh; $KESTRUNE_BENCH_CORPUS,
else $TMPDIR/kestrune-corpus), and the worst cases in --stress (default
$TMPDIR/kestrune-stress, made by bench/genStress.py when missing; --no-stress leaves
them out). Each cell: one warm-up, then up to --reps timed runs within --budget seconds;
a run past --timeout is killed (TIMEOUT). A page the program does not load (10 MiB or
more) is "refused", never a time. --quick: the 8 largest corpus pages and three worst
cases (realistic, 500,000 links, attributes), one warm-up and one timed run, 10 s timeout.

Writes DIR/report.md (printed too: the commit, the machine, tables of median wall time,
peak RSS and elements found, geometric means), DIR/cells.json and DIR/runs.csv, which
bench/chart.py draws, after each page: a run cut short leaves the pages it finished. --dry-run lists the tools, pages and commands and runs nothing.
"""
import argparse
import csv
import datetime
import json
import math
import os
import shutil
import statistics
import subprocess
import sys
import tempfile
import time

import wholeRun

HERE = wholeRun.HERE
REPO = wholeRun.REPO
PEERS = os.path.join(HERE, "peers")
NPM_DIR = os.environ.get("KBENCH_NPM_DIR", os.path.join(wholeRun.SCRATCH, "kestrune-npm"))
PYTHON = os.environ.get("KBENCH_PYTHON", "/usr/bin/python3")  # Debian's, with its lxml and bs4
TASKS = {"a": ("a", "href"), "p": ("p", None)}
TASK_TITLES = {"a": "every `<a>`: its text and its href", "p": "every `<p>`: its text"}
# The C peers: source, pkg-config module or plain linker flags, Debian package.
C_PEERS = {"libxml2": ("libxml2Extract.c", "libxml-2.0", None, "libxml2-dev"),
           "gumbo": ("gumboExtract.c", "gumbo", None, "libgumbo-dev"),
           "myhtml": ("myhtmlExtract.c", None, ["-lmodest", "-lm"], "libmodest-dev")}
SCRIPT_PEERS = {"lxml": ("python", "lxmlExtract.py", "python3-lxml"),
                "bs4": ("python", "bs4Extract.py", "python3-bs4"),
                "htmlparser2": ("node", "htmlparser2Extract.cjs", "htmlparser2"),
                "cheerio": ("node", "cheerioExtract.cjs", "cheerio")}
PEER_RUN_REFUSED = 3  # kestrune_peer_run's status when the library refused the page
QUICK_PAGES = 8  # the largest corpus pages
QUICK_STRESS = ("stress-realistic", "stress-links-500k", "stress-attributes")


class Tool:
    """How one tool runs a task on a page and how many elements it found."""

    def __init__(self, name, argv, expected=0, refused=None, counts="records", tasks=("a", "p"), version=""):
        self.name, self.argv, self.expected, self.refused = name, argv, expected, refused
        self.counts, self.tasks, self.version = counts, tasks, version

    def command(self, page, task, out):
        tag, attribute = TASKS[task]
        return self.argv(page, tag, attribute, out)

    def count(self, task, stdout_path, out):
        """Elements in the last run's output; None where the output does not tell."""
        try:
            if self.counts == "json":
                with open(out, encoding="latin-1") as f:
                    return len(json.load(f).get(TASKS[task][0], []))
            with open(stdout_path, "rb") as f:
                data = f.read()
        except (OSError, ValueError):
            return None
        if self.counts == "records":
            return data.count(b"\ntext=") + data.startswith(b"text=")
        return None


def package_version(package):
    r = subprocess.run(["dpkg-query", "-W", "-f=${Version}", package], capture_output=True, text=True)
    return r.stdout.strip() if r.returncode == 0 else "?"


def npm_version(module):
    try:
        with open(os.path.join(NPM_DIR, "node_modules", module, "package.json")) as f:
            return json.load(f)["version"]
    except (OSError, ValueError, KeyError):
        return None


def build_c_peer(name, peer_dir, dry_run):
    """The compiled peer program (built again when its sources are newer), or the reason
    there is none."""
    source, module, flags, package = C_PEERS[name]
    binary = os.path.join(peer_dir, name + "Extract")
    sources = [os.path.join(PEERS, source), os.path.join(PEERS, "record.h")]
    cc = shutil.which("cc")
    if cc is None:
        return None, "no C compiler (cc)"
    if module:
        r = subprocess.run(["pkg-config", "--cflags", "--libs", module], capture_output=True, text=True)
        if r.returncode != 0:
            return None, "pkg-config knows no %s (%s)" % (module, package)
        flags = r.stdout.split()
    if os.path.exists(binary) and all(os.path.getmtime(binary) >= os.path.getmtime(s) for s in sources):
        return binary, None
    if dry_run:
        return binary, None
    os.makedirs(peer_dir, exist_ok=True)
    r = subprocess.run([cc, "-O2", "-o", binary, sources[0]] + flags, capture_output=True, text=True)
    if r.returncode != 0:
        return None, "does not compile (%s): %s" % (package, r.stderr.strip().splitlines()[-1:] or "")
    return binary, None


def find_tools(args):
    """(tools by name in the order of the tables, reasons for the ones left out)."""
    tools, missing = {}, {}
    tools["cat"] = Tool("cat", lambda page, tag, attribute, out: ["/bin/cat", page], counts=None,
                        tasks=("*",))
    kestrune = os.path.abspath(args.kestrune or os.path.join(REPO, "build", "kestrune"))
    if os.access(kestrune, os.X_OK):
        tools["kestrune"] = Tool(
            "kestrune", lambda page, tag, attribute, out: [kestrune, page, "-tag", tag] + (
                ["-attr", attribute] if attribute else []) + ["-o", out],
            expected=wholeRun.EXPECTED_EXIT, refused=wholeRun.REFUSED_EXIT, counts="json",
            version=wholeRun.commit_line(kestrune))
    else:
        missing["kestrune"] = "no program at %s (cmake --preset release && cmake --build --preset release)" % kestrune
    peer_run = args.peer_run or os.path.join(REPO, "build-bench", "bench", "kestrune_peer_run")
    if os.access(peer_run, os.X_OK):
        tools["kestrune-lib"] = Tool("kestrune-lib", lambda page, tag, attribute, out: [peer_run, "kestrune", page],
                                     refused=PEER_RUN_REFUSED, counts=None, tasks=("a",),
                                     version=wholeRun.commit_line(peer_run))
    else:
        missing["kestrune-lib"] = "no %s (cmake --preset bench && cmake --build --preset bench)" % peer_run
    for name in C_PEERS:
        binary, why = build_c_peer(name, args.peer_dir, args.dry_run)
        if binary is None:
            missing[name] = why
            continue
        tools[name] = Tool(name, lambda page, tag, attribute, out, binary=binary: [binary, page, tag] + (
            [attribute] if attribute else []), version=package_version(C_PEERS[name][3]))
    xmllint = shutil.which("xmllint")
    if xmllint:
        # Its status tells whether the query found anything; its output is HTML, not counted.
        tools["xmllint"] = Tool("xmllint", lambda page, tag, attribute, out: [xmllint, "--html", "--xpath",
                                                                              "//" + tag, page],
                                expected=None, counts=None, version=package_version("libxml2-utils"))
    else:
        missing["xmllint"] = "no xmllint (libxml2-utils)"
    node = shutil.which("node")
    for name, (language, script, package) in SCRIPT_PEERS.items():
        path = os.path.join(PEERS, script)
        if language == "python":
            module = "bs4" if name == "bs4" else "lxml.html"
            if not os.access(PYTHON, os.X_OK) or subprocess.run([PYTHON, "-c", "import " + module],
                                                                 capture_output=True).returncode != 0:
                missing[name] = "%s cannot import %s (%s)" % (PYTHON, module, package)
                continue
            runner, version = PYTHON, package_version(package)
        else:
            version = npm_version(package)
            if node is None or version is None:
                missing[name] = "no node or no %s in %s (bench/setupPeers.sh)" % (package, NPM_DIR)
                continue
            runner = node
        tools[name] = Tool(name, lambda page, tag, attribute, out, runner=runner, path=path: [
            runner, path, page, tag] + ([attribute] if attribute else []), version=version)
    if args.tools:
        wanted = ["cat"] + [t for t in args.tools.split(",") if t and t != "cat"]
        for t in wanted:
            if t not in tools and t not in missing:
                sys.exit("compare.py: no tool %s (%s)" % (t, ", ".join(list(tools) + list(missing))))
        tools = {t: tools[t] for t in wanted if t in tools}
        missing = {t: why for t, why in missing.items() if t in wanted}
    return tools, missing


def choose_pages(args):
    places = list(args.inputs) or [wholeRun.DEFAULT_CORPUS]
    corpus = next((p for p in places if os.path.isdir(p)), wholeRun.DEFAULT_CORPUS)
    pages = wholeRun.collect_inputs(places, wholeRun.parse_size(args.min_size))
    if args.quick:
        pages = sorted(pages, key=os.path.getsize)[-QUICK_PAGES:]
    stress = []
    if not args.no_stress:
        if args.dry_run:
            if os.path.isdir(args.stress):
                stress = wholeRun.collect_inputs([args.stress], 0)
        elif wholeRun.ensure_stress(args.stress, corpus):
            stress = wholeRun.collect_inputs([args.stress], 0)
        stress = [p for p in stress if os.path.basename(p).startswith("stress-") and (
            not args.quick or os.path.splitext(os.path.basename(p))[0] in QUICK_STRESS)]
    return sorted(pages, key=lambda p: (os.path.getsize(p), p)) + sorted(stress)


def fmt_cell(cell, base):
    if cell is None:
        return ""
    if cell["status"] != "ok":
        return cell["status"]
    text = wholeRun.fmt_ms(cell["median_s"] * 1000.0)
    if base is not None and base["status"] == "ok" and cell["tool"] not in ("kestrune", "cat"):
        text += " (%.1f×)" % (cell["median_s"] / base["median_s"])
    return text


def markdown_table(head, rows):
    lines = ["| " + " | ".join(head) + " |", "|---|" + "---:|" * (len(head) - 1)]
    return lines + ["| " + " | ".join(str(c) for c in row) + " |" for row in rows]


def report(args, tools, missing, pages, cells, started, seconds):
    by = {(c["input"], c["task"], c["tool"]): c for c in cells}
    kestrune = tools.get("kestrune")
    lines = ["# Whole runs: the kestrune program and its peers, one process per run", "",
             "- date: %s; the run took %.0f s" % (started, seconds),
             "- commit: %s (%s)" % (kestrune.version if kestrune else "no kestrune program", args.kestrune
                                    or "build/kestrune"),
             "- machine: %s (load average at the end: %s)" % (args.machine, wholeRun.load_line()),
             "- each cell: one warm-up, then the median of up to %d timed runs%s; a run past %.0f s is "
             "killed (TIMEOUT); a page the program does not load is refused%s" % (
                 args.reps, " within %.0f s" % args.budget if args.budget else "", args.timeout,
                 "; quick mode (--quick)" if args.quick else ""),
             "- tools: " + ", ".join("%s %s" % (t.name, t.version) if t.version else t.name for t in tools.values()
                                     if t.name != "cat")]
    if missing:
        lines.append("- left out: " + "; ".join("%s: %s" % kv for kv in missing.items()))
    names = [name for name in tools if name != "cat"]
    for task in args.task_list:
        in_task = [n for n in names if task in tools[n].tasks]
        lines += ["", "## Task %s: %s" % (task, TASK_TITLES[task]), "",
                  "Median wall time in ms (÷ kestrune's):", ""]
        rows = []
        for page in pages:
            base = by.get((page["name"], task, "kestrune"))
            rows.append([page["name"], wholeRun.fmt_size(page["bytes"]),
                         fmt_cell(by.get((page["name"], "*", "cat")), None)] +
                        [fmt_cell(by.get((page["name"], task, n)), base) for n in in_task])
        lines += markdown_table(["page", "size", "cat"] + in_task, rows)
        lines += ["", "Median peak RSS in MiB:", ""]
        rows = [[page["name"]] + [("%.1f" % (c["rss_kib"] / 1024.0) if c["status"] == "ok" else c["status"])
                                  if c else "" for c in (by.get((page["name"], task, n)) for n in in_task)]
                for page in pages]
        lines += markdown_table(["page"] + in_task, rows)
        counted = [n for n in in_task if tools[n].counts]
        lines += ["", "Elements found:", ""]
        rows = [[page["name"]] + [c["count"] if c and c["status"] == "ok" and c["count"] is not None else "—"
                                  for c in (by.get((page["name"], task, n)) for n in counted)] for page in pages]
        lines += markdown_table(["page"] + counted, rows)
        lines += ["", "Geometric mean of each tool's time ÷ kestrune's, over the pages where both finished:", ""]
        in_task = [n for n in in_task if n != "kestrune"]
        rows = []
        for group, keep in (("corpus", lambda n: not n.startswith("stress-")), ("worst cases", lambda n: n.startswith("stress-"))):
            row = [group]
            for n in in_task:
                ratios = [by[(p["name"], task, n)]["median_s"] / by[(p["name"], task, "kestrune")]["median_s"]
                          for p in pages if keep(p["name"]) and all(
                              by.get((p["name"], task, t), {}).get("status") == "ok" for t in (n, "kestrune"))]
                row.append("%.1f× (%d)" % (math.exp(sum(map(math.log, ratios)) / len(ratios)), len(ratios))
                           if ratios else "—")
            rows.append(row)
        lines += markdown_table(["pages"] + in_task, rows)
    return "\n".join(lines) + "\n"


def write_results(args, tools, missing, pages, cells, runs, started, seconds, pending):
    """Writes the results so far (after each page, so that a run cut short leaves them);
    returns the report."""
    with open(os.path.join(args.out, "cells.json"), "w") as f:
        json.dump(cells, f, indent=1)
    with open(os.path.join(args.out, "runs.csv"), "w", newline="") as f:
        writer = csv.DictWriter(f, fieldnames=["input", "bytes", "task", "tool", "wall_ms", "rss_kib"])
        writer.writeheader()
        writer.writerows(runs)
    text = report(args, tools, missing, pages, cells, started, seconds)
    if pending:
        text += "\nNot measured yet (the run goes on, or was cut short): %s\n" % ", ".join(
            p["name"] for p in pending)
    with open(os.path.join(args.out, "report.md"), "w") as f:
        f.write(text)
    return text


def main():
    ap = argparse.ArgumentParser(description=__doc__.split("\n")[0],
                                 formatter_class=argparse.RawDescriptionHelpFormatter,
                                 epilog="\n".join(__doc__.split("\n")[2:]))
    ap.add_argument("inputs", nargs="*", help="pages or folders (default: the corpus, %s)" % wholeRun.DEFAULT_CORPUS)
    ap.add_argument("--out", default=os.path.join(REPO, "build", "bench-results", "programs"),
                    help="folder for report.md, cells.json, runs.csv (default build/bench-results/programs)")
    ap.add_argument("--tasks", default="a,p", help="a, p or both (default a,p)")
    ap.add_argument("--tools", default="", help="comma-separated (default: every one available)")
    ap.add_argument("--stress", default=wholeRun.DEFAULT_STRESS, help="folder of the worst cases (default %(default)s)")
    ap.add_argument("--no-stress", action="store_true", help="leave the worst cases out")
    ap.add_argument("--min-size", default="0", help="leave out corpus pages smaller than this (e.g. 1M)")
    ap.add_argument("--reps", type=int, default=5, help="timed runs per cell at most (default 5)")
    ap.add_argument("--budget", type=float, default=10.0, help="seconds of timed runs per cell (default 10)")
    ap.add_argument("--timeout", type=float, default=20.0, help="seconds before a run is killed (default 20)")
    ap.add_argument("--quick", action="store_true", help="the 8 largest corpus pages and three worst cases, "
                                                         "one timed run, 10 s timeout")
    ap.add_argument("--dry-run", action="store_true", help="list the tools, pages and commands; run nothing")
    ap.add_argument("--kestrune", default=None, help="the program (default build/kestrune)")
    ap.add_argument("--peer-run", default=None, help="kestrune_peer_run (default build-bench/bench/)")
    ap.add_argument("--peer-dir", default=os.path.join(REPO, "build", "bench-peers"),
                    help="where the C peers are compiled (default build/bench-peers)")
    args = ap.parse_args()
    if args.quick:
        args.reps, args.budget, args.timeout = 1, 0.0, 10.0
    args.task_list = [t for t in args.tasks.split(",") if t]
    for t in args.task_list:
        if t not in TASKS:
            ap.error("no task %s (a, p)" % t)

    os.environ["NODE_PATH"] = os.path.join(NPM_DIR, "node_modules")
    tools, missing = find_tools(args)
    sources = choose_pages(args)
    cells_per_page = 1 + sum(len([t for t in args.task_list if t in tool.tasks]) for tool in tools.values())
    if args.dry_run:
        print("tools:")
        for tool in tools.values():
            print("  %-12s %s" % (tool.name, tool.version))
        for name, why in missing.items():
            print("  %-12s left out: %s" % (name, why))
        print("pages (%d):" % len(sources))
        for p in sources:
            print("  %9d  %s" % (os.path.getsize(p), p))
        if not os.path.isdir(args.stress) and not args.no_stress:
            print("  and the worst cases, made in %s" % args.stress)
        print("commands, per page (PAGE, OUT):")
        for tool in tools.values():
            for task in (args.task_list if tool.tasks != ("*",) else ["*"]):
                if task == "*" or task in tool.tasks:
                    print("  %-12s %-2s %s" % (tool.name, task, " ".join(tool.command("PAGE", task if task != "*" else "a", "OUT"))))
        print("cells: %d (at most %d runs each)" % (len(sources) * cells_per_page, 1 + args.reps))
        return 0
    if not sources:
        ap.error("no pages: bench/collectCorpus.sh DIR makes a corpus (see bench/README.md)")

    args.machine = wholeRun.machine_line()
    started = datetime.datetime.now().strftime("%Y-%m-%d %H:%M")
    t0 = time.monotonic()
    wholeRun.log("%d pages × %d cells; the log below shows each cell as it ends" % (len(sources), cells_per_page))
    os.makedirs(args.out, exist_ok=True)
    launcher = wholeRun.Launcher(args.timeout, "reaper")
    work = tempfile.mkdtemp(prefix="kestrune-compare-")
    cells, runs = [], []
    try:
        pages = wholeRun.stage_inputs(sources, work)
        out, stdout_path, stderr_path = (os.path.join(work, n) for n in ("out.json", "stdout", "stderr"))
        for k, page in enumerate(pages, 1):
            for tool in tools.values():
                for task in tool.tasks if tool.tasks == ("*",) else [t for t in args.task_list if t in tool.tasks]:
                    m = wholeRun.measure(launcher, tool.command(page["path"], "a" if task == "*" else task, out),
                                         stdout_path, stderr_path, args.reps, 1, tool.expected, tool.refused,
                                         args.budget)
                    cell = {"input": page["name"], "bytes": page["bytes"], "task": task, "tool": tool.name,
                            "status": m["status"], "n": len(m["wall_ms"]),
                            "median_s": statistics.median(m["wall_ms"]) / 1000.0,
                            "rss_kib": statistics.median(m["rss_kib"]),
                            "count": tool.count(task, stdout_path, out) if m["status"] == "ok" else None}
                    cells.append(cell)
                    runs += [{"input": page["name"], "bytes": page["bytes"], "task": task, "tool": tool.name,
                              "wall_ms": w, "rss_kib": r} for w, r in zip(m["wall_ms"], m["rss_kib"])]
                    wholeRun.log("[%d/%d] %-40s %-12s %-2s %s" % (
                        k, len(pages), page["name"][:40], tool.name, task,
                        m["status"] if m["status"] != "ok" else wholeRun.fmt_ms(cell["median_s"] * 1000) + " ms"))
                    for leftover in (out, stdout_path):
                        if os.path.exists(leftover):
                            os.unlink(leftover)
            elapsed = time.monotonic() - t0
            wholeRun.log("%.0f s so far, about %.0f s to go" % (elapsed, elapsed / k * (len(pages) - k)))
            text = write_results(args, tools, missing, pages[:k], cells, runs, started, elapsed,
                                 pages[k:])
    finally:
        shutil.rmtree(work, ignore_errors=True)
    print(text)
    wholeRun.log("written: %s/report.md, cells.json, runs.csv (bench/chart.py %s draws them)" % (args.out, args.out))
    return 0


if __name__ == "__main__":
    sys.exit(main())
