#!/usr/bin/env python3
# SPDX-License-Identifier: MIT
"""lxml.html with cssselect on the selector tasks of kestrune_library_bench --select.

  /usr/bin/python3 bench/selectPeers.py --out lxml.json [--runs 5] PAGE_OR_FOLDER...

The pages are those of the --select run: the HTML pages of 1 MiB or more in each folder
named, and each page named itself (the realistic worst case). For each page and each task
(div-links: "div a[href]", odd-item-links: "li:nth-child(2n+1) > a") one timed run is
lxml.html.fromstring(page), the selection, and href and text_content() of every element
found, as the C++ engines give them; the selection is
  lxml+cssselect  the selector translated by cssselect (once, beforehand)
  lxml+xpath      a hand-written XPath for the same elements that tests each link once
                  (cssselect's "descendant-or-self::div/descendant-or-self::*/a" visits
                  the elements below each div once per div above them: minutes on the
                  deeply nested pages)
The median of --runs runs counts (one run when it takes a second or more). Each page and
task runs in a process of its own, stopped after --cap seconds (recorded as a timeout).
Written: one JSON object with a record per page, task and engine (page, task, engine,
bytes, seconds or timeout, links), read by bench/selectTable.py with the benchmark's
JSON. Run it with Debian's python3 (/usr/bin/python3), which has python3-lxml and
python3-cssselect.
"""
import argparse
import json
import statistics
import subprocess
import sys
import time
from pathlib import Path

import lxml.html
from lxml.cssselect import CSSSelector
from lxml.etree import XPath

TASKS = {"div-links": ("div a[href]", "descendant::a[@href][ancestor::div]"),
         "odd-item-links": ("li:nth-child(2n+1) > a",
                            "descendant::li[count(preceding-sibling::*) mod 2 = 0]/a")}
ENGINES = {"lxml+cssselect": lambda task: CSSSelector(TASKS[task][0]),
           "lxml+xpath": lambda task: XPath(TASKS[task][1])}


def pages_of(places, min_size):
    for place in map(Path, places):
        if place.is_dir():
            for path in sorted(place.iterdir()):
                if path.suffix in (".html", ".htm") and path.stat().st_size >= min_size:
                    yield path
        elif place.is_file():
            yield place
        else:
            print("note: %s not found, skipped" % place, file=sys.stderr)


def run(page, selector):
    tree = lxml.html.fromstring(page)
    return [(a.get("href"), a.text_content()) for a in selector(tree)]


def measure(path, task, engine, runs):
    """The median seconds of up to `runs` runs and the links found (printed as JSON)."""
    page, selector = Path(path).read_bytes(), ENGINES[engine](task)
    times, links = [], 0
    while len(times) < runs and sum(times) < 1.0:
        start = time.perf_counter()
        links = len(run(page, selector))
        times.append(time.perf_counter() - start)
    print(json.dumps({"seconds": statistics.median(times), "links": links}))


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    parser.add_argument("places", nargs="*")
    parser.add_argument("--out")
    parser.add_argument("--runs", type=int, default=5)
    parser.add_argument("--cap", type=float, default=60.0)
    parser.add_argument("--min-size", type=int, default=1 << 20)
    parser.add_argument("--one", nargs=3, metavar=("PAGE", "TASK", "ENGINE"),
                        help=argparse.SUPPRESS)
    args = parser.parse_args()
    if args.one:
        return measure(*args.one, args.runs)
    if not args.out or not args.places:
        parser.error("name --out and at least one page or folder")
    records = []
    for path in pages_of(args.places, args.min_size):
        for task in TASKS:
            for engine in ENGINES:
                record = {"page": path.stem, "task": task, "engine": engine,
                          "bytes": path.stat().st_size}
                try:
                    done = subprocess.run(
                        [sys.executable, __file__, "--one", str(path), task, engine,
                         "--runs", str(args.runs)],
                        capture_output=True, text=True, timeout=args.cap, check=True)
                    record.update(json.loads(done.stdout))
                    shown = "%d links, %.1f ms" % (record["links"], record["seconds"] * 1e3)
                except subprocess.TimeoutExpired:
                    record["timeout"] = args.cap
                    shown = "stopped after %.0f s" % args.cap
                records.append(record)
                print("%s/%s/%s: %s" % (task, engine, path.stem, shown), file=sys.stderr)
    import cssselect
    with open(args.out, "w") as out:
        json.dump({"lxml": ".".join(map(str, lxml.etree.LXML_VERSION)),
                   "cssselect": cssselect.__version__, "runs": args.runs, "cap": args.cap,
                   "records": records}, out, indent=1)
    return 0


if __name__ == "__main__":
    sys.exit(main())
