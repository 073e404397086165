#!/bin/sh
# make fuzz: runs every fuzz target of the preset "fuzz" for SECONDS each,
# from a copy of its committed seed corpus, with allocations bounded: an
# input that claims gigabytes must be refused, not allocated. Prints each
# target's executions and time; fails on the first crash, leak, undefined
# behaviour or oversized allocation (the input is kept in WORK).
# Usage: fuzz.sh FUZZ_BUILD SECONDS
set -eu
build=$(cd "$1" && pwd)
seconds=${2:-60}
root=$(cd "$(dirname "$0")/.." && pwd)
work="$build/runs"
rm -rf "$work"
mkdir -p "$work"
printf '%-12s %12s %8s %10s\n' target executions seconds "exec/s"
for seeds in "$root"/tests/fuzz/corpus/*/; do
    name=$(basename "$seeds")
    corpus="$work/$name/corpus"
    mkdir -p "$corpus" "$work/$name/artifacts"
    start=$(date +%s)
    if ! "$build/bin/fuzz-$name" -max_total_time="$seconds" -malloc_limit_mb=256 -rss_limit_mb=2048 \
            -timeout=10 -print_final_stats=1 -artifact_prefix="$work/$name/artifacts/" \
            "$corpus" "$seeds" > "$work/$name/log.txt" 2>&1; then
        echo "fuzz-$name failed; its input is in $work/$name/artifacts/:"
        tail -40 "$work/$name/log.txt"
        exit 1
    fi
    runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$work/$name/log.txt")
    elapsed=$(( $(date +%s) - start ))
    printf '%-12s %12s %8s %10s\n' "$name" "$runs" "$elapsed" "$(( runs / (elapsed > 0 ? elapsed : 1) ))"
done
