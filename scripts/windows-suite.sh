#!/usr/bin/env bash
# Inside a Wine session beside the development service: one flavour's Windows suite, with what
# this Wine cannot serve at all (a missing standard accessibility proxy) skipped with the reason.
#   scripts/windows-suite.sh <build dir> <junit file> <skip list>
set -euo pipefail
dir=$1 junit=$2 skips=$3
exclude=()
probe_log=$VAQ_SESSION_DIR/accessibility-probe.log
if ! wine "$dir/tools/accessibility_probe.exe" >"$probe_log" 2>&1 </dev/null; then
  reason="this Wine has no standard accessibility proxy ($(grep -o 'HRESULT.*' "$probe_log" | tr -d '\r' || echo 'probe failed'))"
  printf '1\taccessibility_tests of %s in a %s prefix\t%s\n' "$dir" "$WINEARCH" "$reason" >>"$skips"
  echo "SKIPPED accessibility_tests: $reason"
  exclude=(-E '^accessibility_tests$')
fi
ctest --test-dir "$dir" --output-on-failure --output-junit "$junit" "${exclude[@]}"
