#!/usr/bin/env bash
# Runs a command beside the development installation service on 127.0.0.1:443. Both run in a
# private network namespace, so port 443 belongs to this run alone; the service is stopped by
# its PID afterwards.
#   scripts/with-dev-service.sh <command...>
# The command sees VAQ_DEV_SERVICE_CONTROL (the service's control folder), VAQ_DEV_SERVICE_CA
# (its CA in DER form), VAQ_DEV_SERVICE_UNTRUSTED_CA (the CA of the certificate it offers when
# told to present an untrusted one), VAQ_DEV_SERVICE_CODE and VAQ_DEV_SERVICE_GRANT.
set -euo pipefail

if [ -z "${VAQ_DEV_SERVICE_NETNS:-}" ]; then
  exec env VAQ_DEV_SERVICE_NETNS=1 unshare -n "$0" "$@"
fi
ip link set lo up

root=$(cd "$(dirname "$0")/.." && pwd)
dir=$(mktemp -d /tmp/vaq-service.XXXXXX)
service_pid=

cleanup() {
  local rc=$?
  if [ -n "$service_pid" ]; then
    kill "$service_pid" 2>/dev/null || true
    wait "$service_pid" 2>/dev/null || true
  fi
  [ $rc -eq 0 ] || { echo "--- development service log:" >&2; cat "$dir/service.log" >&2 || true; }
  rm -rf "$dir"
  exit $rc
}
trap cleanup EXIT INT TERM

export VAQ_DEV_SERVICE_CONTROL=$dir/control
export VAQ_DEV_SERVICE_CA=$dir/state/trusted/ca.der
export VAQ_DEV_SERVICE_UNTRUSTED_CA=$dir/state/untrusted/ca.der
export VAQ_DEV_SERVICE_CODE=4711
export VAQ_DEV_SERVICE_GRANT=$(od -An -N32 -tx1 /dev/urandom | tr -d ' \n')
mkdir -p "$VAQ_DEV_SERVICE_CONTROL"
python3 "$root/tools/dev_service/dev_service.py" --port 443 --state "$dir/state" --control "$VAQ_DEV_SERVICE_CONTROL" \
  --code "$VAQ_DEV_SERVICE_CODE" --grant "$VAQ_DEV_SERVICE_GRANT" >"$dir/service.log" 2>&1 </dev/null &
service_pid=$!

for _ in $(seq 300); do
  kill -0 "$service_pid" 2>/dev/null || { echo "the development service did not start" >&2; exit 1; }
  (exec 3<>/dev/tcp/127.0.0.1/443) 2>/dev/null && break
  sleep 0.1
done
(exec 3<>/dev/tcp/127.0.0.1/443) 2>/dev/null || { echo "the development service does not answer" >&2; exit 1; }

"$@"
