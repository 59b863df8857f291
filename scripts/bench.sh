#!/usr/bin/env bash
# Builds the host benchmarks with -O2 and without sanitizers and runs them; ratios at the end.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
cmake -S . -B build/bench -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVAQ_SANITIZE=OFF >/dev/null
cmake --build build/bench --target presentation_bench
build/bench/bench/presentation_bench --benchmark_repetitions=7 --benchmark_report_aggregates_only=true "$@"
