#!/usr/bin/env bash
# Builds the kit that runs the Windows tests on a real Windows machine, with one command there
# (kit/README.md): build/windows-kit/ and build/windows-kit.zip.
#   scripts/windows-kit.sh [flavour...]     (default: every flavour)
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
source scripts/flavours.sh

flavours=("$@")
[ ${#flavours[@]} -gt 0 ] || flavours=("${FLAVOURS[@]}")
kit=build/windows-kit
rm -rf "$kit" build/windows-kit.zip
mkdir -p "$kit/tools/dev_service" "$kit/tools/standins" "$kit/tests/e2e" "$kit/base" "$kit/runner"

# What a flavour's folder holds: the installer, the test programs, and what they find beside them.
tools=(powershell_standin install_standin trust_ca screen_reader desktop_driver machine_facts accessibility_probe
       relaunch_probe)
for flavour in "${flavours[@]}"; do
  build_flavour "$flavour"
  dir=$(flavour_build_dir "$flavour")
  mkdir -p "$kit/$flavour"
  cp "$dir/app/VAQ-Setup.exe" "$dir/tests/e2e/marker.dll" "$kit/$flavour/"
  for tool in "${tools[@]}"; do
    cp "$(find "$dir/tools" "$dir/tests" -name "$tool.exe" -print -quit)" "$kit/$flavour/"
  done
  # The test programs as ctest knows them; those of a private Wine session keep its option.
  ctest --test-dir "$dir" --show-only=json-v1 >"$kit/$flavour/ctest.json"
  /usr/bin/python3 - "$kit/$flavour/ctest.json" "$kit/$flavour" <<'PY'
import json, os, shutil, sys
tests = json.load(open(sys.argv[1]))["tests"]
programs = []
for test in tests:
    command = test.get("command", [""])
    if os.path.basename(command[0]) == "wine":
        exe, session = command[1], None
    elif command[0].endswith("wine-private-session.sh"):
        exe, session = command[2], command[1]
    else:
        continue  # host-side checks and the roads, which the runner drives itself
    programs.append({"name": test["name"], "session": session})
    shutil.copy(exe, os.path.join(sys.argv[2], test["name"] + ".exe"))
json.dump(programs, open(os.path.join(sys.argv[2], "programs.json"), "w"), indent=1)
PY
  rm "$kit/$flavour/ctest.json"
  # Symbols are two thirds of a static test program; the installer ships without them already.
  find "$kit/$flavour" -name '*.exe' ! -name VAQ-Setup.exe -exec "$flavour-w64-mingw32-strip" {} +
done

# The runner and the roads, in the layout of the source tree they find their files by.
cp kit/run_kit.py "$kit/runner/"
cp kit/run.cmd kit/sandbox.cmd kit/sandbox-logon.cmd kit/sandbox-config.ps1 kit/sandbox-python.ps1 kit/README.md "$kit/"
cp tests/e2e/*.py "$kit/tests/e2e/"
cp tools/dev_service/dev_service.py "$kit/tools/dev_service/"
cp tools/standins/standin_record.ps1 "$kit/tools/standins/"
cp base/preloaded_libraries_win.cpp base/setup_context.h "$kit/base/"
# The target has no openssl: the service's CAs are made here, new for each kit, and their keys
# stay here (the service needs only its own certificate and key).
python3 -c 'import sys; from pathlib import Path; sys.path.insert(0, "tools/dev_service"); import dev_service
for kind in dev_service.AUTHORITIES: dev_service.serving_only(dev_service.make_authority(Path(sys.argv[1]), kind))' \
  "$kit/service-state"
# "ISRG Root X1" exactly as the installer carries it, for the clean-up's before-and-after check.
/usr/bin/python3 - service/root_certificate.cpp "$kit/isrg-root-x1.der" <<'PY'
import re, sys
source = open(sys.argv[1]).read()
array = source[source.index("kRootCertificate[kRootCertificateSize] = {"):]
array = array[array.index("{") + 1:array.index("}")]
open(sys.argv[2], "wb").write(bytes(int(b, 16) for b in re.findall(r"0x([0-9A-Fa-f]{2})", array)))
PY
commit=$(git rev-parse --short=12 HEAD 2>/dev/null || echo unknown)
git diff --quiet HEAD 2>/dev/null || commit="$commit with uncommitted changes"
/usr/bin/python3 - "$kit" "$commit" "${flavours[@]}" <<'PY'
import datetime, json, os, sys
kit, commit, flavours = sys.argv[1], sys.argv[2], sys.argv[3:]
lists = {f: json.load(open(os.path.join(kit, f, "programs.json"))) for f in flavours}
first = lists[flavours[0]]
assert all(l == first for l in lists.values()), "the flavours differ in their test programs"
built = datetime.datetime.now(datetime.timezone.utc).strftime("%Y-%m-%d %H:%M UTC")
json.dump({"commit": commit, "built": built, "flavours": flavours, "programs": first},
          open(os.path.join(kit, "manifest.json"), "w"), indent=1)
for f in flavours:
    os.remove(os.path.join(kit, f, "programs.json"))
PY
(cd build && /usr/bin/python3 -m zipfile -c windows-kit.zip windows-kit)
echo "kit: $kit ($(du -sh "$kit" | cut -f1)), build/windows-kit.zip ($(du -h build/windows-kit.zip | cut -f1))"
