#!/usr/bin/env bash
# The main job: builds the installer for the development service (localhost), starts that
# service with a throwaway CA trusted in a throwaway Wine prefix, and runs the installer.
# With a usable display the installer opens there and you type the printed code yourself;
# without one it runs headless, drives the code road by itself and saves a screenshot of each
# page in build/demo.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh
# The 32-bit installer that ships, natively or through qemu's i386 user mode; the 64-bit one only
# where this host runs no 32-bit code either way.
source scripts/flavours.sh
through_i386_route "$0" "$@"
flavour=$(host_flavour)
build_flavour "$flavour" --target vaq_setup powershell_standin install_standin trust_ca screen_reader
export VAQ_DEMO_BUILD=$(flavour_build_dir "$flavour") WINEARCH=$(host_prefix)
case $VAQ_HOST_RUNS_32BIT in
  yes) echo "Demo of the 32-bit installer (the default release) in a 32-bit Wine prefix." ;;
  qemu) echo "Demo of the 32-bit installer (the default release) under WOW64 in a 64-bit Wine prefix, its 32-bit code run by qemu's i386 user mode (this host runs no 32-bit code natively; slower than native)." ;;
  no) echo "The demo runs the 64-bit installer in a 64-bit Wine prefix: $VAQ_NO_32BIT_WHY." ;;
esac

if [ -n "${DISPLAY:-}" ] && xdpyinfo >/dev/null 2>&1; then
  export VAQ_KEEP_DISPLAY=1 VAQ_DEMO_MODE=window
else
  export VAQ_DEMO_MODE=headless
fi
exec scripts/with-dev-service.sh scripts/wine-session.sh scripts/demo-session.sh
