#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Builds the fuzz preset and runs every libFuzzer target (or the ones named) for a
# bounded time each, then prints per target the executions, the executions per second
# and whether anything was found. Exits non-zero when any target found something
# (crash, failed check, leak, timeout, memory limit) or did not run.
#
#   tests/fuzz/run.sh [SECONDS] [TARGET...]     SECONDS per target, default 60
#
# Inputs of each target, in order: its working corpus build-fuzz/fuzz/corpus/<target>
# (created; libFuzzer adds what it finds there and it is kept between runs), the
# committed seeds and regressions, and for the HTML targets the shared page corpus
# ../shared/corpus/real next to the repository when it is there (read only).
# Findings go to build-fuzz/fuzz/findings/<target>/, full logs to build-fuzz/fuzz/logs/.
set -uo pipefail
export LC_ALL=C
cd "$(dirname "$0")/../.."

seconds=${1:-60}
shift $(($# > 0 ? 1 : 0))
targets=("$@")
[ ${#targets[@]} -gt 0 ] || targets=(fuzzHtml fuzzReport fuzzExtract fuzzJson fuzzSelect)
if ! [[ $seconds =~ ^[0-9]+$ ]] || [ "$seconds" -eq 0 ]; then
    echo "usage: tests/fuzz/run.sh [SECONDS] [TARGET...]" >&2
    exit 2
fi

cmake --preset fuzz >/dev/null || exit 1
cmake --build --preset fuzz --target "${targets[@]}" || exit 1

build=build-fuzz
shared=../shared/corpus/real
status=0
passed=0
failed=0
for target in "${targets[@]}"; do
    case $target in
        # Every element of a page is checked: long inputs cost more than they teach.
        fuzzHtml) dict=html.dict max_len=16384 pages=1 ;;
        fuzzReport) dict=html.dict max_len=65536 pages=1 ;;
        fuzzExtract) dict=html.dict max_len=65536 pages=1 ;;
        fuzzJson) dict=json.dict max_len=65536 pages=0 ;;
        # The reference matcher it compares with is slow on large pages.
        fuzzSelect) dict=select.dict max_len=4096 pages=0 ;;
        *) echo "unknown target: $target" >&2; exit 2 ;;
    esac
    corpus=$build/fuzz/corpus/$target
    findings=$build/fuzz/findings/$target
    log=$build/fuzz/logs/$target.log
    mkdir -p "$corpus" "$findings" "$(dirname "$log")"
    inputs=("$corpus" "tests/fuzz/seeds/$target")
    [ -d "tests/fuzz/regressions/$target" ] && inputs+=("tests/fuzz/regressions/$target")
    [ "$pages" = 1 ] && [ -d "$shared" ] && inputs+=("$shared")
    before=$(ls -1 "$findings")

    "$build/tests/fuzz/$target" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 \
        -max_len="$max_len" -dict="tests/fuzz/$dict" -artifact_prefix="$findings/" \
        -print_final_stats=1 "${inputs[@]}" >"$log" 2>&1
    code=$?

    runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log")
    rate=$(sed -n 's/^stat::average_exec_per_sec: *//p' "$log")
    new=$(comm -13 <(echo "$before") <(ls -1 "$findings"))
    if [ "$code" -eq 0 ] && [ -z "$new" ] && [ -n "$runs" ]; then
        printf '%-10s %10s runs %6s exec/s  nothing found\n' "$target" "$runs" "$rate"
        passed=$((passed + 1))
    else
        printf '%-10s %10s runs %6s exec/s  FOUND (exit %s); log: %s\n' \
            "$target" "${runs:-?}" "${rate:-?}" "$code" "$log"
        for f in $new; do echo "  saved: $findings/$f"; done
        # The report with its stack, as libFuzzer wrote it.
        grep -v -E '^#[0-9]+ +(NEW|REDUCE|pulse)|^INFO:' "$log" | tail -n 60
        failed=$((failed + 1))
        status=1
    fi
done
echo "fuzz: $passed passed, $failed failed"
exit $status
