#!/usr/bin/env bash
# Builds the release installer for a service host and writes it with its SHA-256 file:
#   scripts/release.sh --host install.example.com [--arch i686|x86_64] [--out DIR]
#                      [--sign-cert CERT.pem --sign-key KEY.pem [--timestamp URL]]
# The 32-bit exe (i686) is the default; x86_64 is for Windows without WOW64. Its default folder
# is out-x86_64. Two builds of the same commit are byte-identical wherever they are built.
set -euo pipefail
cd "$(dirname "$0")/.."

host= arch=i686 out= cert= key= timestamp=
while [ $# -gt 0 ]; do
  case $1 in
    --host) host=$2; shift 2 ;;
    --arch) arch=$2; shift 2 ;;
    --out) out=$2; shift 2 ;;
    --sign-cert) cert=$2; shift 2 ;;
    --sign-key) key=$2; shift 2 ;;
    --timestamp) timestamp=$2; shift 2 ;;
    *) echo "release: unknown argument $1" >&2; exit 2 ;;
  esac
done
case $arch in
  i686) out=${out:-out} ;;
  x86_64) out=${out:-out-x86_64} ;;
  *) echo "release: --arch is i686 or x86_64, not $arch" >&2; exit 2 ;;
esac
[ -n "$host" ] || { echo "release: --host is required (the installation service's host name)" >&2; exit 2; }
if [ -n "$cert$key" ] && { [ -z "$cert" ] || [ -z "$key" ]; }; then
  echo "release: signing needs both --sign-cert and --sign-key" >&2; exit 2
fi
if [ -n "$timestamp" ] && [ -z "$cert" ]; then
  echo "release: --timestamp needs a signing certificate" >&2; exit 2
fi

scripts/install-deps.sh
source scripts/flavours.sh
build=$(mktemp -d /tmp/vaq-release.XXXXXX)
trap 'rm -rf "$build"' EXIT
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DCMAKE_TOOLCHAIN_FILE="$(flavour_toolchain "$arch")" \
  -DVAQ_SERVICE_HOST="$host" >/dev/null
cmake --build "$build" --target vaq_setup >/dev/null
mkdir -p "$out"
exe=$out/VAQ-Setup.exe
cp "$build/app/VAQ-Setup.exe" "$exe"

if [ -n "$cert" ]; then
  args=(sign -certs "$cert" -key "$key" -h sha256 -n "VAQ Online Installer" -in "$exe" -out "$exe.signed")
  if [ -n "$timestamp" ]; then args+=(-ts "$timestamp"); fi
  osslsigncode "${args[@]}" >/dev/null
  mv "$exe.signed" "$exe"
fi
(cd "$out" && sha256sum VAQ-Setup.exe > VAQ-Setup.exe.sha256)
echo "$exe"
cat "$out/VAQ-Setup.exe.sha256"
