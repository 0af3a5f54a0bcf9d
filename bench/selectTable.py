#!/usr/bin/env python3
# SPDX-License-Identifier: MIT
"""Tables from a selector run: kestrune_library_bench --select and bench/selectPeers.py.

  build-bench/bench/kestrune_library_bench --select --benchmark_out=select.json \\
      --benchmark_out_format=json
  /usr/bin/python3 bench/selectPeers.py --out lxml.json CORPUS build-bench/bench/stress/stress-realistic.html
  bench/selectTable.py select.json lxml.json

Prints, in Markdown, one table per selector with one row per page: MB/s (10^6 bytes of
page per second of wall time) of `-tag a` (Kestrune's extract() of every a), of
Kestrune's selector and what part of `-tag a` it keeps, of each peer library and of
lxml+cssselect, and Kestrune's speed divided by the fastest peer library's and by
lxml+cssselect's; then the goals, on the least of the pages and on the pages together.
"""
import argparse
import json
import sys

from libraryTable import header, load

# Each selector: its name in the benchmark, how it is shown, the least share of -tag a.
SELECTORS = [("div-links", "`div a[href]` (streamed)", 0.70),
             ("odd-item-links", "`li:nth-child(2n+1) > a` (tree)", 0.40)]
GOAL_LXML, GOAL_PEER = 20.0, 10.0


def main():
    ap = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    ap.add_argument("results", help="the JSON of kestrune_library_bench --select")
    ap.add_argument("lxml", nargs="?", help="the JSON of bench/selectPeers.py")
    args = ap.parse_args()
    context, rows, _ = load([args.results])
    planned = [n for n in context.get("kbench_planned", "").split(",") if n]
    have = {"/".join(n.split("/")[:3]) for n in rows}
    missing = [n for n in planned if n not in have]
    rate, sizes, peers = {}, {}, []  # (task, engine, page) -> bytes/s
    capped = set()  # the keys whose rate is an upper bound: the run was stopped
    for name, row in rows.items():
        parts = name.split("/")
        if len(parts) < 3 or "error" in row:
            continue
        task, engine, page = parts[:3]
        rate[task, engine, page] = row["bytes_per_second"]
        sizes[page] = row["bytes_per_second"] / row["items_per_second"]
        if engine != "kestrune" and engine not in peers:
            peers.append(engine)
    if args.lxml:
        with open(args.lxml) as f:
            found = json.load(f)
        for r in found["records"]:
            key = (r["task"], r["engine"], r["page"])
            rate[key] = r["bytes"] / r.get("seconds", r.get("timeout"))
            if "timeout" in r:
                capped.add(key)
        python = sorted({r["engine"] for r in found["records"]})
    order = sorted(sizes, key=lambda p: (p.startswith("stress-"), sizes[p], p))

    print(header(context, missing))
    runs = max((row.get("runs", 1) for row in rows.values()), default=1)
    if runs > 1:
        print("- Kestrune and the peer libraries: the median of %d repetitions of each benchmark" % runs)
    if args.lxml:
        print("- lxml %s, cssselect %s, median of up to %d runs; \"< N\": stopped after %.0f s" % (
            found["lxml"], found["cssselect"], found["runs"], found["cap"]))
    summary = []
    for task, shown, share_goal in SELECTORS:
        print("\n%s: MB/s\n" % shown)
        others = peers + (python if args.lxml else [])
        head = ["page", "size", "`-tag a`", "Kestrune", "÷ `-tag a`"] + others + [
            "÷ fastest peer", "÷ lxml+cssselect"]
        print("| " + " | ".join(head) + " |")
        print("|---|" + "---:|" * (len(head) - 1))
        least = {"share": None, "peer": None, "lxml": None}
        seconds = {}  # engine -> seconds for all pages together
        for page in order:
            mb = {e: rate[t, e, page] / 1e6 for (t, e, p) in rate if p == page and t == task}
            tag = rate.get(("links", "kestrune", page))
            for engine, mbps in list(mb.items()) + [("-tag a", tag / 1e6 if tag else None)]:
                if mbps:
                    seconds[engine] = seconds.get(engine, 0) + sizes[page] / (mbps * 1e6)
            ours = mb.get("kestrune")
            fastest = max((mb[p] for p in peers if p in mb), default=None)
            ratios = {"share": ours / (tag / 1e6) if ours and tag else None,
                      "peer": ours / fastest if ours and fastest else None,
                      "lxml": ours / mb["lxml+cssselect"] if ours and "lxml+cssselect" in mb else None}
            lower = (task, "lxml+cssselect", page) in capped  # the ratio is at least this
            for key, value in ratios.items():
                if value is not None:
                    least[key] = value if least[key] is None else min(least[key], value)
            fmt = lambda v, form: form % v if v else "—"
            cells = [page, "%.1f MiB" % (sizes[page] / 1048576), fmt(tag and tag / 1e6, "%.0f"),
                     fmt(ours, "%.0f"), fmt(ratios["share"] and 100 * ratios["share"], "%.0f %%")]
            cells += [("< " if (task, p, page) in capped else "") + fmt(mb.get(p), "%.1f")
                      for p in others]
            cells += [fmt(ratios["peer"], "%.1f×"),
                      ("> " if lower else "") + fmt(ratios["lxml"], "%.0f×")]
            print("| " + " | ".join(cells) + " |")
        together = {e: sum(sizes.values()) / s for e, s in seconds.items()}
        fastest = max((together[p] for p in peers if p in together), default=None)
        ours = together.get("kestrune")

        def goal(name, least_value, all_value, want, form):
            if least_value is None:
                return "%s: not measured" % name
            met = "met" if least_value >= want else "not met"
            return "%s: least %s, all pages %s (goal ≥ %s: %s)" % (
                name, form % least_value, form % all_value if all_value else "—", form % want, met)

        summary.append("%s:\n- %s\n- %s\n- %s" % (
            shown,
            goal("÷ `-tag a`", least["share"] and 100 * least["share"],
                 ours and "-tag a" in together and 100 * ours / together["-tag a"], 100 * share_goal,
                 "%.0f %%"),
            goal("÷ fastest peer", least["peer"], ours and fastest and ours / fastest, GOAL_PEER,
                 "%.1f×"),
            goal("÷ lxml+cssselect", least["lxml"],
                 ours and together.get("lxml+cssselect") and ours / together["lxml+cssselect"],
                 GOAL_LXML, "%.1f×")))
    print("\nGoals (least: the page where it is smallest; all pages: bytes over seconds of "
          "every page together)\n")
    print("\n\n".join(summary))
    return 0


if __name__ == "__main__":
    sys.exit(main())
