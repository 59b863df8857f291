#!/usr/bin/env bash
# Runs a command inside a throwaway Wine world: a fresh prefix, its own wineserver and its own
# Xvfb display, all removed afterwards. Everything is stopped by PID, never by name.
#   [WINEARCH=win32|win64] scripts/wine-session.sh <command...>
# The prefix is a 32-bit one unless WINEARCH says win64: there the 32-bit programs run under
# WOW64, as on 64-bit Windows. A session started inside another one makes the same kind. Where
# 32-bit code is not native (scripts/host-wine.sh) only win64 prefixes: with 64-bit programs
# alone, or under WOW64 through the qemu route.
# With VAQ_KEEP_DISPLAY=1 the caller's DISPLAY is used instead of a new Xvfb.
# The command sees WINEPREFIX, WINEARCH, WINEDEBUG, DISPLAY and VAQ_SESSION_DIR (scratch space).
set -euo pipefail
source "$(dirname "$0")/host-wine.sh"

export WINEARCH=${WINEARCH:-win32}
case $WINEARCH in
  win32 | win64) ;;
  *) echo "WINEARCH is $WINEARCH, not win32 or win64" >&2; exit 2 ;;
esac
if [ "$WINEARCH" = win32 ] && [ "$VAQ_HOST_RUNS_32BIT" != yes ]; then
  echo "this host runs no 32-bit code natively: a win32 prefix is not usable here" >&2
  exit 2
fi
session=$(mktemp -d /tmp/vaq-wine.XXXXXX)
export VAQ_SESSION_DIR=$session
export WINEPREFIX=$session/prefix WINEDEBUG=-all
xvfb_pid=

cleanup() {
  local rc=$?
  wineserver -k >/dev/null 2>&1 || true
  wineserver -w >/dev/null 2>&1 || true
  if [ -n "$xvfb_pid" ]; then
    kill "$xvfb_pid" 2>/dev/null || true
    wait "$xvfb_pid" 2>/dev/null || true
  fi
  rm -rf "$session"
  exit $rc
}
trap cleanup EXIT INT TERM

if [ "${VAQ_KEEP_DISPLAY:-}" != 1 ]; then
  # A display number nobody uses.
  display=90
  while [ -e /tmp/.X11-unix/X$display ] || [ -e /tmp/.X$display-lock ]; do display=$((display + 1)); done
  Xvfb :$display -screen 0 1280x800x24 -nolisten tcp >/dev/null 2>&1 &
  xvfb_pid=$!
  for _ in $(seq 100); do [ -e /tmp/.X11-unix/X$display ] && break; sleep 0.1; done
  [ -e /tmp/.X11-unix/X$display ] || { echo "Xvfb did not start" >&2; exit 1; }
  export DISPLAY=:$display
fi

# The wineserver and Wine's helpers inherit our output; keep them off any pipe of the caller.
mkdir -p "$WINEPREFIX"
wineserver -p >/dev/null 2>&1 </dev/null
wineboot -i >/dev/null 2>&1 </dev/null
# Tests pass in either kind, so make sure the prefix is the one asked for.
file -b "$WINEPREFIX/drive_c/windows/system32/kernel32.dll" | grep -q x86-64 && made=win64 || made=win32
[ "$made" = "$WINEARCH" ] || { echo "wineboot made a $made prefix, not $WINEARCH" >&2; exit 1; }
wine reg add 'HKLM\Software\Microsoft\Windows NT\CurrentVersion\FontSubstitutes' \
  /v 'Microsoft YaHei UI' /t REG_SZ /d 'Noto Sans CJK SC' /f >/dev/null 2>&1 </dev/null

"$@"
