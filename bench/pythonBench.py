#!/usr/bin/env python3
# SPDX-License-Identifier: MIT
"""The Python module kestrune against Python's HTML libraries, in one process.

Task a on every corpus page: every <a> with its href and its text.
  kestrune          kestrune.extract(page, "a", ["href"])
  lxml              lxml.html.fromstring, then iter("a"): get("href"), text_content()
  bs4-lxml          BeautifulSoup(page, "lxml").find_all("a"): get("href"), get_text()
  bs4-html.parser   the same with Python's html.parser
  html5lib          html5lib.parse (etree), then iter("a"): get("href"), itertext()
Each page is parsed once by each peer (they are slow; one run is long enough to time)
and by kestrune at least --min-time seconds, of which the median run counts. Printed:
pages/s and MB/s over the corpus, and the geometric mean over pages of each peer's
time divided by kestrune's.

Then the scaling of kestrune: the corpus --rounds times from a pool of 1 and of 2
threads (the GIL is released while a page is parsed), for task a and for the title
of each page (parsing alone, almost no Python objects to build), and with kestrune.dask on a
LocalCluster of 1 and of 2 worker processes writing JSON lines, with the peak memory
of each worker above its resident size before the run.

Then selectors and the tree (--select-only runs these alone):
  select        kestrune.select(page, "div a[href]", "href") (a streaming selector)
                against lxml.html + XPath (see LXML_XPATH) and BeautifulSoup (lxml)
                + soupsieve
  parse + walk  kestrune.parse(page) and every element of root.iter() against
                lxml.html.fromstring(page).iter()
  memory        the resident size a parsed document of the largest page adds, for
                both parsers (the page's bytes excluded)
  threads       select from a pool of 1 and of 2 threads

  PYTHONPATH=build/python /usr/bin/python3 bench/pythonBench.py [CORPUS_DIR]
      [--peers lxml,bs4-lxml,bs4-html.parser,html5lib] [--no-dask] [--select-only]
      [--json OUT]
About 3 minutes on the 31 MB corpus on a 2-core machine, most of it html5lib and
BeautifulSoup; --peers lxml takes under a minute.
"""

import argparse
import json
import math
import os
import statistics
import sys
import tempfile
import time
from concurrent.futures import ThreadPoolExecutor
from pathlib import Path

import kestrune


def task_kestrune(page):
    return [(a["href"], a["text"]) for a in kestrune.extract(page, "a", ["href"])]


def task_lxml(page):
    import lxml.html
    return [(a.get("href"), a.text_content()) for a in lxml.html.fromstring(page).iter("a")]


def task_bs4(features):
    from bs4 import BeautifulSoup

    def run(page):
        soup = BeautifulSoup(page, features)
        return [(a.get("href"), a.get_text()) for a in soup.find_all("a")]
    return run


def task_html5lib(page):
    import html5lib
    tree = html5lib.parse(page, treebuilder="etree", namespaceHTMLElements=False)
    return [(a.get("href"), "".join(a.itertext())) for a in tree.iter("a")]


PEERS = {"lxml": task_lxml, "bs4-lxml": task_bs4("lxml"),
         "bs4-html.parser": task_bs4("html.parser"), "html5lib": task_html5lib}


def time_once(task, page):
    start = time.perf_counter()
    task(page)
    return time.perf_counter() - start


def time_kestrune(page, min_time):
    return time_kestrune_task(task_kestrune, page, min_time)


SELECTOR = "div a[href]"


def select_kestrune(selector):
    return lambda page: [(a["href"], a["text"]) for a in kestrune.select(page, selector, "href")]


# cssselect's own XPath for "div a[href]" (descendant-or-self::div/descendant-or-self::*/a)
# visits every element below every div, once per div above it: on the corpus's
# deeply nested pages libxml2 did not finish in minutes. The same set, written so that
# each link is tested once, measures the parser and the query instead.
LXML_XPATH = "descendant::a[@href][ancestor::div]"


def select_lxml(page):
    import lxml.html
    return [(a.get("href"), a.text_content())
            for a in lxml.html.fromstring(page).xpath(LXML_XPATH)]


def select_bs4(page):
    from bs4 import BeautifulSoup
    soup = BeautifulSoup(page, "lxml")
    return [(a.get("href"), a.get_text()) for a in soup.select(SELECTOR)]


def walk_kestrune(page):
    return sum(1 for _ in kestrune.parse(page).root.iter())


def walk_lxml(page):
    import lxml.html
    return sum(1 for _ in lxml.html.fromstring(page).iter())


def document_memory(parse, page):
    """The peak resident memory parsing `page` adds, in bytes: measured in a child
    process forked for it before any page was parsed here, so that no memory an
    earlier parse freed (and the heap kept) can hide what this one needs. A tiny page
    is parsed first: what the parser sets up once is not the document's."""
    import gc
    reader, writer = os.pipe()
    child = os.fork()
    if child == 0:
        os.close(reader)
        parse(b"<html><body><p>x</p></body></html>")
        gc.collect()
        reset_peak()
        before = worker_rss()[0]
        document = parse(page)
        os.write(writer, str(worker_rss()[1] - before).encode())
        del document
        os._exit(0)
    os.close(writer)
    with os.fdopen(reader) as answer:
        added = int(answer.read() or -1)
    os.waitpid(child, 0)
    return added


def selector_section(pages, args, result):
    total = sum(map(len, pages))
    compiled = kestrune.Selector(SELECTOR)
    tools = {"kestrune.select": select_kestrune(compiled), "lxml+xpath": select_lxml,
             "bs4-lxml+soupsieve": select_bs4,
             "kestrune.parse+iter": walk_kestrune, "lxml+iter": walk_lxml}
    times = {}
    for name, task in tools.items():
        per_page = [time_kestrune_task(task, page, args.min_time) if name.startswith("kestrune")
                    else time_once(task, page) for page in pages]
        times[name] = per_page
    print(f"\n{'selector ' + SELECTOR + ' / tree':22} {'pages/s':>9} {'MB/s':>8} "
          f"{'time / kestrune (geo. mean)':>28}")
    result["select"] = {}
    for name, per_page in times.items():
        base = times["kestrune.select" if "select" in name or "soup" in name
                     or "xpath" in name else "kestrune.parse+iter"]
        ratio = geometric_mean([t / k for t, k in zip(per_page, base)])
        rate = len(pages) / sum(per_page)
        print(f"{name:22} {rate:9.1f} {total / sum(per_page) / 1e6:8.1f} {ratio:27.1f}x")
        result["select"][name] = {"pages_per_s": rate, "ratio_geomean": ratio}

    largest, memory = max(pages, key=len), result["parse_memory"]
    print("parsed document of the largest page (%.1f MB), peak memory added: %s" % (
        len(largest) / 1e6, ", ".join(f"{name} {size / 1e6:.1f} MB ({size / len(largest):.2f}x the page)"
                                      for name, size in memory.items())))

    task = count(select_kestrune(compiled))
    one, two = (threads_rate(task, pages, n, args.rounds) for n in (1, 2))
    print(f"kestrune.select threads: 1 -> {one:.0f} pages/s, 2 -> {two:.0f} pages/s "
          f"({two / one:.2f}x)")
    result["select"]["threads"] = {"1": one, "2": two}


def time_kestrune_task(task, page, min_time):
    times = []
    while sum(times) < min_time or len(times) < 3:
        times.append(time_once(task, page))
    return statistics.median(times)


def geometric_mean(values):
    return math.exp(sum(math.log(v) for v in values) / len(values))


def task_title(page):
    return kestrune.extract(page, "title")


def count(task):
    # The pool keeps no findings: millions of live objects would slow the garbage
    # collector down, which is not the module's cost.
    return lambda page: len(task(page))


def threads_rate(task, pages, threads, rounds):
    work = [p for _ in range(rounds) for p in pages]
    with ThreadPoolExecutor(threads) as pool:
        list(pool.map(task, pages))  # warm-up
        start = time.perf_counter()
        list(pool.map(task, work))
        return len(work) / (time.perf_counter() - start)


def worker_rss():
    """This process's resident size and its peak since the last reset_peak(), in
    bytes (VmRSS, VmHWM: ru_maxrss would carry the peak of the processes that
    started the worker)."""
    sizes = {}
    with open("/proc/self/status") as status:
        for line in status:
            if line.startswith(("VmRSS:", "VmHWM:")):
                sizes[line.split(":")[0]] = int(line.split()[1]) * 1024
    return sizes["VmRSS"], sizes["VmHWM"]


def reset_peak():
    with open("/proc/self/clear_refs", "w") as clear_refs:
        clear_refs.write("5")


def dask_run(paths, workers, rounds):
    import distributed
    import kestrune.dask
    work = [str(p) for _ in range(rounds) for p in paths]
    with distributed.LocalCluster(n_workers=workers, threads_per_worker=1, processes=True,
                                  dashboard_address=None) as cluster, \
            distributed.Client(cluster) as client, tempfile.TemporaryDirectory() as out:
        client.run(lambda: __import__("kestrune.dask"))
        client.run(reset_peak)
        before = client.run(worker_rss)
        # A partition per 2 pages: enough partitions to keep every worker busy.
        bag = kestrune.dask.findings(work, "a", ["href"], npartitions=len(work) // 2)
        start = time.perf_counter()
        kestrune.dask.write_jsonl(bag, out)
        rate = len(work) / (time.perf_counter() - start)
        after = client.run(worker_rss)
    growth = [after[w][1] - before[w][0] for w in after]
    return rate, max(growth)


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    # By default the corpus beside the source tree: ../shared/corpus/real.
    default_corpus = Path(__file__).resolve().parents[1].parent / "shared" / "corpus" / "real"
    parser.add_argument("corpus", nargs="?", default=str(default_corpus))
    parser.add_argument("--peers", default=",".join(PEERS))
    parser.add_argument("--min-time", type=float, default=0.05,
                        help="seconds of kestrune runs per page (default 0.05)")
    parser.add_argument("--rounds", type=int, default=10,
                        help="times the corpus is read in the scaling runs (default 10)")
    parser.add_argument("--no-dask", action="store_true")
    parser.add_argument("--select-only", action="store_true",
                        help="only the selector and tree measurements")
    parser.add_argument("--json", help="write the measurements here")
    args = parser.parse_args()

    paths = sorted(Path(args.corpus).rglob("*.html"), key=lambda p: p.stat().st_size)
    pages = [p.read_bytes() for p in paths]
    total = sum(map(len, pages))
    print(f"{len(pages)} pages, {total / 1e6:.1f} MB; kestrune {kestrune.__version__}, "
          f"Python {sys.version.split()[0]}, {os.cpu_count()} CPUs")

    result = {"pages": len(pages), "bytes": total, "tools": {}}
    # Before any page is parsed in this process (see document_memory).
    import lxml.html
    largest = max(pages, key=len)
    result["parse_memory"] = {"kestrune.parse": document_memory(kestrune.parse, largest),
                              "lxml.html": document_memory(lxml.html.fromstring, largest)}
    if args.select_only:
        selector_section(pages, args, result)
        if args.json:
            Path(args.json).write_text(json.dumps(result, indent=1))
        return
    k_times = [time_kestrune(page, args.min_time) for page in pages]
    tools = {"kestrune": k_times}
    for name in [n for n in args.peers.split(",") if n]:
        tools[name] = [time_once(PEERS[name], page) for page in pages]

    print(f"\n{'tool':16} {'pages/s':>9} {'MB/s':>8} {'time / kestrune (geo. mean)':>28}")
    for name, times in tools.items():
        ratio = geometric_mean([t / k for t, k in zip(times, k_times)])
        rate = len(pages) / sum(times)
        print(f"{name:16} {rate:9.1f} {total / sum(times) / 1e6:8.1f} {ratio:27.1f}x")
        result["tools"][name] = {"pages_per_s": rate, "mb_per_s": total / sum(times) / 1e6,
                                 "ratio_geomean": ratio, "seconds": times}

    # Task a builds a Python object per value while holding the GIL; the title of each
    # page is almost only parsing, without it.
    result["threads"] = {}
    for name, task in (("a", count(task_kestrune)), ("title", count(task_title))):
        one, two = (threads_rate(task, pages, n, args.rounds) for n in (1, 2))
        print(f"{'' if result['threads'] else chr(10)}kestrune threads, task {name}: "
              f"1 -> {one:.0f} pages/s, 2 -> {two:.0f} pages/s ({two / one:.2f}x)")
        result["threads"][name] = {"1": one, "2": two}

    if not args.no_dask:
        largest = max(map(len, pages))
        (d1, m1), (d2, m2) = (dask_run(paths, n, args.rounds) for n in (1, 2))
        print(f"kestrune.dask workers: 1 -> {d1:.0f} pages/s, 2 -> {d2:.0f} pages/s "
              f"({d2 / d1:.2f}x)")
        print(f"worker peak memory above its size before the run: {m1 / 1e6:.1f} MB (1 worker), "
              f"{m2 / 1e6:.1f} MB (2 workers); largest page {largest / 1e6:.1f} MB "
              f"({max(m1, m2) / largest:.1f}x)")
        result["dask"] = {"1": d1, "2": d2, "memory": [m1, m2], "largest_page": largest}
    selector_section(pages, args, result)
    if args.json:
        Path(args.json).write_text(json.dumps(result, indent=1))


if __name__ == "__main__":
    main()
