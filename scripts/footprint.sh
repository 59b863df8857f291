#!/usr/bin/env bash
# Builds the release installer of each flavour and its yardsticks, then prints the footprint
# figures, one line each with its bar, each against a baseline measured in the same run:
#   size        stripped release exe of each flavour against 340 KiB, and what costs its bytes
#   start-up    process start to the code page on screen under Wine, against the yardstick
#               (tools/footprint/footprint_yardstick_win.cpp: the installer's load-time imports, fonts and
#               page); the two run in turn, A B A B, in one Wine session; median and spread
#   steps       where start-up time and private bytes go, step by step, in both: a second build
#               of the two that time-stamps each step (VAQ_STARTUP_STEPS, base/startup_steps_win.h),
#               run in turn
#   memory      peak working set and private bytes at the code page, against the yardstick
#   installing  CPU over 20 s while the spinner runs, against the yardstick presenting a frame of
#               the same size every 40 ms
#   frame       composition of a spinner frame on the host, against a memcpy of the frame
# Run-time figures are taken for each flavour this host runs natively under Wine
# (scripts/flavours.sh); under qemu's emulation they would measure the emulator, not the exe.
#   scripts/footprint.sh [--runs 21] [--seconds 20]
set -euo pipefail
cd "$(dirname "$0")/.."

runs=21 seconds=20
if [ "${1:-}" = --inside-wine ]; then
  shift
  inside=1 build=$1 steps_build=$2 out=$3 runs=$4 seconds=$5
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

readonly size_bar=$((340 * 1024))
readonly start_bar=1.05 private_bar=1.05 peak_bar=1.15 cpu_bar=1.3 frame_bar=2.0
readonly memory_samples=5
readonly exe_title='VAQ 在线安装程序'
readonly stage_title='VAQ'
readonly yardstick_title='VAQ footprint yardstick'

ratio() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.2f", a / b }'; }
verdict() { awk -v r="$1" -v bar="$2" 'BEGIN { print (r <= bar ? "meets" : "MISSES") " the bar of " bar " x" }'; }
sorted_at() { sort -n | awk -v q="$1" '{ v[NR] = $1 } END { i = int(q * (NR - 1) + 1.5); print v[i] }'; }
median() { sorted_at 0.5; }
now_ms() { echo $(( $(date +%s%N) / 1000000 )); }
now_us() { echo $(( $(date +%s%N) / 1000 )); }
kib() { echo $(( $1 / 1024 )); }
load_time_imports() { "$1-w64-mingw32-objdump" -p "$2" | awk '/DLL Name:/ { print tolower($3) }' | sort | xargs; }

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

start() {
  local title=$1
  shift
  wine "$@" >/dev/null 2>&1 </dev/null &
  pid=$!
  wait_visible "$title" >/dev/null || { echo "footprint: no window '$title'" >&2; exit 1; }
}

# Milliseconds from starting the program to its window being mapped with its first frame.
start_up_ms() {
  local t0
  t0=$(now_ms)
  start "$@"
  echo $(( $(now_ms) - t0 ))
  stop "$pid"
}

# The time-stamped build's steps of one start, with the launch and the moment the window was
# seen on screen, as "<microseconds> <private bytes or -> <step>" lines.
start_up_steps() {
  local file=$VAQ_SESSION_DIR/steps t0 seen
  rm -f "$file"
  t0=$(now_us)
  VAQ_STARTUP_STEPS="Z:${file//\//\\}" start "$@"
  seen=$(now_us)
  # Written just after the window is shown, which may be after it was seen.
  for _ in $(seq 2000); do [ -s "$file" ] && break; sleep 0.005; done
  stop "$pid"
  [ -s "$file" ] || { echo "footprint: no steps from $2" >&2; exit 1; }
  echo "$t0 - launch"
  tr -d '\r' <"$file"
  echo "$seen - seen on screen"
}

# Peak working set and private bytes once the window has been up for a second.
memory_bytes() {
  local title=$1
  start "$@"
  sleep 1
  # Through a file: a Wine program's output read through a pipe can hang.
  wine "$build/tools/process_memory.exe" "$title" >"$VAQ_SESSION_DIR/memory" 2>/dev/null </dev/null
  tr -d '\r' <"$VAQ_SESSION_DIR/memory"
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
  local server a b sa sb
  start "$@"
  sleep 1
  server=$(wineserver_pid)
  a=$(ticks "$pid") sa=$(ticks "$server")
  sleep "$seconds"
  b=$(ticks "$pid") sb=$(ticks "$server")
  stop "$pid"
  echo "$((b - a)) $((sb - sa))"
}

if [ -n "$inside" ]; then
  exe=$VAQ_SESSION_DIR/VAQ-Setup.exe
  yardstick=$build/tools/footprint_yardstick.exe
  stage=$build/tests/win/footprint_stage.exe
  # The code road: the window comes up without asking the service anything.
  cp "$build/app/VAQ-Setup.exe" "$exe"
  steps_exe=$VAQ_SESSION_DIR/steps-build/VAQ-Setup.exe
  mkdir -p "${steps_exe%/*}" && cp "$steps_build/app/VAQ-Setup.exe" "$steps_exe"
  start "$exe_title" "$exe"
  eval "$(xdotool getwindowgeometry --shell "$(wait_visible "$exe_title")")"
  stop "$pid"
  echo "window $WIDTH $HEIGHT" >"$out"
  # In turn, so that whatever the machine does meanwhile falls on both alike.
  # Each figure is taken before it is written, so that a failed run stops the script.
  for _ in $(seq "$runs"); do
    figure=$(start_up_ms "$exe_title" "$exe"); echo "start exe $figure" >>"$out"
    figure=$(start_up_ms "$yardstick_title" "$yardstick" "$WIDTH" "$HEIGHT"); echo "start yardstick $figure" >>"$out"
  done
  for run in $(seq "$runs"); do
    figure=$(start_up_steps "$exe_title" "$steps_exe")
    sed "s/^/steps exe $run /" <<<"$figure" >>"$out"
    figure=$(start_up_steps "$yardstick_title" "$steps_build/tools/footprint_yardstick.exe" "$WIDTH" "$HEIGHT")
    sed "s/^/steps yardstick $run /" <<<"$figure" >>"$out"
  done
  for _ in $(seq "$memory_samples"); do
    figure=$(memory_bytes "$exe_title" "$exe"); echo "memory exe $figure" >>"$out"
    figure=$(memory_bytes "$yardstick_title" "$yardstick" "$WIDTH" "$HEIGHT"); echo "memory yardstick $figure" >>"$out"
  done
  start "$stage_title" "$stage"
  eval "$(xdotool getwindowgeometry --shell "$(wait_visible "$stage_title")")"
  stop "$pid"
  echo "stage $WIDTH $HEIGHT" >>"$out"
  figure=$(cpu_ticks "$stage_title" "$stage"); echo "cpu stage $figure" >>"$out"
  figure=$(cpu_ticks "$yardstick_title" "$yardstick" "$WIDTH" "$HEIGHT" --every-40ms); echo "cpu yardstick $figure" >>"$out"
  exit 0
fi

# ---- on the host ----

scripts/install-deps.sh
source scripts/flavours.sh
results=$(mktemp -d /tmp/vaq-footprint.XXXXXX)
trap 'rm -rf "$results"' EXIT
lines=()

for flavour in "${FLAVOURS[@]}"; do
  build=build/footprint-$flavour
  read -ra prefixes <<<"$(flavour_prefixes "$flavour")"
  unmeasured=
  case $flavour/$VAQ_HOST_RUNS_32BIT in
    i686/no) unmeasured=$VAQ_NO_32BIT_WHY ;;
    i686/qemu) unmeasured="this host runs 32-bit code only through qemu's emulation, whose times are the emulator's" ;;
  esac
  [ -z "$unmeasured" ] || prefixes=()
  targets=(vaq_setup)
  [ ${#prefixes[@]} -gt 0 ] && targets+=(footprint_yardstick footprint_stage process_memory)
  echo "== $flavour: building ${targets[*]}"
  cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DCMAKE_TOOLCHAIN_FILE="$(flavour_toolchain "$flavour")" >/dev/null
  cmake --build "$build" --target "${targets[@]}" >/dev/null
  steps_build=$build-steps
  if [ ${#prefixes[@]} -gt 0 ]; then
    echo "== $flavour: building the time-stamped vaq_setup and footprint_yardstick"
    cmake -S . -B "$steps_build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DVAQ_STARTUP_STEPS=ON \
      -DCMAKE_TOOLCHAIN_FILE="$(flavour_toolchain "$flavour")" >/dev/null
    cmake --build "$steps_build" --target vaq_setup footprint_yardstick >/dev/null
  fi

  bytes=$(stat -c %s "$build/app/VAQ-Setup.exe")
  echo "== $flavour size: what its bytes come from (link map $build/app/VAQ-Setup.map)"
  python3 scripts/footprint_map.py "$build/app/VAQ-Setup.map"
  r=$(ratio "$bytes" "$size_bar")
  lines+=("size        $flavour  $bytes bytes ($(kib "$bytes") KiB) stripped = $r x $size_bar bytes (340 KiB): $(verdict "$r" 1.00)")

  if [ ${#prefixes[@]} -eq 0 ]; then
    lines+=("start-up, memory, installing  $flavour  not measured: $unmeasured")
    continue
  fi
  # The yardstick stands for the installer's load-time work only while it maps the same DLLs.
  exe_imports=$(load_time_imports "$flavour" "$build/app/VAQ-Setup.exe")
  yard_imports=$(load_time_imports "$flavour" "$build/tools/footprint_yardstick.exe")
  if [ "$exe_imports" != "$yard_imports" ]; then
    echo "footprint: the yardstick imports $yard_imports at load time, the installer $exe_imports" >&2
    exit 1
  fi
  out=$results/$flavour
  echo "== $flavour under Wine in a ${prefixes[0]} prefix: start-up x $runs each in turn, memory x $memory_samples, ${seconds} s of CPU each"
  WINEARCH=${prefixes[0]} scripts/wine-session.sh "$PWD/scripts/footprint.sh" --inside-wine "$PWD/$build" \
    "$PWD/$steps_build" "$out" "$runs" "$seconds"
  grep -v '^steps ' "$out"
  echo "== $flavour: where start-up time goes, step by step (time-stamped build, $runs runs each in turn)"
  python3 scripts/footprint_steps.py "$out"

  read -r _ width height < <(grep '^window ' "$out")
  start_times() { awk -v who="$1" '$1 == "start" && $2 == who { print $3 }' "$out"; }
  spread() { echo "quartiles $(start_times "$1" | sorted_at 0.25)-$(start_times "$1" | sorted_at 0.75) ms, range $(start_times "$1" | sorted_at 0)-$(start_times "$1" | sorted_at 1) ms"; }
  exe_ms=$(start_times exe | median) yard_ms=$(start_times yardstick | median)
  r=$(ratio "$exe_ms" "$yard_ms")
  lines+=("start-up    $flavour  median $exe_ms ms to the code page on screen ($width x $height), yardstick $yard_ms ms = $r x: $(verdict "$r" "$start_bar")")
  lines+=("            $flavour  spread over $runs runs each: installer $(spread exe); yardstick $(spread yardstick)")

  memory() { awk -v who="$1" -v field="$2" '$1 == "memory" && $2 == who { print $field }' "$out" | median; }
  exe_peak=$(memory exe 3) yard_peak=$(memory yardstick 3)
  exe_private=$(memory exe 4) yard_private=$(memory yardstick 4)
  r=$(ratio "$exe_peak" "$yard_peak")
  lines+=("memory      $flavour  peak working set at the code page $(kib "$exe_peak") KiB, yardstick $(kib "$yard_peak") KiB = $r x: $(verdict "$r" "$peak_bar")")
  r=$(ratio "$exe_private" "$yard_private")
  lines+=("memory      $flavour  private bytes at the code page $(kib "$exe_private") KiB, yardstick $(kib "$yard_private") KiB = $r x: $(verdict "$r" "$private_bar")")

  read -r _ stage_width stage_height < <(grep '^stage ' "$out")
  read -r _ _ stage_cpu stage_server < <(grep '^cpu stage ' "$out")
  read -r _ _ yard_cpu yard_server < <(grep '^cpu yardstick ' "$out")
  r=$(ratio $((stage_cpu + stage_server)) $((yard_cpu + yard_server)))
  lines+=("installing  $flavour  $((stage_cpu + stage_server)) CPU ticks in ${seconds} s (program $stage_cpu + wineserver $stage_server, spinner on the stage, $stage_width x $stage_height), yardstick $((yard_cpu + yard_server)) ($yard_cpu + $yard_server) = $r x: $(verdict "$r" "$cpu_bar")")
done

echo "== frame composition on the host"
# Shown as it runs; through the shell's own descriptor, since tee reopening /dev/stderr would
# truncate a file the caller sent it to.
bench=$(scripts/bench.sh --benchmark_color=false --benchmark_filter='MemcpyFrame|SpinnerFrame' | tee >(cat >&2) | grep -o 'spinner frame at .*')
while read -r line; do
  r=$(awk '{ for (i = 1; i <= NF; ++i) if ($i == "x") print $(i - 1) }' <<<"$line" | head -1)
  lines+=("frame       host    $line: $(verdict "$r" "$frame_bar")")
done <<<"$bench"

echo
echo "== footprint (each against its baseline from this run)"
printf '%s\n' "${lines[@]}"
