#!/usr/bin/env bash
# Checks the PE properties of the shipped exe of one flavour (i686 by default, or x86_64): a GUI
# program for Windows 7 and later, relocatable, DEP-compatible, importing system DLLs only, and at
# load time only KnownDLLs (a DLL that is not one would be looked for beside the exe first, before
# start-up can prevent it).
#   scripts/check-pe.sh <exe> [i686|x86_64]
set -euo pipefail
exe=$1
arch=${2:-i686}
fail() { echo "check-pe: $*" >&2; exit 1; }
case $arch in
  i686) format=pei-i386 kind=PE32 ;;
  x86_64) format=pei-x86-64 kind=PE32+ ;;
  *) fail "unknown flavour $arch" ;;
esac
dump=$("$arch-w64-mingw32-objdump" -p "$exe")
grep -q "file format $format" <<<"$dump" || fail "not $kind ($format)"
grep -Eq '^Subsystem\s+00000002' <<<"$dump" || fail "not the GUI subsystem"
grep -Eq '^MajorSubsystemVersion\s+6$' <<<"$dump" || fail "subsystem major version is not 6"
grep -Eq '^MinorSubsystemVersion\s+1$' <<<"$dump" || fail "subsystem minor version is not 1"
grep -Eq 'DYNAMIC_BASE' <<<"$dump" || fail "not relocatable (no DYNAMIC_BASE)"
grep -Eq 'NX_COMPAT' <<<"$dump" || fail "not DEP-compatible (no NX_COMPAT)"
# A 64-bit image may be placed anywhere in its address space, not only below 4 GiB.
if [ "$arch" = x86_64 ]; then
  grep -Eq 'HIGH_ENTROPY_VA' <<<"$dump" || fail "no high-entropy ASLR (no HIGH_ENTROPY_VA)"
fi
grep -Eq '^Time/Date\s+Thu Jan  1 00:00:00 1970|^Time/Date\s+0+$' <<<"$dump" || fail "the image carries a time stamp"
imports=$(grep -E '^\s+DLL Name:' <<<"$dump" | awk '{print tolower($3)}')
for dll in $imports; do
  case $dll in
    libstdc++*|libgcc*|libwinpthread*|msvcr1*|vcruntime*|ucrtbase*) fail "imports the runtime DLL $dll" ;;
  esac
done
# KnownDLLs on every Windows from 7 on; the others (winhttp, crypt32, ...) must be delay-loaded.
for dll in $imports; do
  case $dll in
    kernel32.dll|user32.dll|gdi32.dll|advapi32.dll|msvcrt.dll|ole32.dll|shell32.dll) ;;
    *) fail "imports $dll at load time, which is not a KnownDLL" ;;
  esac
done
echo "$kind GUI 6.1, DYNAMIC_BASE, NX_COMPAT, no time stamp; imports: $(echo $imports)"
