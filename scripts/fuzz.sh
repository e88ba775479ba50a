#!/usr/bin/env bash
# Builds the fuzz target (Clang: libFuzzer, AddressSanitizer, UndefinedBehaviorSanitizer) and runs
# it for a bounded time, starting from the committed seed corpus. A crash, a sanitizer report, a
# leak, a hang (one input running over 30 s) or an object left after GCCloseLib fails the run;
# the input that did it is kept in build-fuzz/artifacts/ and can be replayed with
#   QUARVO_FUZZ_TRACE=1 build-fuzz/bin/quarvo_fuzz build-fuzz/artifacts/<file>
#
# Usage: scripts/fuzz.sh [seconds]   (default 120)
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-120}
dir=build-fuzz

CC=clang CXX=clang++ cmake -S . -B "$dir" -DQUARVO_FUZZ=ON -DQUARVO_BUILD_TESTS=OFF -DQUARVO_BUILD_BENCHMARKS=OFF
cmake --build "$dir" -j2 --target quarvo_fuzz

# The corpus grown in this run starts from the seeds but is not kept: each run starts afresh.
corpus=$(mktemp -d)
trap 'rm -rf "$corpus"' EXIT
mkdir -p "$dir/artifacts"
echo "=== fuzzing for ${seconds} s (progress in $dir/fuzz.log) ==="
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
if ! "$dir/bin/quarvo_fuzz" -max_total_time="$seconds" -timeout=30 -rss_limit_mb=4096 -print_final_stats=1 \
  -artifact_prefix="$dir/artifacts/" "$corpus" fuzz/corpus >"$dir/fuzz.log" 2>&1; then
  tail -n 200 "$dir/fuzz.log"
  echo "Fuzzing found a fault; the input is in $dir/artifacts/." >&2
  exit 1
fi
grep -E '^#[0-9]+[[:space:]]+(INITED|DONE)' "$dir/fuzz.log" || true
grep -E '^stat::' "$dir/fuzz.log" || true
echo "Fuzzing found nothing."
