#!/usr/bin/env python3
# SPDX-License-Identifier: MIT
"""Tables from a run of the in-process comparison (kestrune_library_bench).

  build-bench/bench/kestrune_library_bench --benchmark_out=lib.json --benchmark_out_format=json
  bench/libraryTable.py lib.json [more.json] [--min-size 1] [--cpu] [--out DIR]

Prints, in Markdown, one row per page: its size, MB/s (10^6 bytes per second of wall
time) of Kestrune's extract() and of each peer library, Kestrune's speed divided by the
fastest peer's, and the peak memory each call adds divided by the page size; then the
threads scaling (throughput of 2 and 4 threads over one) and the goals. With --out it
also writes DIR/cells.json and DIR/runs.csv (time per page), which bench/chart.py draws.
With --benchmark_repetitions the medians are used.
"""
import argparse
import csv
import json
import os
import statistics
import sys

GOAL_MBPS = 1000.0


def load(paths):
    docs = []
    for path in paths:
        with open(path) as f:
            docs.append(json.load(f))
    rows = {}
    for b in (b for doc in docs for b in doc["benchmarks"]):
        if b.get("run_type") == "aggregate" and b.get("aggregate_name") != "median":
            continue
        rows.setdefault(b["run_name"], []).append(b)
    merged = {}
    for name, found in rows.items():
        medians = [b for b in found if b.get("aggregate_name") == "median"] or found
        merged[name] = {key: statistics.median(b[key] for b in medians if key in b)
                        for key in ("bytes_per_second", "items_per_second", "links", "memory", "real_time",
                                    "cpu_time")
                        if any(key in b for b in medians)}
        merged[name]["time_unit"] = medians[0].get("time_unit", "ns")
    return docs[0].get("context", {}), merged


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
    context, rows = load(args.results)
    unit = {"ns": 1e-9, "us": 1e-6, "ms": 1e-3, "s": 1.0}
    if args.cpu:  # pages/s and bytes/s from the CPU time of one iteration
        for name, row in rows.items():
            if name.startswith("threads/") or "cpu_time" not in row:
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
    peers = [e for e in engines if e != "kestrune"]
    size_of = {p: r["kestrune"]["bytes_per_second"] / r["kestrune"]["items_per_second"]
               for p, r in pages.items() if "kestrune" in r}
    order = sorted(size_of, key=lambda p: (p.startswith("stress-"), size_of[p], p))
    order = [p for p in order if size_of[p] >= args.min_size * 1048576]

    print("In-process, task a (every `a` with its `href` and text), MB/s = 10^6 bytes of page per "
          "second of %s; %s CPUs, %s; load %s.\n" % ("CPU time" if args.cpu else "wall time",
                                                context.get("num_cpus", "?"), context.get("date", "?"),
                                                ", ".join("%.1f" % x for x in context.get("load_avg", []))))
    head = ["page", "size", "Kestrune MB/s"] + ["%s MB/s" % p for p in peers] + [
        "÷ fastest peer", "memory ÷ page"] + ["%s memory" % p for p in peers]
    print("| " + " | ".join(head) + " |")
    print("|---|" + "---:|" * (len(head) - 1))
    worst = {"speed": None, "ratio": None, "memory": None}
    for page in order:
        r = pages[page]
        mbps = {e: r[e]["bytes_per_second"] / 1e6 for e in r}
        fastest = max((mbps[p] for p in peers if p in mbps), default=None)
        ratio = mbps["kestrune"] / fastest if fastest else None
        memory = r["kestrune"].get("memory")
        cells = [page, "%.1f MiB" % (size_of[page] / 1048576) if size_of[page] >= 1048576
                 else "%.0f KiB" % (size_of[page] / 1024), "%.0f" % mbps["kestrune"]]
        cells += ["%.1f" % mbps[p] if p in mbps else "—" for p in peers]
        cells += ["%.1f×" % ratio if ratio else "—", "%.2f" % memory if memory is not None else "—"]
        cells += ["%.1f" % r[p]["memory"] if p in r and "memory" in r[p] else "—" for p in peers]
        print("| " + " | ".join(cells) + " |")
        if size_of[page] >= 1048576 and (not page.startswith("stress-") or page == "stress-realistic"):
            for key, value in (("speed", mbps["kestrune"]), ("ratio", ratio), ("memory", memory)):
                if value is None:
                    continue
                keep = min if key != "memory" else max
                worst[key] = value if worst[key] is None else keep(worst[key], value)

    threads = {int(n.rsplit(":", 1)[1]): r["bytes_per_second"] for n, r in rows.items()
               if n.startswith("threads/kestrune") and ":" in n}
    if 1 in threads:
        print("\nThreads (every corpus page once per iteration in each thread): " + ", ".join(
            "%d: %.0f MB/s (%.2f×)" % (n, threads[n] / 1e6, threads[n] / threads[1]) for n in sorted(threads)))
    print("\nPages from 1 MiB (corpus and stress-realistic): slowest Kestrune %s MB/s (goal ≥ %d), "
          "least ÷ fastest peer %s (goal ≥ 10), most memory ÷ page %s (goal ≤ 2)%s." % (
              "%.0f" % worst["speed"] if worst["speed"] else "—", GOAL_MBPS,
              "%.1f×" % worst["ratio"] if worst["ratio"] else "—",
              "%.2f" % worst["memory"] if worst["memory"] is not None else "—",
              "; 4 threads ÷ 1: %.2f (goal ≥ 1.8)" % (threads[4] / threads[1]) if 4 in threads and 1 in threads
              else ""))

    if args.out:
        os.makedirs(args.out, exist_ok=True)
        cells, runs = [], []
        for page in order:
            for engine, r in pages[page].items():
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
