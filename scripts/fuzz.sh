#!/usr/bin/env bash
# Replays each fuzz target's corpus (its seed files and every input that once found
# a fault) and then fuzzes each target, as many at once as the machine has cores.
# The targets are built in the sanitizer build (build/sanitize, clang), which
# ./test's second stage has built already; run on its own, this builds them there.
#   scripts/fuzz.sh SECONDS    open-ended: a random seed for SECONDS per target
#   scripts/fuzz.sh --runs     repeatable: a fixed seed and the number of executions
#                              that fuzz/runs.txt gives each target (VIEWER_FUZZ_RUNS,
#                              when set, for every target), in a fixed environment,
#                              as ./test runs it
#   scripts/fuzz.sh --plateau  the --runs run at twice each target's count, printing
#                              its coverage at the count and at twice it: a count
#                              is chosen where the coverage has stopped growing
# A crash, hang or sanitizer report fails it; the input that caused it is kept
# under build/sanitize/fuzz/artifacts. Add such an input to fuzz/corpus/TARGET/
# with its fix.
set -euo pipefail
VIEWER_ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
. "$VIEWER_ROOT/scripts/deps.sh"

mode=seconds
amount="${1:-20}"
factor=1
case "${1:-}" in
--runs) mode=runs ;;
--plateau) mode=runs factor=2 ;;
esac

targets=()
for corpus in "$VIEWER_ROOT"/fuzz/corpus/*/; do
    targets+=("$(basename "$corpus")")
done
# The longest runs start first, as fuzz/runs.txt lists them, so that the cores
# finish close together.
order=($(awk '!/^#/ && NF { print $1 }' "$VIEWER_ROOT/fuzz/runs.txt") "${targets[@]}")

viewer_sanitize_configure || exit 1
dir="$VIEWER_SANITIZE_DIR/fuzz"
if ! cmake --build "$VIEWER_SANITIZE_DIR" -j2 --target "${targets[@]/#/fuzz_}" >"$dir/build.log" 2>&1; then
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
    # the address layout (comparison tracing hashes addresses), Qt's hash seed, the
    # locale and the time zone. The time-out is far above any input's cost, so that
    # a loaded machine cannot turn into a finding. The environment and the
    # arguments are the same on every run too: they lie on the stack, and the
    # fuzzer counts stack depth as coverage. Targets running side by side share
    # nothing, so running them at once changes no figure.
    run=(env -i PATH=/usr/bin:/bin QT_HASH_SEED=0 LC_ALL=C.UTF-8 LANG=C.UTF-8 TZ=UTC
         ASAN_OPTIONS="$ASAN_OPTIONS" UBSAN_OPTIONS="$UBSAN_OPTIONS" setarch "$(uname -m)" -R)
fi

# The executions of one target under --runs: its line in fuzz/runs.txt.
runs_of() {
    if [ -n "${VIEWER_FUZZ_RUNS:-}" ]; then
        echo "$VIEWER_FUZZ_RUNS"
        return
    fi
    local count
    count="$(awk -v t="$1" '$1 == t { print $2 }' "$VIEWER_ROOT/fuzz/runs.txt")"
    if [ -z "$count" ]; then
        echo "fuzz/runs.txt gives no run count for $1" >&2
        return 1
    fi
    echo "$count"
}

# Replays and fuzzes one target; its one-line result goes to TARGET.result.
fuzz_target() {
    local target="$1" corpus="$VIEWER_ROOT/fuzz/corpus/$1/" binary="./fuzz_$1"
    local options
    if [ "$mode" = runs ]; then
        local count
        count="$(runs_of "$target")" || return 1
        options=(-seed=1 -runs="$((count * factor))" -timeout=300 -reload=0)
    else
        options=(-max_total_time="$amount" -timeout=10)
    fi
    if ! "${run[@]}" "$binary" -runs=0 "$corpus" >"$target.replay.log" 2>&1; then
        {
            echo "fuzz $target: the corpus fails; see $dir/$target.replay.log"
            grep -E "ERROR|SUMMARY|Test unit written" "$target.replay.log" | head -5 || true
        } >"$target.result"
        return 1
    fi
    # A working copy under a fixed relative name: what the fuzzer adds never
    # reaches the committed corpus.
    rm -rf "work-$target"
    mkdir "work-$target"
    cp "$corpus"* "work-$target"/ 2>/dev/null || true
    local status=0
    if "${run[@]}" "$binary" "${options[@]}" -rss_limit_mb=2048 -print_final_stats=1 \
        -artifact_prefix="artifacts/$target-" "work-$target" >"$target.log" 2>&1; then
        local executions coverage
        executions="$(sed -n 's/^Done \([0-9]*\) runs.*/\1/p' "$target.log" | tail -1)"
        coverage="$(grep -E '^#[0-9]+[[:space:]]+DONE' "$target.log" | tail -1 | grep -oE 'cov: [0-9]+ ft: [0-9]+' || true)"
        echo "fuzz $target: ${executions:-?} executions, ${coverage:-no coverage figures}, no findings" >"$target.result"
        if [ "$factor" != 1 ]; then
            # With a fixed seed a longer run passes through the shorter one: the
            # last figures printed at or before the count are the count's own.
            local half
            half="$(awk -v n="$count" '/^#[0-9]+/ { if (substr($1, 2) + 0 > n) exit; line = $0 }
                END { match(line, /cov: [0-9]+ ft: [0-9]+/); print substr(line, RSTART, RLENGTH) }' "$target.log")"
            echo "fuzz $target: at $count executions ${half:-no coverage figures}" >>"$target.result"
        fi
    else
        {
            echo "fuzz $target: FAILED; see $dir/$target.log and $dir/artifacts"
            grep -E "ERROR|SUMMARY" "$target.log" | head -5 || true
        } >"$target.result"
        status=1
    fi
    rm -rf "work-$target"
    return $status
}

cd "$dir"
rm -f ./*.result
jobs="$(nproc)"
pids=()
started=" "
for target in "${order[@]}"; do
    [ -d "$VIEWER_ROOT/fuzz/corpus/$target" ] || continue
    case "$started" in *" $target "*) continue ;; esac
    started+="$target "
    while [ "$(jobs -rp | wc -l)" -ge "$jobs" ]; do
        wait -n || true
    done
    fuzz_target "$target" &
    pids+=($!)
done
status=0
for pid in "${pids[@]}"; do
    wait "$pid" || status=1
done
# In the targets' order, whichever finished first.
for target in "${targets[@]}"; do
    cat "$target.result" 2>/dev/null || { echo "fuzz $target: no result"; status=1; }
done
exit $status
