#!/usr/bin/env bash
# Builds the release installer and its yardsticks, then prints the footprint figures, each as a
# ratio to a baseline measured in the same run:
#   size        stripped release exe against the 768 KiB budget, and what costs its bytes
#   start-up    process start to the first frame on screen under Wine, against a minimal
#               layered-window program built the same way (median of several runs)
#   installing  CPU over 20 s while the spinner runs, against the minimal program presenting a
#               frame of the same size every 40 ms
#   frame       composition of a spinner frame on the host, against a memcpy of the frame
#   scripts/footprint.sh [--runs 11] [--seconds 20]
set -euo pipefail
cd "$(dirname "$0")/.."

runs=11 seconds=20
if [ "${1:-}" = --inside-wine ]; then
  shift
  inside=1 build=$1 out=$2 runs=$3 seconds=$4
else
  inside=
  while [ $# -gt 0 ]; do
    case $1 in
      --runs) runs=$2; shift 2 ;;
      --seconds) seconds=$2; shift 2 ;;
      *) echo "footprint: unknown argument $1" >&2; exit 2 ;;
    esac
  done
fi

readonly budget=$((768 * 1024))
readonly exe_title='VAQ 在线安装程序'
readonly stage_title='VAQ'
readonly baseline_title='VAQ footprint baseline'

ratio() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.2f", a / b }'; }
verdict() { awk -v r="$1" -v bar="$2" 'BEGIN { print (r <= bar ? "meets" : "MISSES") " the bar of " bar " x" }'; }
median() { sort -n | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }
least() { sort -n | head -1; }
now_ms() { echo $(( $(date +%s%N) / 1000000 )); }

# ---- under Wine (this script again, inside scripts/wine-session.sh) ----

# Waits until a window with exactly this title is on screen; prints its id.
wait_visible() {
  local title=$1 id
  for _ in $(seq 3000); do
    id=$(xdotool search --onlyvisible --name "^$title\$" 2>/dev/null | head -1) || true
    [ -n "$id" ] && { echo "$id"; return 0; }
    sleep 0.005
  done
  return 1
}

# The session's wineserver is persistent, so only the program itself is waited for.
stop() {
  kill "$1" 2>/dev/null || true
  wait "$1" 2>/dev/null || true
}

# Milliseconds from starting the program to its window being mapped with its first frame.
start_up_ms() {
  local title=$1 t0 pid
  shift
  t0=$(now_ms)
  wine "$@" >/dev/null 2>&1 </dev/null &
  pid=$!
  wait_visible "$title" >/dev/null || { echo "footprint: no window '$title'" >&2; exit 1; }
  echo $(( $(now_ms) - t0 ))
  stop "$pid"
}

# The wineserver of this prefix: it does the server side of every window operation.
wineserver_pid() {
  local p
  for p in /proc/[0-9]*; do
    case $(readlink "$p/exe" 2>/dev/null) in
      */wineserver*) tr '\0' '\n' <"$p/environ" 2>/dev/null | grep -qx "WINEPREFIX=$WINEPREFIX" && { echo "${p#/proc/}"; return; } ;;
    esac
  done
}

ticks() { awk '{ print $14 + $15 }' "/proc/$1/stat"; }

# CPU ticks of the program and of the wineserver over the measuring window.
cpu_ticks() {
  local title=$1 pid server a b sa sb
  shift
  wine "$@" >/dev/null 2>&1 </dev/null &
  pid=$!
  wait_visible "$title" >/dev/null || { echo "footprint: no window '$title'" >&2; exit 1; }
  sleep 1
  server=$(wineserver_pid)
  a=$(ticks "$pid") sa=$(ticks "$server")
  sleep "$seconds"
  b=$(ticks "$pid") sb=$(ticks "$server")
  stop "$pid"
  echo "$((b - a)) $((sb - sa))"
}

if [ -n "$inside" ]; then
  exe=$build/app/VAQ-Setup.exe
  baseline=$build/tools/footprint_baseline.exe
  stage=$build/tests/win/footprint_stage.exe
  # The code road: the window comes up without asking the service anything.
  cp "$exe" "$VAQ_SESSION_DIR/VAQ-Setup.exe"
  wine "$VAQ_SESSION_DIR/VAQ-Setup.exe" >/dev/null 2>&1 </dev/null &
  pid=$!
  id=$(wait_visible "$exe_title")
  eval "$(xdotool getwindowgeometry --shell "$id")"
  stop "$pid"
  echo "window $WIDTH $HEIGHT" >"$out"
  for _ in $(seq "$runs"); do
    echo "start exe $(start_up_ms "$exe_title" "$VAQ_SESSION_DIR/VAQ-Setup.exe")" >>"$out"
    echo "start baseline $(start_up_ms "$baseline_title" "$baseline" "$WIDTH" "$HEIGHT")" >>"$out"
  done
  wine "$stage" >/dev/null 2>&1 </dev/null &
  pid=$!
  id=$(wait_visible "$stage_title")
  eval "$(xdotool getwindowgeometry --shell "$id")"
  stop "$pid"
  echo "stage $WIDTH $HEIGHT" >>"$out"
  echo "cpu stage $(cpu_ticks "$stage_title" "$stage")" >>"$out"
  echo "cpu baseline $(cpu_ticks "$baseline_title" "$baseline" "$WIDTH" "$HEIGHT" --every-40ms)" >>"$out"
  exit 0
fi

# ---- on the host ----

scripts/install-deps.sh
# The flavour this host runs under Wine: the 32-bit exe, or the 64-bit one on a host without
# 32-bit code.
source scripts/flavours.sh
flavour=$(host_flavour)
echo "== flavour $flavour"
build=build/footprint
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DCMAKE_TOOLCHAIN_FILE="$(flavour_toolchain "$flavour")" >/dev/null
cmake --build "$build" --target vaq_setup footprint_baseline footprint_stage >/dev/null
exe=$build/app/VAQ-Setup.exe

echo "== size"
bytes=$(stat -c %s "$exe")
echo "Biggest contributors (bytes of code and data, from the link map $build/app/VAQ-Setup.map):"
python3 scripts/footprint_map.py "$build/app/VAQ-Setup.map"
size_line="size        $bytes bytes stripped = $(ratio "$bytes" "$budget") x the budget of $budget bytes (768 KiB): $(verdict "$(ratio "$bytes" "$budget")" 1.00)"

echo "== under Wine (start-up x $runs, then ${seconds} s of CPU each)"
results=$(mktemp /tmp/vaq-footprint.XXXXXX)
trap 'rm -f "$results"' EXIT
WINEARCH=$(host_prefix) scripts/wine-session.sh "$PWD/scripts/footprint.sh" --inside-wine "$PWD/$build" "$results" "$runs" "$seconds"
cat "$results"
read -r _ width height < <(grep '^window ' "$results")
read -r _ stage_width stage_height < <(grep '^stage ' "$results")
exe_ms=$(awk '$1 == "start" && $2 == "exe" { print $3 }' "$results" | median)
base_ms=$(awk '$1 == "start" && $2 == "baseline" { print $3 }' "$results" | median)
exe_least=$(awk '$1 == "start" && $2 == "exe" { print $3 }' "$results" | least)
base_least=$(awk '$1 == "start" && $2 == "baseline" { print $3 }' "$results" | least)
read -r _ _ stage_cpu stage_server < <(grep '^cpu stage ' "$results")
read -r _ _ base_cpu base_server < <(grep '^cpu baseline ' "$results")
r_start=$(ratio "$exe_ms" "$base_ms")
r_cpu=$(ratio $((stage_cpu + stage_server)) $((base_cpu + base_server)))

echo "== frame composition on the host"
bench=$(scripts/bench.sh --benchmark_color=false --benchmark_filter='MemcpyFrame|SpinnerFrame' | tee /dev/stderr | grep -o 'spinner frame at .*')

echo
echo "== footprint (each against its baseline from this run)"
echo "$size_line"
echo "start-up    median $exe_ms ms to the first frame on screen ($width x $height), baseline $base_ms ms = $r_start x: $(verdict "$r_start" 1.3)"
echo "            (fastest runs: $exe_least ms against $base_least ms = $(ratio "$exe_least" "$base_least") x)"
echo "installing  $((stage_cpu + stage_server)) CPU ticks in ${seconds} s (program $stage_cpu + wineserver $stage_server, spinner on the stage, $stage_width x $stage_height)," \
  "baseline $((base_cpu + base_server)) ($base_cpu + $base_server) = $r_cpu x: $(verdict "$r_cpu" 1.3)"
while read -r line; do
  r=$(awk '{ for (i = 1; i <= NF; ++i) if ($i == "x") print $(i - 1) }' <<<"$line" | head -1)
  echo "frame       $line: $(verdict "$r" 2.0)"
done <<<"$bench"
