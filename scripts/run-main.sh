#!/usr/bin/env bash
# The main job: builds the producer, the simulated frame grabber and the quarvo tool, then grabs
# frames from the default simulated camera (the first device of the first interface) into a
# folder of PNG files and prints the summary. Usage: run-main.sh [FOLDER] [FRAMES]
# (default: frames/ in the repository, 10 frames).
set -euo pipefail
cd "$(dirname "$0")/.."
out=${1:-frames}
count=${2:-10}
bash scripts/install-deps.sh
cmake -S . -B build -DQUARVO_BUILD_BENCHMARKS=OFF >/dev/null
cmake --build build -j2 --target quarvo
./build/bin/quarvo --cti ./build/bin/Quarvo.cti grab -n "$count" --format png --out "$out"
