#!/usr/bin/env bash
# Every test: installs what is missing, builds the host build and both Windows flavours, runs the
# host suite natively and each flavour's Windows suite and release roads under Wine in every kind
# of prefix this host can run (scripts/flavours.sh). Where 32-bit code runs only through qemu,
# the whole run goes through scripts/i386-route.sh. What the host cannot run is reported as
# skipped, with the reason, and counted on the closing line; the time of each part is printed
# before it.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh
source scripts/flavours.sh
through_i386_route "$0" "$@"
results=$PWD/build/test-results
rm -rf "$results" && mkdir -p "$results"
failed=0
# skip <count> <what> <why>: tests that did not run here, for the closing line.
skip() { printf '%s\t%s\t%s\n' "$@" >>"$results/skipped.tsv"; echo "skipped: $1 $2: $3"; }
# check <name> <command...>: a check that is not a ctest program, counted on the closing line.
check() {
  local name=$1
  shift
  if "$@"; then echo "$name passed" >>"$results/checks.txt"; else echo "$name failed" >>"$results/checks.txt"; failed=1; fi
}
# timed <part> <command...>: runs it and notes how long it took.
timed() {
  local part=$1 started=$SECONDS rc=0
  shift
  "$@" || rc=$?
  printf '%s\t%s\n' "$((SECONDS - started))" "$part" >>"$results/times.tsv"
  return $rc
}
tests_in() { ctest --test-dir "$1" -N "${@:2}" | awk '/^Total Tests:/ { print $3 }'; }

echo "32-bit code on this host: $VAQ_HOST_RUNS_32BIT"
timed "host build" cmake -S . -B build/host -G Ninja -DCMAKE_BUILD_TYPE=Debug
timed "host build" cmake --build build/host
timed "host suite" ctest --test-dir build/host --output-on-failure --output-junit "$results/host.xml" || failed=1
timed fuzzers check fuzzers scripts/fuzz.sh 10
check "include layers" scripts/check-layers.sh

# The kit for real Windows builds every flavour; each Windows suite runs its runner under Wine.
timed "Windows kit" check windows_kit scripts/windows-kit.sh
for flavour in "${FLAVOURS[@]}"; do
  dir=$(flavour_build_dir "$flavour")
  timed "$flavour build" build_flavour "$flavour"
  read -ra prefixes <<<"$(flavour_prefixes "$flavour")"
  if [ ${#prefixes[@]} -eq 0 ]; then
    # The PE checks read the file and need no Wine.
    ctest --test-dir "$dir" --output-on-failure -R '^pe_' --output-junit "$results/$flavour-pe.xml" || failed=1
  fi
  for arch in win32 win64; do
    why=$(flavour_cannot_run "$flavour" "$arch")
    [ -n "$why" ] || continue
    if [ ${#prefixes[@]} -eq 0 ]; then count=$(tests_in "$dir" -E '^pe_'); else count=$(tests_in "$dir"); fi
    skip "$count" "$flavour test programs in a $arch prefix" "$why"
    skip 1 "$flavour signed-release roads in a $arch prefix" "$why"
  done
  # The Windows tests talk to the development service, which runs beside them on its own port.
  for arch in "${prefixes[@]}"; do
    junit=$results/$flavour-$arch.xml
    if ! timed "$flavour Windows suite, $arch prefix" env WINEARCH="$arch" scripts/with-dev-service.sh \
      scripts/wine-session.sh scripts/windows-suite.sh "$dir" "$junit" "$results/skipped.tsv"; then
      failed=1
      # A session that failed before its suite ran still counts once.
      [ -f "$junit" ] || echo "windows_suite_${flavour}_$arch failed" >>"$results/checks.txt"
    fi
  done
  # Release engineering: reproducible, signed, verifiable, and the roads in each kind of prefix.
  timed "$flavour release" check "release_$flavour" tests/release/release_test.sh "build/release-test-$flavour" \
    "$flavour" "${prefixes[@]}"
done

echo "Time of each part (32-bit code: $VAQ_HOST_RUNS_32BIT):"
awk -F'\t' '{ t[$2] += $1; if (!($2 in seen)) { seen[$2] = 1; order[++n] = $2 } }
  END { for (i = 1; i <= n; i++) printf "  %5d s  %s\n", t[order[i]], order[i] }' "$results/times.tsv"
/usr/bin/python3 scripts/test_summary.py "$results"
exit $failed
