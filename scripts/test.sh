#!/usr/bin/env bash
# Every test: installs what is missing, builds both builds, runs the host suite natively and
# the Windows suite under Wine (with its own prefixes, display and services).
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh

cmake -S . -B build/host -G Ninja -DCMAKE_BUILD_TYPE=Debug
cmake --build build/host
ctest --test-dir build/host --output-on-failure
scripts/fuzz.sh 10

cmake -S . -B build/win -G Ninja -DCMAKE_BUILD_TYPE=Release -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-i686.cmake
cmake --build build/win
# The Windows tests talk to the development service, which runs beside them on its own port.
# They run in a 32-bit prefix and again in a 64-bit one, where the exe runs under WOW64 as on
# 64-bit Windows.
prefixes=(win32 win64)
for arch in "${prefixes[@]}"; do
  started=$SECONDS
  WINEARCH=$arch scripts/with-dev-service.sh scripts/wine-session.sh ctest --test-dir build/win --output-on-failure
  echo "Windows suite in the $arch prefix: $((SECONDS - started)) s"
done
# Release engineering: reproducible, signed, verifiable, and the roads in each kind of prefix.
tests/release/release_test.sh build/release-test build/win "${prefixes[@]}"
