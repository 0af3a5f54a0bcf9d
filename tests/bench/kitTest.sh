#!/bin/sh
# SPDX-License-Identifier: MIT
# The benchmark kit's scripts in their cheap modes: the corpus collector on a small tree
# of pages (unique names, a true count), the comparison's and the instruction count's dry
# runs, the whole-run table of a page the program refuses, and the library table of a run
# that was cut short.
# Usage: kitTest.sh SOURCE_DIR KESTRUNE PYTHON
set -eu
source_dir=$1 kestrune=$2 python=$3
bench=$source_dir/bench
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() {
    echo "FAIL: $*" >&2
    exit 1
}

# Pages of one name in folders of one name, and a/b-c against a-b/c.
for path in one/html/index.html two/html/index.html x-y/z.html x/y-z.html deep/a/b/c.htm; do
    mkdir -p "$work/tree/pkg/$(dirname "$path")"
    echo "<p>$path</p>" >"$work/tree/pkg/$path"
done
mkdir -p "$work/tree/other" && echo '<a href="/">x</a>' >"$work/tree/other/index.html"
KBENCH_PAGES_PER_PACKAGE=9 bash "$bench/collectCorpus.sh" --tree "$work/tree" "$work/corpus" \
    2>"$work/collect.log"
written=$(find "$work/corpus" -name '*.htm*' | wc -l)
[ "$written" -eq 6 ] || fail "collectCorpus.sh wrote $written pages of 6"
grep -q "^corpus: 6 pages" "$work/collect.log" || fail "collectCorpus.sh counts: $(tail -n 1 "$work/collect.log")"
[ "$(grep -vc '^#' "$work/corpus/MANIFEST.txt")" -eq 6 ] || fail "MANIFEST.txt lists another number of pages"

# The dry run lists the program's commands for both tasks and the pages, and runs nothing.
"$python" "$bench/compare.py" --dry-run --no-stress --kestrune "$kestrune" --out "$work/out" \
    "$work/corpus" >"$work/dry.txt"
grep -q "^pages (6):" "$work/dry.txt" || fail "the dry run lists no 6 pages"
grep -q "kestrune  *p  .* PAGE -tag p -o OUT" "$work/dry.txt" || fail "the dry run has no task p"
grep -q "kestrune  *a  .* PAGE -tag a -attr href -o OUT" "$work/dry.txt" || fail "the dry run has no task a"
[ ! -e "$work/out" ] || fail "the dry run wrote results"

# The instruction count's dry run: one and three calls per build and page, the first
# build first.
"$python" "$bench/instructions.py" --dry-run "$work/base" "$work/new" -- "$work/corpus" \
    >"$work/instructions.txt"
[ "$(grep -c -- "--calls [13] kestrune $work/corpus/" "$work/instructions.txt")" -eq 24 ] ||
    fail "instructions.py: $(cat "$work/instructions.txt")"
head -n 1 "$work/instructions.txt" | grep -q "$work/base/bench/kestrune_peer_run --calls 1" ||
    fail "instructions.py does not start with the base build"

# A page of 11 MiB is refused, never a time.
"$python" -c "import sys; open(sys.argv[1], 'wb').write(b'<a href=x>y</a>' * 800000)" "$work/large.html"
"$python" "$bench/wholeRun.py" --kestrune "$kestrune" --reps 1 "$work/large.html" >"$work/whole.md" \
    2>"$work/whole.log"
grep -q "^| large.html *| *11.4 MiB | *refused |" "$work/whole.md" || fail "wholeRun.py: $(cat "$work/whole.md")"

# A run killed during a benchmark: the finished ones, the refused page, what is missing.
"$python" "$bench/libraryTable.py" "$source_dir/tests/bench/data/cutLibraryRun.json" >"$work/table.md"
grep -q "^| big | 11.0 MiB | refused | 5.0 | — |" "$work/table.md" || fail "libraryTable.py: refused page"
grep -q "^| git-asciidoc-git-am | 32 KiB | 818 | 33.1 | 24.7× |" "$work/table.md" || fail "libraryTable.py: rates"
grep -q "cut short: 11 planned benchmarks are missing: gumbo/big, .*, threads/kestrune:4$" "$work/table.md" ||
    fail "libraryTable.py names no missing benchmarks"
grep -q "commit 0123abc; AMD EPYC, 2 cores" "$work/table.md" || fail "libraryTable.py names no commit and machine"
echo "the benchmark kit's scripts run"
