#!/usr/bin/env bash
# Builds the fuzz targets with clang and runs each for a while on its committed seed corpus:
#   scripts/fuzz.sh [seconds per target]   (default 10; the test command uses the default)
# New inputs go to a scratch copy of the corpus; a crash leaves its input in build/fuzz/crashes.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-10}
CC=clang CXX=clang++ cmake -S . -B build/fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVAQ_FUZZ=ON >/dev/null
cmake --build build/fuzz --target fuzz_all
mkdir -p build/fuzz/crashes
for target in $(ls fuzz/corpus); do
  work=$(mktemp -d /tmp/vaq-fuzz.XXXXXX)
  cp -r "fuzz/corpus/$target/." "$work/"
  echo "fuzzing $target for ${seconds}s"
  if ! "build/fuzz/fuzz/$target" -max_total_time="$seconds" -print_final_stats=0 \
       -artifact_prefix=build/fuzz/crashes/"$target"- "$work" 2>build/fuzz/"$target".log; then
    tail -30 build/fuzz/"$target".log
    rm -rf "$work"
    exit 1
  fi
  grep -E '^#[0-9]+.*DONE' build/fuzz/"$target".log | tail -1 || true
  rm -rf "$work"
done
