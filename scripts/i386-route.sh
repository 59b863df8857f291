#!/usr/bin/env bash
# Runs a command where i386 programs run through qemu's i386 user mode: for a host whose kernel
# runs no 32-bit code (scripts/host-wine.sh). qemu is registered in a private binfmt_misc
# instance of a new user+mount namespace (Linux 6.7 or later), so nothing changes for the rest
# of the machine; the command and every process it starts stay inside.
#   scripts/i386-route.sh <command...>    runs it there (exit 3: the route does not work here)
#   scripts/i386-route.sh --check         says whether it works here, and if not, why
# The command sees VAQ_HOST_RUNS_32BIT=qemu. Wine's 32-bit side runs there only in a 64-bit
# (WoW64) prefix made inside the namespace; a pure 32-bit prefix boots with crashing helpers.
set -euo pipefail
qemu=/usr/bin/qemu-i386
# ELF, 32-bit, little-endian, executable or shared object, i386.
magic='\x7fELF\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\x03\x00'
mask='\xff\xff\xff\xff\xff\xfe\xfe\x00\xff\xff\xff\xff\xff\xff\xff\xff\xfe\xff\xff\xff'

cannot() { echo "the qemu route for 32-bit programs does not work here: $*" >&2; exit 3; }

if [ "${VAQ_I386_ROUTE_NAMESPACE:-}" != 1 ]; then
  # Already inside: one namespace holds every Wine process of a prefix.
  [ "${VAQ_HOST_RUNS_32BIT:-}" != qemu ] || { [ "${1:-}" = --check ] && exit 0; exec "$@"; }
  [ -x "$qemu" ] || cannot "no $qemu (package qemu-user from bookworm-backports: scripts/install-deps.sh)"
  unshare --user --map-root-user true 2>/dev/null || cannot "user namespaces are off"
  exec env VAQ_I386_ROUTE_NAMESPACE=1 unshare --user --map-root-user --mount --propagation private "$0" "$@"
fi
unset VAQ_I386_ROUTE_NAMESPACE
mount -t binfmt_misc binfmt_misc /proc/sys/fs/binfmt_misc 2>/dev/null \
  || cannot "the kernel ($(uname -r)) has no private binfmt_misc for a user namespace (Linux 6.7 or later)"
# F: qemu is opened now, so it serves whatever mount namespace a program starts in.
echo ":vaq-i386:M::$magic:$mask:$qemu:F" >/proc/sys/fs/binfmt_misc/register
/usr/lib/wine/wine --version >/dev/null 2>&1 || cannot "the i386 Wine loader does not start through $qemu"
export VAQ_HOST_RUNS_32BIT=qemu
[ "${1:-}" = --check ] && exit 0
exec "$@"
