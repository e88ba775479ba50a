#!/usr/bin/env bash
# Builds the producer and its tests three times (plain, AddressSanitizer with
# UndefinedBehaviorSanitizer, ThreadSanitizer) and runs the whole suite in each build, then runs the
# fuzz targets for a bounded total time (QUARVO_FUZZ_SECONDS, default 120; 0 skips them).
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh

jobs=2
run_suite() {
  local dir=$1 sanitizer=$2
  echo "=== ${dir} (sanitizer: ${sanitizer:-none}) ==="
  cmake -S . -B "$dir" -DQUARVO_SANITIZER="$sanitizer" -DQUARVO_BUILD_BENCHMARKS=OFF
  cmake --build "$dir" -j"$jobs"
  ctest --test-dir "$dir" -j"$jobs" --output-on-failure --timeout 300
}

export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
export TSAN_OPTIONS=halt_on_error=1:second_deadlock_stack=1
run_suite build ""
run_suite build-asan address
run_suite build-tsan thread
echo "All test builds passed."
fuzz_seconds=${QUARVO_FUZZ_SECONDS:-120}
if [ "$fuzz_seconds" -gt 0 ]; then
  bash scripts/fuzz.sh "$fuzz_seconds"
fi
