#!/usr/bin/env python3
# SPDX-License-Identifier: MIT
"""Instructions per page byte of one library call, counted by valgrind's cachegrind:
the same number on every run, whatever else the machine is doing, so that two builds
can be compared where wall times are too noisy to tell a few per cent apart.

  bench/instructions.py [--engine NAME] [--dry-run] BUILD_DIR [BUILD_DIR...] -- PAGE_OR_FOLDER...

Each BUILD_DIR is a build of the bench preset (its bench/kestrune_peer_run); the first
is the base the others are compared with. The call is task a (every <a> with its href
and text), as in the library table; --engine picks another engine of that program
(libxml2, gumbo, myhtml). One call costs the difference of two runs, of three calls and
of one (`kestrune_peer_run --calls`), so that starting the program and reading the page
do not count. A folder stands for its .html and .htm files. The table's head names the
machine and the commit of each build.

A count is not a time: branches the processor guesses wrong and memory it waits for
cost no instructions. Use it beside the interleaved timed runs of bench/README.md,
never instead of them.
"""
import argparse
import os
import re
import shutil
import subprocess
import sys

import wholeRun


def command(runner, engine, page, calls):
    return ["valgrind", "--tool=cachegrind", "--cache-sim=no", "--cachegrind-out-file=/dev/null",
            runner, "--calls", str(calls), engine, page]


def instructions(runner, engine, page, calls):
    """The instructions of a run of `calls` calls, or None when the engine refused."""
    done = subprocess.run(command(runner, engine, page, calls), stdout=subprocess.DEVNULL,
                          stderr=subprocess.PIPE, text=True, check=False)
    if done.returncode == 3:
        return None
    found = re.search(r"I\s+refs:\s+([\d,]+)", done.stderr)
    if done.returncode != 0 or found is None:
        sys.exit(f"instructions.py: {runner} failed on {page}:\n{done.stderr[-2000:]}")
    return int(found.group(1).replace(",", ""))


def per_call(runner, engine, page):
    one = instructions(runner, engine, page, 1)
    three = instructions(runner, engine, page, 3)
    return None if one is None or three is None else (three - one) / 2


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--engine", default="kestrune")
    parser.add_argument("--dry-run", action="store_true", help="print the commands, run nothing")
    parser.add_argument("builds", nargs="+", metavar="BUILD_DIR")
    argv = sys.argv[1:]
    if "--" not in argv:
        parser.error("give the build folders, then --, then the pages")
    cut = argv.index("--")
    options = parser.parse_args(argv[:cut])
    options.pages = wholeRun.collect_inputs(argv[cut + 1:], 0)
    runners = [os.path.join(b, "bench", "kestrune_peer_run") for b in options.builds]
    if not options.pages:
        parser.error("no pages")
    if options.dry_run:
        for runner in runners:
            for page in options.pages:
                for calls in (1, 3):
                    print(" ".join(command(runner, options.engine, page, calls)))
        return 0
    if shutil.which("valgrind") is None:
        sys.exit("instructions.py: valgrind is not installed (apt-get install valgrind)")
    for runner in runners:
        if not os.access(runner, os.X_OK):
            sys.exit(f"instructions.py: no {runner} (cmake --preset bench && cmake --build --preset bench)")

    names = [os.path.basename(os.path.normpath(b)) for b in options.builds]
    header = ["page", "size"] + [f"{n} instr/byte" for n in names]
    header += [f"{n} ÷ {names[0]}" for n in names[1:]]
    print(f"Instructions of one call, engine {options.engine}, task a\n")
    print(f"- machine: {wholeRun.machine_line()}")
    for name, runner in zip(names, runners):
        print(f"- {name}: commit {wholeRun.commit_line(runner)}")
    print()
    print("| " + " | ".join(header) + " |")
    print("|---|" + "---:|" * (len(header) - 1))
    for page in options.pages:
        size = os.path.getsize(page)
        counts = [per_call(runner, options.engine, page) for runner in runners]
        cells = [os.path.basename(page), wholeRun.fmt_size(size)]
        cells += ["refused" if c is None else f"{c / size:.2f}" for c in counts]
        base = counts[0]
        cells += ["—" if c is None or base is None else f"{c / base - 1:+.1%}" for c in counts[1:]]
        print("| " + " | ".join(cells) + " |", flush=True)
    return 0


if __name__ == "__main__":
    sys.exit(main())
