#!/usr/bin/env bash
# Inside the demo's Wine session, beside the development service (see scripts/demo.sh).
set -euo pipefail
cd "$(dirname "$0")/.."
build=$VAQ_DEMO_BUILD
log=$VAQ_SESSION_DIR/demo-wine.log

echo
echo "  Development installation service: https://localhost (TLS 1.2, throwaway CA)"
echo "  Install authorization code to type: $VAQ_DEV_SERVICE_CODE"
echo

if [ "$VAQ_DEMO_MODE" = headless ]; then
  mkdir -p build/demo
  echo "  No display: the demo types the code itself. Screenshots go to build/demo."
  exec python3 tests/e2e/run_e2e.py --exe "$build/app/VAQ-Setup.exe" \
    --standin "$build/tools/powershell_standin.exe" --install-standin "$build/tools/install_standin.exe" \
    --trust-ca "$build/tools/trust_ca.exe" --screen-reader "$build/tests/e2e/screen_reader.exe" \
    --artifacts build/demo -k code_road
fi

# Trust the service's CA, and stand in for Windows PowerShell (Wine has none): the stand-in
# "installs" by waiting a few seconds and exiting with 0, as the service's script tells it.
wine "$build/tools/trust_ca.exe" "$VAQ_DEV_SERVICE_CA" >>"$log" 2>&1 </dev/null
wine "$build/tools/install_standin.exe" "$build/tools/powershell_standin.exe" >>"$log" 2>&1 </dev/null
printf '# vaq-sleep-ms: 4000\r\n# vaq-exit: 0\r\nWrite-Output "VAQ client installed"\r\n' \
  >"$VAQ_DEV_SERVICE_CONTROL/bootstrap.ps1"

cp "$build/app/VAQ-Setup.exe" "$VAQ_SESSION_DIR/VAQ-Setup.exe"
echo "  The installer opens on your display. Type the code; it installs and closes itself."
code=0
wine "$VAQ_SESSION_DIR/VAQ-Setup.exe" >>"$log" 2>&1 </dev/null || code=$?
echo "  The installer ended with exit code $code."
