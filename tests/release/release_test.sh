#!/usr/bin/env bash
# Release engineering of one flavour: two release builds of this commit in different folders
# are identical, and a signed release verifies, also after it was renamed to carry a grant, and
# still runs every road of the end-to-end tests in a Wine prefix of each kind given (none: no roads).
#   tests/release/release_test.sh <scratch dir> <i686|x86_64> [win32|win64...]
# The roads take their test tools from the flavour's build (scripts/flavours.sh).
set -euo pipefail
cd "$(dirname "$0")/../.."
source scripts/flavours.sh
scratch=$1
arch=$2
build=$(flavour_build_dir "$arch")
tools=$build/tools
screen_reader=$build/tests/e2e/screen_reader.exe
shift 2
prefixes=("$@")
rm -rf "$scratch" && mkdir -p "$scratch"
fail() { echo "release_test: $*" >&2; exit 1; }

# Reproducible: the release script builds in a fresh temporary folder each time.
scripts/release.sh --arch "$arch" --host install.example.test --out "$scratch/a" >/dev/null
scripts/release.sh --arch "$arch" --host install.example.test --out "$scratch/b" >/dev/null
cmp "$scratch/a/VAQ-Setup.exe" "$scratch/b/VAQ-Setup.exe" || fail "two builds differ"
cmp "$scratch/a/VAQ-Setup.exe.sha256" "$scratch/b/VAQ-Setup.exe.sha256" || fail "digest files differ"
(cd "$scratch/a" && sha256sum -c --quiet VAQ-Setup.exe.sha256) || fail "digest file does not match"
strings -el "$scratch/a/VAQ-Setup.exe" | grep -q "install.example.test" || fail "service host not in the exe"
if strings -a "$scratch/a/VAQ-Setup.exe" | grep -q "$PWD"; then fail "absolute build path in the exe"; fi

# Signed with a throwaway code-signing certificate made here.
openssl req -x509 -newkey rsa:2048 -nodes -days 2 -subj "/CN=VAQ Test Signing" \
  -addext "extendedKeyUsage=codeSigning" -addext "keyUsage=digitalSignature" \
  -keyout "$scratch/key.pem" -out "$scratch/cert.pem" 2>/dev/null
scripts/release.sh --arch "$arch" --host localhost --out "$scratch/signed" \
  --sign-cert "$scratch/cert.pem" --sign-key "$scratch/key.pem" >/dev/null
signed=$scratch/signed/VAQ-Setup.exe
osslsigncode verify -CAfile "$scratch/cert.pem" -in "$signed" >"$scratch/verify.log" 2>&1 \
  || { cat "$scratch/verify.log"; fail "signature does not verify"; }
grant=$(printf '0123456789abcdef%.0s' 1 2 3 4)
cp "$signed" "$scratch/signed/VAQ-Setup-$grant.exe"
osslsigncode verify -CAfile "$scratch/cert.pem" -in "$scratch/signed/VAQ-Setup-$grant.exe" >/dev/null 2>&1 \
  || fail "renamed exe does not verify"
cmp -s "$signed" "$scratch/a/VAQ-Setup.exe" && fail "signing changed nothing"
for prefix in "${prefixes[@]}"; do
  started=$SECONDS
  WINEARCH=$prefix scripts/with-dev-service.sh scripts/wine-session.sh python3 tests/e2e/run_e2e.py --exe "$signed" \
    --standin "$tools/powershell_standin.exe" --install-standin "$tools/install_standin.exe" \
    --trust-ca "$tools/trust_ca.exe" --screen-reader "$screen_reader" --artifacts "$scratch/e2e-$prefix" || fail "the signed exe failed a road ($prefix)"
  echo "release roads of the $arch flavour in the $prefix prefix: $((SECONDS - started)) s"
done
echo "release ($arch): reproducible ($(sha256sum < "$scratch/a/VAQ-Setup.exe" | cut -c1-16)…), signed and verified"
