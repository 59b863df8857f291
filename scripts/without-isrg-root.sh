#!/usr/bin/env bash
# Runs a Windows program in its own Wine session whose host CA bundle lacks "ISRG Root X1".
# Wine merges the host bundle into the machine ROOT store whenever a process opens it, so
# only a private mount namespace with a filtered bundle lets the program see the root missing.
#   scripts/without-isrg-root.sh <program.exe> [args...]
set -euo pipefail

if [ -z "${VAQ_WITHOUT_ISRG_NS:-}" ]; then
  exec env VAQ_WITHOUT_ISRG_NS=1 unshare -m "$0" "$@"
fi
root=$(cd "$(dirname "$0")/.." && pwd)
bundle=/etc/ssl/certs/ca-certificates.crt
filtered=$(mktemp /tmp/vaq-bundle.XXXXXX)
trap 'umount "$bundle" 2>/dev/null || true; rm -f "$filtered"' EXIT

python3 - "$bundle" /usr/share/ca-certificates/mozilla/ISRG_Root_X1.crt "$filtered" <<'PY'
import re, sys
bundle, isrg, out = sys.argv[1:]
pattern = r"-----BEGIN CERTIFICATE-----.*?-----END CERTIFICATE-----"
unwanted = "".join(re.findall(pattern, open(isrg).read(), re.S)[0].split())
kept = [c for c in re.findall(pattern, open(bundle).read(), re.S) if "".join(c.split()) != unwanted]
open(out, "w").write("\n".join(kept) + "\n")
PY
# Keep the mount private to this namespace.
mount --make-rprivate /
mount --bind "$filtered" "$bundle"
grep -c "BEGIN CERTIFICATE" "$bundle" >/dev/null
"$root/scripts/wine-session.sh" wine "$@"
