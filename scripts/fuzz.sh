#!/usr/bin/env bash
# Builds the fuzz targets (Clang: libFuzzer, AddressSanitizer, UndefinedBehaviorSanitizer) and runs
# them one after the other within one bounded time, each starting from its committed seed corpus:
# a third of the time for quarvo_fuzz (every exported function), a sixth each for quarvo_fuzz_rig
# (rig files), quarvo_fuzz_image (image files), quarvo_fuzz_video (video files) and
# quarvo_fuzz_sfnc (the SFNC camera's registers). A crash, a sanitizer report, a leak, a hang (one
# input running over 30 s), an allocation over the target's limit or a target's own check (an
# object left after GCCloseLib, a rig that does not open as listed, a rewound video whose frames
# differ) fails the run; the input that did it is
# kept in build-fuzz/artifacts/<target>/ and can be replayed with
#   build-fuzz/bin/<target> build-fuzz/artifacts/<target>/<file>
# (QUARVO_FUZZ_TRACE=1 makes quarvo_fuzz print the calls it makes).
#
# Usage: scripts/fuzz.sh [seconds]   (default 120, at least 5)
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-120}
dir=build-fuzz
if [ "$seconds" -lt 5 ]; then
  echo "fuzz.sh: give at least 5 seconds, one for each target" >&2
  exit 2
fi

CC=clang CXX=clang++ cmake -S . -B "$dir" -DQUARVO_FUZZ=ON -DQUARVO_BUILD_TESTS=OFF -DQUARVO_BUILD_BENCHMARKS=OFF
cmake --build "$dir" -j2 --target quarvo_fuzz quarvo_fuzz_rig quarvo_fuzz_image quarvo_fuzz_video \
  quarvo_fuzz_sfnc

# The corpus grown in this run starts from the seeds but is not kept: each run starts afresh.
corpus=$(mktemp -d)
trap 'rm -rf "$corpus"' EXIT
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
failed=()

# run TARGET SECONDS SEEDS [libFuzzer options...]
run() {
  local target=$1 time=$2 seeds=$3
  shift 3
  local log="$dir/fuzz-$target.log" artifacts="$dir/artifacts/$target"
  mkdir -p "$corpus/$target" "$artifacts"
  echo "=== $target for ${time} s (progress in $log) ==="
  if ! "$dir/bin/$target" -max_total_time="$time" -timeout=30 -print_final_stats=1 -artifact_prefix="$artifacts/" \
    "$@" "$corpus/$target" "$seeds" >"$log" 2>&1; then
    tail -n 200 "$log"
    echo "Fuzzing $target found a fault; the input is in $artifacts/." >&2
    failed+=("$target")
    return
  fi
  grep -E '^#[0-9]+[[:space:]]+(INITED|DONE)' "$log" || true
  grep -E '^stat::' "$log" || true
}

# Rig files, images and the fuzzed videos are small: an allocation of 256 MiB is already a fault
# there.
files=$((seconds >= 6 ? seconds / 6 : 1))
run quarvo_fuzz $((seconds - 4 * files)) fuzz/corpus -rss_limit_mb=4096
run quarvo_fuzz_rig "$files" fuzz/corpus-rig -dict=fuzz/rig.dict -rss_limit_mb=2048 -malloc_limit_mb=256
run quarvo_fuzz_image "$files" fuzz/corpus-image -dict=fuzz/png.dict -rss_limit_mb=2048 -malloc_limit_mb=256
run quarvo_fuzz_video "$files" fuzz/corpus-video -dict=fuzz/video.dict -rss_limit_mb=2048 -malloc_limit_mb=256
run quarvo_fuzz_sfnc "$files" fuzz/corpus-sfnc -rss_limit_mb=2048 -malloc_limit_mb=256

if [ ${#failed[@]} -gt 0 ]; then
  echo "Fuzzing found faults in: ${failed[*]}" >&2
  exit 1
fi
echo "Fuzzing found nothing."
