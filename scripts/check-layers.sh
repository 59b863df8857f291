#!/usr/bin/env bash
# Fails on an include that runs against the layers: base/ stands on none of ours; ui/, service/
# and install/ stand on base/ and themselves only; app/ is the top and may use them all.
cd "$(dirname "$0")/.."
status=0
for layer in base ui service install; do
  if grep -rnE '#include "(base|ui|service|install|app)/' "$layer" | grep -vE "#include \"(base|$layer)/"; then
    status=1
  fi
done
[ $status = 0 ] || echo "these includes run against the layers (base <- ui, service, install <- app)" >&2
exit $status
