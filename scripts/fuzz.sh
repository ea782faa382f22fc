#!/usr/bin/env bash
# Builds the fuzz targets with clang, replays each target's seed corpus and then
# fuzzes each one for SECONDS (default 20). A crash, hang or sanitizer report
# fails it; the input that caused it is kept under build/fuzz/artifacts.
#   scripts/fuzz.sh [SECONDS]
set -euo pipefail
VIEWER_ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
seconds="${1:-20}"
dir="$VIEWER_ROOT/build/fuzz"

CC=clang CXX=clang++ cmake -S "$VIEWER_ROOT/fuzz" -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
if ! cmake --build "$dir" -j2 >"$dir/build.log" 2>&1; then
    echo "fuzz: the fuzz targets do not build; see $dir/build.log"
    grep -E "error" "$dir/build.log" | head -5
    exit 1
fi

mkdir -p "$dir/artifacts"
export ASAN_OPTIONS="detect_leaks=1:abort_on_error=1"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
status=0
for corpus in "$VIEWER_ROOT"/fuzz/corpus/*/; do
    target="$(basename "$corpus")"
    binary="$dir/fuzz_$target"
    if ! "$binary" -runs=0 "$corpus" >"$dir/$target.replay.log" 2>&1; then
        echo "fuzz $target: the seed corpus fails; see $dir/$target.replay.log"
        status=1
        continue
    fi
    work="$(mktemp -d)"
    cp "$corpus"* "$work"/ 2>/dev/null || true
    if "$binary" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -print_final_stats=1 \
        -artifact_prefix="$dir/artifacts/$target-" "$work" >"$dir/$target.log" 2>&1; then
        runs="$(sed -n 's/^Done \([0-9]*\) runs.*/\1/p' "$dir/$target.log" | tail -1)"
        echo "fuzz $target: ${runs:-?} executions in ${seconds} s, no findings"
    else
        echo "fuzz $target: FAILED; see $dir/$target.log and $dir/artifacts"
        grep -E "ERROR|SUMMARY" "$dir/$target.log" | head -5 || true
        status=1
    fi
    rm -rf "$work"
done
exit $status
