#!/usr/bin/env bash
# Builds the fuzz targets with clang, replays each target's corpus (its seed files
# and every input that once found a fault) and then fuzzes each target.
#   scripts/fuzz.sh SECONDS    open-ended: a random seed for SECONDS per target
#   scripts/fuzz.sh --runs N   repeatable: a fixed seed and N executions per target,
#                              in a fixed environment, as ./test runs it
# A crash, hang or sanitizer report fails it; the input that caused it is kept
# under build/fuzz/artifacts. Add such an input to fuzz/corpus/TARGET/ with its fix.
set -euo pipefail
VIEWER_ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
dir="$VIEWER_ROOT/build/fuzz"

mode=seconds
amount="${1:-20}"
if [ "${1:-}" = "--runs" ]; then
    mode=runs
    amount="${2:?scripts/fuzz.sh --runs N}"
fi

CC=clang CXX=clang++ cmake -S "$VIEWER_ROOT/fuzz" -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
if ! cmake --build "$dir" -j2 >"$dir/build.log" 2>&1; then
    echo "fuzz: the fuzz targets do not build; see $dir/build.log"
    grep -E "error" "$dir/build.log" | head -5
    exit 1
fi

mkdir -p "$dir/artifacts"
export ASAN_OPTIONS="detect_leaks=1:abort_on_error=1"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"

run=()
if [ "$mode" = runs ]; then
    # Everything that could make two runs of one commit differ is pinned: the seed
    # and the number of executions, no re-reading of the corpus folder on a clock,
    # the address layout (comparison tracing hashes
    # addresses), Qt's hash seed, the locale and the time zone. The time-out is far
    # above any input's cost, so that a loaded machine cannot turn into a finding.
    # The environment and the arguments are the same on every run too: they lie on
    # the stack, and the fuzzer counts stack depth as coverage.
    run=(env -i PATH=/usr/bin:/bin QT_HASH_SEED=0 LC_ALL=C.UTF-8 LANG=C.UTF-8 TZ=UTC
         ASAN_OPTIONS="$ASAN_OPTIONS" UBSAN_OPTIONS="$UBSAN_OPTIONS" setarch "$(uname -m)" -R)
    fuzz_options=(-seed=1 -runs="$amount" -timeout=300 -reload=0)
else
    fuzz_options=(-max_total_time="$amount" -timeout=10)
fi

status=0
cd "$dir"
for corpus in "$VIEWER_ROOT"/fuzz/corpus/*/; do
    target="$(basename "$corpus")"
    binary="./fuzz_$target"
    if ! "${run[@]}" "$binary" -runs=0 "$corpus" >"$target.replay.log" 2>&1; then
        echo "fuzz $target: the corpus fails; see $dir/$target.replay.log"
        grep -E "ERROR|SUMMARY|Test unit written" "$target.replay.log" | head -5 || true
        status=1
        continue
    fi
    # A working copy under a fixed relative name: what the fuzzer adds never
    # reaches the committed corpus.
    rm -rf "work-$target"
    mkdir "work-$target"
    cp "$corpus"* "work-$target"/ 2>/dev/null || true
    if "${run[@]}" "$binary" "${fuzz_options[@]}" -rss_limit_mb=2048 -print_final_stats=1 \
        -artifact_prefix="artifacts/$target-" "work-$target" >"$target.log" 2>&1; then
        runs="$(sed -n 's/^Done \([0-9]*\) runs.*/\1/p' "$target.log" | tail -1)"
        coverage="$(grep -E '^#[0-9]+[[:space:]]+DONE' "$target.log" | tail -1 | grep -oE 'cov: [0-9]+ ft: [0-9]+' || true)"
        echo "fuzz $target: ${runs:-?} executions, ${coverage:-no coverage figures}, no findings"
    else
        echo "fuzz $target: FAILED; see $dir/$target.log and $dir/artifacts"
        grep -E "ERROR|SUMMARY" "$target.log" | head -5 || true
        status=1
    fi
    rm -rf "work-$target"
done
exit $status
