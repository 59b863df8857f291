#!/usr/bin/env bash
# The kit's own test in a network namespace and a Wine session of its own: the runner's service
# takes port 443 there, and Wine's sockets are opened by that session's wineserver.
#   tests/kit/run_self_test.sh <kit_self_test.py arguments>
set -euo pipefail
if [ -z "${VAQ_KIT_NETNS:-}" ]; then
  exec env VAQ_KIT_NETNS=1 unshare -n "$0" "$@"
fi
ip link set lo up
here=$(cd "$(dirname "$0")" && pwd)
exec "$here/../../scripts/wine-session.sh" python3 "$here/kit_self_test.py" "$@"
