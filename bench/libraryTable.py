#!/usr/bin/env python3
# SPDX-License-Identifier: MIT
"""Tables from a run of the in-process comparison (kestrune_library_bench).

  build-bench/bench/kestrune_library_bench --benchmark_out=lib.json --benchmark_out_format=json
  bench/libraryTable.py lib.json [more.json] [--min-size 1] [--cpu] [--out DIR]

Prints, in Markdown, one row per page: its size, MB/s (10^6 bytes per second of wall
time) of Kestrune's extract() and of each peer library, Kestrune's speed divided by the
fastest peer's, the peak memory each call adds divided by the page size and, on the
pages it converts, the same call asking for code page 936 (kestrune-936); then the
threads scaling (throughput of 2 and 4 threads over one) and the goals. With --out it
also writes DIR/cells.json and DIR/runs.csv (time per page), which bench/chart.py draws.
With --benchmark_repetitions the medians are used. A page an engine refused is shown as
"refused". A file from a run that was cut short is read up to its last whole benchmark,
and the benchmarks the run had planned but not finished are named.
"""
import argparse
import csv
import json
import os
import statistics
import sys

# The library's goals on the pages from 1 MiB: MB/s on each corpus page and on the
# realistic worst case, times the fastest peer, memory (a page read without conversion).
GOAL_MBPS = 1500.0
GOAL_REALISTIC_MBPS = 2000.0
GOAL_RATIO = 15.0
GOAL_MEMORY = 1.25
# The same call asking for code page 936, on the pages it converts (UTF-8 from 0x80).
CONVERTED = "kestrune-936"
GOAL_CONVERTED_MEMORY = 2.25


def read_results(path):
    """(context, benchmarks) of one JSON file; a file cut short is read up to its last
    whole benchmark."""
    with open(path) as f:
        text = f.read()
    try:
        doc = json.loads(text)
        return doc.get("context", {}), doc.get("benchmarks", [])
    except ValueError:
        pass
    decoder, context, benchmarks = json.JSONDecoder(), {}, []
    try:
        context = decoder.raw_decode(text, text.index("{", text.index('"context"')))[0]
        pos = text.index("[", text.index('"benchmarks"')) + 1
        while True:
            while pos < len(text) and text[pos] in " \t\r\n,":
                pos += 1
            found, pos = decoder.raw_decode(text, pos)
            benchmarks.append(found)
    except ValueError:  # the end of what was written, or no benchmark at all
        pass
    return context, benchmarks


def key_of(name):
    """ENGINE/PAGE, or threads/ENGINE:N, of a benchmark's name (its suffixes left out)."""
    parts = name.split("/")
    if parts[0] == "threads":
        return "%s/%s:%s" % (parts[0], parts[1], name.rsplit(":", 1)[-1])
    return "/".join(parts[:2])


def load(paths):
    context, found = {}, []
    for path in paths:
        c, b = read_results(path)
        context = context or c
        found += b
    rows = {}
    for b in found:
        if b.get("run_type") == "aggregate" and b.get("aggregate_name") != "median":
            continue
        rows.setdefault(b["run_name"], []).append(b)
    merged = {}
    for name, runs in rows.items():
        failed = [b for b in runs if b.get("error_occurred")]
        if failed:
            merged[name] = {"error": failed[0].get("error_message", "error")}
            continue
        medians = [b for b in runs if b.get("aggregate_name") == "median"] or runs
        merged[name] = {key: statistics.median(b[key] for b in medians if key in b)
                        for key in ("bytes_per_second", "items_per_second", "links", "memory", "real_time",
                                    "cpu_time")
                        if any(key in b for b in medians)}
        merged[name]["time_unit"] = medians[0].get("time_unit", "ns")
        merged[name]["runs"] = max(int(b.get("repetitions", 1) or 1) for b in runs)
    planned = [n for n in context.get("kbench_planned", "").split(",") if n]
    have = {key_of(n) for n in merged}
    missing = [n for n in planned if n not in have]
    return context, merged, missing


def header(context, missing):
    """Where and when the figures were measured, and what a cut-off run lacks."""
    lines = ["- commit %s; %s, %s cores at %s MHz, host %s; %s; load average at the start %s; %s run" % (
        context.get("kbench_commit", "unknown"), context.get("kbench_cpu", "CPU unknown"),
        context.get("num_cpus", "?"), context.get("mhz_per_cpu", "?"), context.get("host_name", "?"),
        context.get("date", "?"), ", ".join("%.2f" % x for x in context.get("load_avg", [])) or "?",
        context.get("kbench_mode", "full"))]
    if missing:
        lines.append("- the run was cut short: %d planned benchmarks are missing: %s" % (
            len(missing), ", ".join(missing)))
    return "\n".join(lines) + "\n"


def main():
    ap = argparse.ArgumentParser(description=__doc__.split("\n")[0],
                                 formatter_class=argparse.RawDescriptionHelpFormatter,
                                 epilog="\n".join(__doc__.split("\n")[2:]))
    ap.add_argument("results", nargs="+", help="the benchmark's JSON output (several runs: one table)")
    ap.add_argument("--min-size", type=float, default=0, help="MiB: only pages at least this large")
    ap.add_argument("--out", default=None, help="folder for cells.json and runs.csv")
    ap.add_argument("--cpu", action="store_true",
                    help="rates per second of the thread's CPU time instead of wall time (a loaded machine)")
    args = ap.parse_args()
    context, rows, missing = load(args.results)
    unit = {"ns": 1e-9, "us": 1e-6, "ms": 1e-3, "s": 1.0}
    if args.cpu:  # pages/s and bytes/s from the CPU time of one iteration
        for name, row in rows.items():
            if name.startswith("threads/") or "cpu_time" not in row or "error" in row:
                continue
            seconds = row["cpu_time"] * unit[row["time_unit"]]
            size = row["bytes_per_second"] / row["items_per_second"]
            row["items_per_second"], row["bytes_per_second"] = 1.0 / seconds, size / seconds

    engines, pages = [], {}
    for name, row in rows.items():
        parts = name.split("/")
        if parts[0] == "threads" or len(parts) < 2:
            continue
        engine, page = parts[0], parts[1]
        if engine not in engines:
            engines.append(engine)
        pages.setdefault(page, {})[engine] = row
    peers = [e for e in engines if e not in ("kestrune", CONVERTED)]
    converted = CONVERTED in engines
    size_of = {}
    for page, r in pages.items():
        sized = [e for e in r.values() if "items_per_second" in e]
        if "kestrune" in r and sized:
            size_of[page] = sized[0]["bytes_per_second"] / sized[0]["items_per_second"]
    order = sorted(size_of, key=lambda p: (p.startswith("stress-"), size_of[p], p))
    order = [p for p in order if size_of[p] >= args.min_size * 1048576]

    print("In-process, task a (every `a` with its `href` and text), MB/s = 10^6 bytes of page per "
          "second of %s.\n" % ("CPU time" if args.cpu else "wall time"))
    print(header(context, missing))
    head = ["page", "size", "Kestrune MB/s"] + ["%s MB/s" % p for p in peers] + [
        "÷ fastest peer", "memory ÷ page"] + ["%s memory" % p for p in peers]
    if converted:
        head += ["936: MB/s", "936: memory ÷ page"]
    print("| " + " | ".join(head) + " |")
    print("|---|" + "---:|" * (len(head) - 1))
    worst = {"speed": None, "ratio": None, "memory": None, "converted": None}
    realistic = None
    for page in order:
        r = pages[page]
        mbps = {e: r[e]["bytes_per_second"] / 1e6 for e in r if "error" not in r[e]}
        fastest = max((mbps[p] for p in peers if p in mbps), default=None)
        ratio = mbps["kestrune"] / fastest if fastest and "kestrune" in mbps else None
        memory = r["kestrune"].get("memory")
        rate = lambda e, form: form % mbps[e] if e in mbps else r[e]["error"] if e in r else "—"
        cells = [page, "%.1f MiB" % (size_of[page] / 1048576) if size_of[page] >= 1048576
                 else "%.0f KiB" % (size_of[page] / 1024), rate("kestrune", "%.0f")]
        cells += [rate(p, "%.1f") for p in peers]
        cells += ["%.1f×" % ratio if ratio else "—", "%.2f" % memory if memory is not None else "—"]
        cells += ["%.1f" % r[p]["memory"] if p in r and "memory" in r[p] else "—" for p in peers]
        converted_memory = r.get(CONVERTED, {}).get("memory")
        if converted:
            cells += [rate(CONVERTED, "%.0f") if CONVERTED in r else "—",
                      "%.2f" % converted_memory if converted_memory is not None else "—"]
        print("| " + " | ".join(cells) + " |")
        if page == "stress-realistic":
            realistic = mbps.get("kestrune")
        if size_of[page] >= 1048576 and (not page.startswith("stress-") or page == "stress-realistic"):
            speed = mbps.get("kestrune") if page != "stress-realistic" else None
            for key, value in (("speed", speed), ("ratio", ratio), ("memory", memory),
                               ("converted", converted_memory)):
                if value is None:
                    continue
                keep = max if key in ("memory", "converted") else min
                worst[key] = value if worst[key] is None else keep(worst[key], value)

    threads = {int(n.rsplit(":", 1)[1]): r["bytes_per_second"] for n, r in rows.items()
               if n.startswith("threads/kestrune") and ":" in n}
    if 1 in threads:
        print("\nThreads (every corpus page once per iteration in each thread): " + ", ".join(
            "%d: %.0f MB/s (%.2f×)" % (n, threads[n] / 1e6, threads[n] / threads[1]) for n in sorted(threads)))
    print("\nPages from 1 MiB (corpus and stress-realistic): slowest corpus page %s MB/s (goal ≥ %d), "
          "stress-realistic %s MB/s (goal ≥ %d), least ÷ fastest peer %s (goal ≥ %g), "
          "most memory ÷ page %s (goal ≤ %g)%s%s." % (
              "%.0f" % worst["speed"] if worst["speed"] else "—", GOAL_MBPS,
              "%.0f" % realistic if realistic else "—", GOAL_REALISTIC_MBPS,
              "%.1f×" % worst["ratio"] if worst["ratio"] else "—", GOAL_RATIO,
              "%.2f" % worst["memory"] if worst["memory"] is not None else "—", GOAL_MEMORY,
              "; most memory ÷ page converted to code page 936 %s (goal ≤ %g)" % (
                  "%.2f" % worst["converted"], GOAL_CONVERTED_MEMORY) if worst["converted"] is not None
              else "",
              "; 4 threads ÷ 1: %.2f (goal ≥ 1.8)" % (threads[4] / threads[1]) if 4 in threads and 1 in threads
              else ""))

    if args.out:
        os.makedirs(args.out, exist_ok=True)
        cells, runs = [], []
        for page in order:
            for engine, r in pages[page].items():
                if "error" in r:
                    cells.append({"input": page, "task": "a", "tool": engine, "status": r["error"],
                                  "median_s": None, "rss_kib": None})
                    continue
                seconds = 1.0 / r["items_per_second"]
                cells.append({"input": page, "task": "a", "tool": engine, "status": "ok",
                              "median_s": seconds, "rss_kib": None})
                runs.append({"input": page, "bytes": int(size_of[page]), "tool": engine, "seconds": seconds})
        with open(os.path.join(args.out, "cells.json"), "w") as f:
            json.dump(cells, f, indent=1)
        with open(os.path.join(args.out, "runs.csv"), "w", newline="") as f:
            writer = csv.DictWriter(f, fieldnames=["input", "bytes", "tool", "seconds"])
            writer.writeheader()
            writer.writerows(runs)
    return 0


if __name__ == "__main__":
    sys.exit(main())
