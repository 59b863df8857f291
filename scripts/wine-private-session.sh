#!/usr/bin/env bash
# Runs a Windows program in its own Wine session inside a private mount namespace, where host
# files that Wine reads can be replaced for this run alone:
#   --without-isrg-root  the host CA bundle lacks "ISRG Root X1" (Wine merges the bundle into
#                        the machine ROOT store whenever a process opens it)
#   --without-localhost  /etc/hosts lacks "localhost", so the service host does not resolve
#                        (the run must also have no network, as under with-dev-service.sh)
#   scripts/wine-private-session.sh [options] <program.exe> [args...]
set -euo pipefail

if [ -z "${VAQ_PRIVATE_MOUNTS:-}" ]; then
  exec env VAQ_PRIVATE_MOUNTS=1 unshare -m "$0" "$@"
fi
root=$(cd "$(dirname "$0")/.." && pwd)
scratch=$(mktemp -d /tmp/vaq-mounts.XXXXXX)
mounted=()
cleanup() {
  local target
  for target in "${mounted[@]}"; do umount "$target" 2>/dev/null || true; done
  rm -rf "$scratch"
}
trap cleanup EXIT
# Mounts made from here on stay inside this namespace.
mount --make-rprivate /

replace() {
  mount --bind "$1" "$2"
  mounted+=("$2")
}

while [ $# -gt 0 ]; do
  case $1 in
    --without-isrg-root)
      python3 - /etc/ssl/certs/ca-certificates.crt /usr/share/ca-certificates/mozilla/ISRG_Root_X1.crt \
        "$scratch/bundle.crt" <<'PY'
import re, sys
bundle, isrg, out = sys.argv[1:]
pattern = r"-----BEGIN CERTIFICATE-----.*?-----END CERTIFICATE-----"
unwanted = "".join(re.findall(pattern, open(isrg).read(), re.S)[0].split())
kept = [c for c in re.findall(pattern, open(bundle).read(), re.S) if "".join(c.split()) != unwanted]
open(out, "w").write("\n".join(kept) + "\n")
PY
      replace "$scratch/bundle.crt" /etc/ssl/certs/ca-certificates.crt
      shift ;;
    --without-localhost)
      grep -vw localhost /etc/hosts >"$scratch/hosts" || true
      replace "$scratch/hosts" /etc/hosts
      shift ;;
    *) break ;;
  esac
done

"$root/scripts/wine-session.sh" wine "$@"
