#!/usr/bin/env bash
# The kit's own test in a network namespace and a Wine session of its own: the runner's service
# takes port 443 there, and Wine's sockets are opened by that session's wineserver.
#   tests/kit/run_self_test.sh <kit_self_test.py arguments>
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
# The 32-bit kit runs through qemu where the host runs no 32-bit code natively.
source "$here/../../scripts/host-wine.sh"
through_i386_route "$0" "$@"
if [ -z "${VAQ_KIT_NETNS:-}" ]; then
  exec env VAQ_KIT_NETNS=1 unshare -n "$0" "$@"
fi
ip link set lo up
exec "$here/../../scripts/wine-session.sh" python3 "$here/kit_self_test.py" "$@"
