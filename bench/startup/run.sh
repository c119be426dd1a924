#!/usr/bin/env bash
# Time from process start to the first painted frame of the main window, side by
# side with a minimal Qt window program built the same way, on a private display.
#   bench/startup/run.sh [RUNS]      (default 15)
# Prints each run, the medians and the ratio program / minimal window (target <= 1.5).
set -euo pipefail
cd "$(dirname "$0")/../.."
runs=${1:-15}

bash scripts/install-deps.sh --test
cmake -S . -B build/bench -DCMAKE_BUILD_TYPE=Release -DTOVARO_BUILD_TESTS=OFF -DTOVARO_BUILD_BENCH=ON >/dev/null
cmake --build build/bench -j"$(nproc)" --target tovaro bench_minimal_window first_paint_probe >/dev/null

# Start-up creates its folders beside the program and under TMPDIR: keep both private.
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
cp build/bench/TovaroPRO/tovaro "$scratch/tovaro"
export TMPDIR="$scratch"

tests/with-display.sh build/bench/bench/startup/first_paint_probe "$runs" \
  build/bench/bench/startup/bench_minimal_window "$scratch/tovaro"
