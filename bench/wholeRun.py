#!/usr/bin/env python3
# SPDX-License-Identifier: MIT
"""Whole-run benchmark: the kestrune program on each input, as a user runs it.

For every input and task it runs one warm-up and then N timed runs of the program
(each its own process) and prints a table: input size, median wall time, median
CPU time (user + system), median
peak RSS, the peak RSS above the process baseline, that excess per input byte, and
the wall time relative to `cat FILE > /dev/null` on the same file.

  bench/wholeRun.py                                  # the corpus, task a
  bench/wholeRun.py --stress /tmp/kbench-stress      # + the generated worst cases
  bench/wholeRun.py --task a,p,a-console --reps 9 --min-size 1M some/page.html dir/
  bench/wholeRun.py --kestrune other/kestrune --json before.json

Tasks:
  a               -tag a -attr href -o OUT.json   (default)
  p               -tag p -o OUT.json
  a-console       -tag a -attr href               (report on standard output)
  p-console       -tag p
  script          -tag script -o OUT.js           (raw blocks to a file)
  script-console  -tag script

How it measures. Each run goes through a small launcher, a second Python started
with -I -S: it forks and execs the program and reads the wall time (fork to
wait4) and the CPU time. The peak resident set size is ru_maxrss from os.wait4
of a second run of the same command: Linux starts a forked child's high-water
mark at its parent's resident size, so that run is started by /bin/sh (forked by
the launcher, which as a child subreaper reaps the orphaned program), which puts
the floor near 1 MiB instead of the launcher's 5 MiB (--rss-via direct takes the
timed run's own figure). The floor, /bin/true measured the same way, is shown in
the header. The baseline is the median peak RSS of the program on a tiny page for
the same task; "above base" is a run's peak minus that baseline, and
"above/size" divides it by the input size.

Inputs are copied into a private scratch folder first and the program gets
absolute paths: it takes a bare file name to mean its own folder. Standard
library only.
"""
import argparse
import datetime
import json
import os
import platform
import shutil
import statistics
import subprocess
import sys
import tempfile

HERE = os.path.dirname(os.path.abspath(__file__))
REPO = os.path.dirname(HERE)
SCRATCH = os.environ.get("TMPDIR", "/tmp")
# Where bench/collectCorpus.sh is told to write the corpus, then the project's shared one.
CORPUS_PLACES = [os.environ.get("KESTRUNE_BENCH_CORPUS", ""), os.path.join(SCRATCH, "kestrune-corpus"),
                 os.path.normpath(os.path.join(REPO, os.pardir, "shared", "corpus", "real"))]
DEFAULT_CORPUS = next((p for p in CORPUS_PLACES if p and os.path.isdir(p)), CORPUS_PLACES[1])
DEFAULT_STRESS = os.environ.get("KESTRUNE_BENCH_STRESS", os.path.join(SCRATCH, "kestrune-stress"))
GENERATOR = os.path.join(HERE, "genStress.py")

TASKS = {
    "a": (["-tag", "a", "-attr", "href"], ".json"),
    "p": (["-tag", "p"], ".json"),
    "a-console": (["-tag", "a", "-attr", "href"], None),
    "p-console": (["-tag", "p"], None),
    "script": (["-tag", "script"], ".js"),
    "script-console": (["-tag", "script"], None),
}
EXPECTED_EXIT = 1  # the program's status when a report was produced
REFUSED_EXIT = 255  # its status when the page could not be loaded (too large)

TINY_PAGE = (b"<!DOCTYPE html><html><head><title>t</title><script>var x = 1;</script></head>"
             b"<body><p>one <a href=\"/x\">two</a></p></body></html>\n")

# Runs one command and prints: wall_ns maxrss_kib user_s sys_s exit signal timed_out.
# argv[1] is the mode, argv[2] the timeout in seconds, argv[3] and argv[4] the files
# for standard output and error, the rest the command. "direct" forks and execs the
# command. "reaper" makes this process a child subreaper and has /bin/sh start the
# command in the background and exit: the command is then forked from a small shell,
# not from this Python, so its peak RSS starts near 1 MiB instead of this process's
# size; the orphan comes back here to be reaped with its own rusage. Its wall time
# includes the shell's start and is not used.
LAUNCHER = r"""
import os, signal, sys, time
mode, timeout, out, err, argv = sys.argv[1], float(sys.argv[2]), sys.argv[3], sys.argv[4], sys.argv[5:]
if mode == "reaper":
    import ctypes
    if ctypes.CDLL(None, use_errno=True).prctl(36, 1, 0, 0, 0) != 0:  # PR_SET_CHILD_SUBREAPER
        sys.exit(3)
    argv = ["/bin/sh", "-c", '"$@" &', "sh"] + argv
fdin = os.open(os.devnull, os.O_RDONLY)
fdout = os.open(out, os.O_WRONLY | os.O_CREAT | os.O_TRUNC, 0o644)
fderr = os.open(err, os.O_WRONLY | os.O_CREAT | os.O_TRUNC, 0o644)
timed_out = []
t0 = time.perf_counter_ns()
pid = os.fork()
if pid == 0:
    try:
        os.setpgid(0, 0)
        os.dup2(fdin, 0); os.dup2(fdout, 1); os.dup2(fderr, 2)
        os.execv(argv[0], argv)
    finally:
        os._exit(127)
def expire(*_):
    timed_out.append(1)
    try:
        os.killpg(pid, signal.SIGKILL)
    except OSError:
        pass
signal.signal(signal.SIGALRM, expire)
signal.setitimer(signal.ITIMER_REAL, timeout)
found = None
while True:
    try:
        p, status, ru = os.wait4(-1, 0)
    except ChildProcessError:
        break
    if mode == "direct" or p != pid:
        found = (time.perf_counter_ns(), status, ru)
signal.setitimer(signal.ITIMER_REAL, 0)
if found is None:
    sys.exit(4)
t1, status, ru = found
code = os.WEXITSTATUS(status) if os.WIFEXITED(status) else -1
sig = os.WTERMSIG(status) if os.WIFSIGNALED(status) else 0
print(t1 - t0, ru.ru_maxrss, ru.ru_utime, ru.ru_stime, code, sig, 1 if timed_out else 0)
"""


def log(msg):
    sys.stderr.write(msg + "\n")
    sys.stderr.flush()


def parse_size(text):
    units = {"": 1, "K": 1 << 10, "M": 1 << 20, "G": 1 << 30}
    t = text.strip().upper().rstrip("B").rstrip("I")
    unit = t[-1] if t and t[-1] in units else ""
    return int(float(t[:len(t) - len(unit)]) * units[unit])


def fmt_size(n):
    if n >= 1 << 20:
        return "%.1f MiB" % (n / 1048576.0)
    if n >= 1 << 10:
        return "%.0f KiB" % (n / 1024.0)
    return "%d B" % n


def fmt_ms(ms):
    if ms is None:
        return "-"
    return "%.0f" % ms if ms >= 100 else ("%.1f" % ms if ms >= 10 else "%.2f" % ms)


class Launcher:
    """Runs commands through LAUNCHER: wall and CPU time from a direct run, peak RSS
    from a run through the reaper when it works here (Linux), else from the direct run."""

    def __init__(self, timeout, rss_mode):
        self.timeout = timeout
        self.rss_mode = rss_mode
        if rss_mode == "reaper" and self._launch("reaper", ["/bin/true"], os.devnull, os.devnull) is None:
            log("note: no child subreaper here; peak RSS comes from the direct runs (higher floor)")
            self.rss_mode = "direct"

    def _launch(self, mode, argv, stdout_path, stderr_path):
        r = subprocess.run([sys.executable, "-I", "-S", "-c", LAUNCHER, mode, str(self.timeout),
                            stdout_path, stderr_path] + argv,
                           stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True)
        fields = r.stdout.split()
        if r.returncode != 0 or len(fields) != 7:
            if mode == "reaper":
                return None
            raise RuntimeError("launcher failed: %r %r" % (r.stdout, r.stderr[-400:]))
        ns, rss, ut, st, code, sig, to = fields
        return {"wall_ms": int(ns) / 1e6, "rss_kib": int(rss), "cpu_s": float(ut) + float(st),
                "exit": int(code), "signal": int(sig), "timeout": to == "1"}

    def run(self, argv, stdout_path, stderr_path):
        r = self._launch("direct", argv, stdout_path, stderr_path)
        if self.rss_mode == "reaper" and status_of(r, None) == "ok":
            m = self._launch("reaper", argv, stdout_path, stderr_path)
            if m is None:
                raise RuntimeError("reaper run failed: %r" % argv)
            r["rss_kib"] = m["rss_kib"]
        return r


def status_of(r, expected, refused=None):
    if r["timeout"]:
        return "TIMEOUT"
    if r["signal"]:
        return "SIGNAL %d" % r["signal"]
    if refused is not None and r["exit"] == refused:
        return "refused"
    if expected is not None and r["exit"] != expected:
        return "EXIT %d" % r["exit"]
    return "ok"


def measure(launcher, argv, stdout_path, stderr_path, reps, warmup, expected, refused=None, budget=None):
    """Warm-up runs, then `reps` timed runs; stops at the first failed run. With a budget
    (seconds), fewer timed runs when the first run shows that they would take longer."""
    walls, rsss, cpus = [], [], []
    k = 0
    while k < warmup + reps:
        r = launcher.run(argv, stdout_path, stderr_path)
        st = status_of(r, expected, refused)
        if st != "ok":
            return {"status": st, "wall_ms": [r["wall_ms"]], "rss_kib": [r["rss_kib"]], "cpu_s": []}
        if k == 0 and budget:
            reps = max(1, min(reps, int(budget * 1000.0 / max(r["wall_ms"], 1e-3))))
        k += 1
        if k > warmup:
            walls.append(r["wall_ms"])
            rsss.append(r["rss_kib"])
            cpus.append(r["cpu_s"])
    return {"status": "ok", "wall_ms": walls, "rss_kib": rsss, "cpu_s": cpus}


def collect_inputs(places, min_size):
    found = []
    for place in places:
        if os.path.isdir(place):
            names = sorted(n for n in os.listdir(place) if n.lower().endswith((".html", ".htm")))
            found += [os.path.join(place, n) for n in names]
        elif os.path.isfile(place):
            found.append(place)
        else:
            log("warning: %s: no such file or folder, skipped" % place)
    return [p for p in found if os.path.getsize(p) >= min_size]


def ensure_stress(dir_, corpus=DEFAULT_CORPUS):
    """True when DIR holds the worst cases, made there by genStress.py when missing."""
    if os.path.isdir(dir_) and any(n.startswith("stress-") for n in os.listdir(dir_)):
        return True
    log("generating the worst cases into %s (about 15 s)" % dir_)
    return subprocess.run([sys.executable, GENERATOR, dir_, "--corpus", corpus],
                          stdout=sys.stderr).returncode == 0


def stage_inputs(sources, folder):
    """Copies the pages into a scratch folder (the program takes a bare name to mean its
    own folder, so each gets an absolute path); names made unique."""
    inputs, seen = [], set()
    for src in sources:
        name = os.path.basename(src)
        if name in seen:
            name = "%d-%s" % (len(inputs), name)
        seen.add(name)
        dst = os.path.join(folder, name)
        shutil.copyfile(src, dst)
        os.chmod(dst, 0o644)
        inputs.append({"name": name, "src": os.path.abspath(src), "path": dst, "bytes": os.path.getsize(dst)})
    return inputs


def load_line():
    try:
        return " ".join(open("/proc/loadavg").read().split()[:3])
    except OSError:
        return "?"


def machine_line():
    """CPU model, cores, memory, system and load average, for the head of a table."""
    cpu, memory = "?", "?"
    try:
        with open("/proc/cpuinfo") as f:
            cpu = next(line.split(":", 1)[1].strip() for line in f if line.startswith("model name"))
        with open("/proc/meminfo") as f:
            memory = "%.0f GiB" % (int(f.readline().split()[1]) / 1048576.0)
    except (OSError, StopIteration, ValueError, IndexError):
        pass
    return "%s, %d cores, %s, %s; load average %s" % (cpu, os.cpu_count() or 0, memory, platform.platform(),
                                                      load_line())


def commit_line(program):
    """The commit of the checkout a program was built in (`git describe`, "-dirty" when
    the tree had changes), or what is known of it."""
    where = os.path.dirname(os.path.abspath(program))
    r = subprocess.run(["git", "-C", where, "describe", "--always", "--dirty", "--abbrev=7"],
                       capture_output=True, text=True)
    return r.stdout.strip() if r.returncode == 0 else "unknown (%s is not in a git checkout)" % program


def main(argv=None):
    ap = argparse.ArgumentParser(description=__doc__.split("\n")[0],
                                 formatter_class=argparse.RawDescriptionHelpFormatter,
                                 epilog="\n".join(__doc__.split("\n")[2:]))
    ap.add_argument("inputs", nargs="*", help="HTML files or folders (default: the corpus, %s)" % DEFAULT_CORPUS)
    ap.add_argument("--kestrune", default=None, help="the program (default: build/kestrune of this checkout)")
    ap.add_argument("--task", default="a", help="comma-separated tasks: %s (default a)" % ", ".join(TASKS))
    ap.add_argument("--reps", type=int, default=7, help="timed runs per cell (default 7)")
    ap.add_argument("--warmup", type=int, default=1, help="untimed runs first (default 1)")
    ap.add_argument("--stress", default=None, help="also every stress-*.html in this folder (generated there when missing)")
    ap.add_argument("--min-size", default="0", help="leave out inputs smaller than this (e.g. 1M)")
    ap.add_argument("--timeout", type=float, default=60.0, help="seconds before a run is killed (default 60)")
    ap.add_argument("--json", default=None, help="also write every figure and sample to this file")
    ap.add_argument("--rss-via", choices=("reaper", "direct"), default="reaper",
                    help="how peak RSS is taken (default reaper: a second run started by /bin/sh; "
                         "direct: the timed run itself, floor about 5 MiB)")
    ap.add_argument("--keep", action="store_true", help="keep the scratch folder (input copies, outputs)")
    args = ap.parse_args(argv)

    tasks = [t.strip() for t in args.task.split(",") if t.strip()]
    for t in tasks:
        if t not in TASKS:
            ap.error("unknown task %r (one of %s)" % (t, ", ".join(TASKS)))
    kestrune = args.kestrune or os.path.join(REPO, "build", "kestrune")
    if not (os.path.isfile(kestrune) and os.access(kestrune, os.X_OK)):
        ap.error("no program at %s (build it: cmake --preset release && cmake --build --preset release)"
                 % kestrune)
    kestrune = os.path.abspath(kestrune)
    places = list(args.inputs) or ([DEFAULT_CORPUS] if os.path.isdir(DEFAULT_CORPUS) else [])
    if args.stress and ensure_stress(args.stress):
        places.append(args.stress)
    sources = collect_inputs(places, parse_size(args.min_size))
    if not sources:
        ap.error("no inputs")

    launcher = Launcher(args.timeout, args.rss_via)
    work = tempfile.mkdtemp(prefix="kbench-whole-")
    try:
        indir, outdir = os.path.join(work, "in"), os.path.join(work, "out")
        os.makedirs(indir)
        os.makedirs(outdir)
        inputs = stage_inputs(sources, indir)
        tiny = os.path.join(indir, "kbench-tiny.html")
        with open(tiny, "wb") as f:
            f.write(TINY_PAGE)
        err = os.path.join(work, "stderr.txt")

        def command(task, path, label):
            options, suffix = TASKS[task]
            argv_ = [kestrune, path] + options
            out = os.path.join(outdir, "%s.%s%s" % (label, task, suffix or ".console"))
            if suffix:
                argv_ += ["-o", out]
                return argv_, os.path.join(outdir, "stdout.txt")
            return argv_, out

        floor = measure(launcher, ["/bin/true"], os.devnull, err, max(args.reps, 3), 1, 0)
        floor_kib = statistics.median(floor["rss_kib"])
        baselines = {}
        for task in tasks:
            argv_, so = command(task, tiny, "tiny")
            m = measure(launcher, argv_, so, err, max(args.reps, 3), 1, EXPECTED_EXIT)
            if m["status"] != "ok":
                log("the program fails on the tiny page (%s): %s" % (task, m["status"]))
                return 2
            baselines[task] = {"rss_kib": statistics.median(m["rss_kib"]),
                               "wall_ms": statistics.median(m["wall_ms"])}

        rows = []
        for inp in inputs:
            cat = measure(launcher, ["/bin/cat", inp["path"]], os.devnull, err, args.reps, args.warmup, 0)
            cat_ms = statistics.median(cat["wall_ms"]) if cat["status"] == "ok" else None
            for task in tasks:
                argv_, so = command(task, inp["path"], inp["name"])
                m = measure(launcher, argv_, so, err, args.reps, args.warmup, EXPECTED_EXIT, REFUSED_EXIT)
                row = {"input": inp["name"], "source": inp["src"], "bytes": inp["bytes"], "task": task,
                       "status": m["status"], "runs": len(m["wall_ms"]),
                       "wall_ms": m["wall_ms"], "rss_kib": m["rss_kib"], "cpu_s": m["cpu_s"],
                       "cat_wall_ms": cat["wall_ms"], "cat_median_ms": cat_ms}
                if m["status"] == "ok":
                    wall = statistics.median(m["wall_ms"])
                    rss = statistics.median(m["rss_kib"])
                    above = max(0.0, rss - baselines[task]["rss_kib"])
                    row.update({"median_wall_ms": wall, "median_rss_kib": rss,
                                "median_cpu_ms": statistics.median(m["cpu_s"]) * 1000.0,
                                "above_baseline_kib": above,
                                "above_per_input_byte": above * 1024.0 / inp["bytes"] if inp["bytes"] else None,
                                "ratio_to_cat": wall / cat_ms if cat_ms else None})
                rows.append(row)
                for leftover in (so, argv_[-1]):
                    if leftover.startswith(outdir) and os.path.exists(leftover):
                        os.unlink(leftover)
                log("%-44s %-14s %s" % (inp["name"][:44], task,
                                         "%s ms, %.1f MiB" % (fmt_ms(row["median_wall_ms"]), row["median_rss_kib"] / 1024.0)
                                         if m["status"] == "ok" else m["status"]))

        print("# Kestrune whole runs\n")
        print("- program: %s, commit %s" % (kestrune, commit_line(kestrune)))
        print("- machine: %s" % machine_line())
        print("- %d timed runs after %d warm-up; medians. Floor (/bin/true through the launcher): %.1f MiB"
              % (args.reps, args.warmup, floor_kib / 1024.0))
        for task in tasks:
            opts, suffix = TASKS[task]
            b = baselines[task]
            print("\n## Task %s: kestrune FILE %s%s\n" % (task, " ".join(opts), " -o OUT" + suffix if suffix else ""))
            print("Baseline (tiny page): %.1f MiB peak RSS, %s ms.\n" % (b["rss_kib"] / 1024.0, fmt_ms(b["wall_ms"])))
            head = ["input", "size", "wall ms", "cpu ms", "peak RSS MiB", "above base MiB", "above/size",
                    "cat ms", "x cat"]
            table = []
            for r in (r for r in rows if r["task"] == task):
                if r["status"] != "ok":
                    table.append([r["input"], fmt_size(r["bytes"]), r["status"], "", "", "", "",
                                  fmt_ms(r["cat_median_ms"]), ""])
                    continue
                table.append([r["input"], fmt_size(r["bytes"]), fmt_ms(r["median_wall_ms"]),
                              fmt_ms(r["median_cpu_ms"]), "%.1f" % (r["median_rss_kib"] / 1024.0),
                              "%.1f" % (r["above_baseline_kib"] / 1024.0),
                              "%.2f" % r["above_per_input_byte"] if r["above_per_input_byte"] is not None else "-",
                              fmt_ms(r["cat_median_ms"]),
                              "%.3g" % r["ratio_to_cat"] if r["ratio_to_cat"] else "-"])
            widths = [max(len(str(x)) for x in col) for col in zip(head, *table)]
            line = lambda cells: "| " + " | ".join(
                str(c).ljust(w) if i == 0 else str(c).rjust(w) for i, (c, w) in enumerate(zip(cells, widths))) + " |"
            print(line(head))
            print("|" + "|".join("-" * (w + 1) + (":" if i else "-") for i, w in enumerate(widths)) + "|")
            for cells in table:
                print(line(cells))

        if args.json:
            doc = {"date": datetime.datetime.now().strftime("%Y-%m-%dT%H:%M:%S"),
                   "machine": machine_line(), "kestrune": kestrune, "commit": commit_line(kestrune),
                   "reps": args.reps,
                   "warmup": args.warmup, "floor_rss_kib": floor_kib,
                   "baselines": baselines, "tasks": tasks, "rows": rows}
            with open(args.json, "w") as f:
                json.dump(doc, f, indent=1)
            log("figures in %s" % args.json)
    finally:
        if args.keep:
            log("scratch kept: %s" % work)
        else:
            shutil.rmtree(work, ignore_errors=True)
    return 0


if __name__ == "__main__":
    sys.exit(main())
