#!/usr/bin/env bash
# Every test: installs what is missing, builds the host build and both Windows flavours, runs the
# host suite natively and each flavour's Windows suite and release roads under Wine in every kind
# of prefix this host can run (scripts/flavours.sh). What the host cannot run is reported as
# skipped, with the reason, and counted on the closing line.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh
source scripts/flavours.sh
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
tests_in() { ctest --test-dir "$1" -N "${@:2}" | awk '/^Total Tests:/ { print $3 }'; }

cmake -S . -B build/host -G Ninja -DCMAKE_BUILD_TYPE=Debug
cmake --build build/host
ctest --test-dir build/host --output-on-failure --output-junit "$results/host.xml" || failed=1
check fuzzers scripts/fuzz.sh 10

if [ "$VAQ_HOST_RUNS_32BIT" = no ]; then
  no_32bit="this host runs no 32-bit code (the i386 Wine loader gives \"Exec format error\")"
fi
# The kit for real Windows builds every flavour; each Windows suite runs its runner under Wine.
check windows_kit scripts/windows-kit.sh
for flavour in "${FLAVOURS[@]}"; do
  dir=$(flavour_build_dir "$flavour")
  build_flavour "$flavour"
  read -ra prefixes <<<"$(flavour_prefixes "$flavour")"
  if [ ${#prefixes[@]} -eq 0 ]; then
    # The PE checks read the file and need no Wine.
    ctest --test-dir "$dir" --output-on-failure -R '^pe_' --output-junit "$results/$flavour-pe.xml" || failed=1
    for arch in win32 win64; do
      skip "$(tests_in "$dir" -E '^pe_')" "$flavour test programs in a $arch prefix" "$no_32bit"
    done
  fi
  # The Windows tests talk to the development service, which runs beside them on its own port.
  for arch in "${prefixes[@]}"; do
    started=$SECONDS
    junit=$results/$flavour-$arch.xml
    if ! WINEARCH=$arch scripts/with-dev-service.sh scripts/wine-session.sh \
      scripts/windows-suite.sh "$dir" "$junit" "$results/skipped.tsv"; then
      failed=1
      # A session that failed before its suite ran still counts once.
      [ -f "$junit" ] || echo "windows_suite_${flavour}_$arch failed" >>"$results/checks.txt"
    fi
    echo "Windows suite of the $flavour flavour in the $arch prefix: $((SECONDS - started)) s"
  done
  # Release engineering: reproducible, signed, verifiable, and the roads in each kind of prefix.
  check "release_$flavour" tests/release/release_test.sh "build/release-test-$flavour" "$flavour" "${prefixes[@]}"
  if [ ${#prefixes[@]} -eq 0 ]; then skip 2 "$flavour signed-release roads in a win32 and a win64 prefix" "$no_32bit"; fi
done

/usr/bin/python3 scripts/test_summary.py "$results"
exit $failed
