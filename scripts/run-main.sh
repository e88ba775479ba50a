#!/usr/bin/env bash
# Builds the producer and runs the probe consumer against it: it loads Quarvo.cti like any GenTL
# consumer and prints what the producer and the simulated rig report.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
cmake -S . -B build
cmake --build build -j2 --target Quarvo Quibbon quarvo_probe
./build/bin/quarvo_probe ./build/bin/Quarvo.cti
