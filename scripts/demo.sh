#!/usr/bin/env bash
# The main job: builds the installer for the development service (localhost), starts that
# service with a throwaway CA trusted in a throwaway Wine prefix, and runs the installer.
# With a usable display the installer opens there and you type the printed code yourself;
# without one it runs headless, drives the code road by itself and saves a screenshot of each
# page in build/demo.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh
cmake -S . -B build/win -G Ninja -DCMAKE_BUILD_TYPE=Release -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-i686.cmake >/dev/null
cmake --build build/win --target vaq_setup powershell_standin install_standin trust_ca screen_reader

if [ -n "${DISPLAY:-}" ] && xdpyinfo >/dev/null 2>&1; then
  export VAQ_KEEP_DISPLAY=1 VAQ_DEMO_MODE=window
else
  export VAQ_DEMO_MODE=headless
fi
exec scripts/with-dev-service.sh scripts/wine-session.sh scripts/demo-session.sh
