#!/usr/bin/env bash
# Soak run, not part of the test command: hours of a consumer's open, acquire and close cycles
# compressed into minutes, on a plain build. Prints the resident memory at the start (after a
# warm-up) and at the end and fails when it grew by more than the allowance.
#
# Usage: scripts/soak.sh [seconds] [allowed growth in KiB]   (defaults: 180, 1024)
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
cmake -S . -B build-soak -DQUARVO_BUILD_BENCHMARKS=OFF
cmake --build build-soak -j2 --target quarvo_soak
./build-soak/bin/quarvo_soak "${1:-180}" "${2:-1024}"
