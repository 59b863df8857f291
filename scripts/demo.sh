#!/usr/bin/env bash
# The main job: builds the installer for the development service.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
cmake -S . -B build/win -G Ninja -DCMAKE_BUILD_TYPE=Release -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-i686.cmake
cmake --build build/win --target vaq_setup
echo "Built build/win/app/VAQ-Setup.exe"
