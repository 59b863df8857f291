#!/usr/bin/env python3
"""The Windows kit's runner, run under Wine as a person runs it on Windows, and its report read.

    kit_self_test.py --kit build/windows-kit --flavour x86_64 --scratch DIR

Runs inside a Wine session and a network namespace of its own (run_self_test.sh), where the
runner's development service takes port 443. Two runs:
  - as on a protected Windows (the seam VAQ_PRETEND_NOT_WINE): every machine-changing test
    skips, the stand-in's installer refuses, and nothing in the system folders changes;
  - as in the Wine suite: the service starts, the program list is the manifest's, results are
    merged, two roads pass through the desktop driver, and the clean-up holds.
"""
import argparse
import glob
import json
import os
import re
import shutil
import subprocess
import sys
import xml.etree.ElementTree as ET

PROTECTED_RUN = ["installation_tests", "install_platform_allocation_tests", "win_service_tests",
                 "win_root_added_tests"]
WINE_RUN = ["win_text_tests", "installation_tests", "win_service_tests"]
ROADS = ["code_road", "failed_script"]
failures = []


def expect(condition, message):
    if not condition:
        failures.append(message)
        print("FAIL " + message, flush=True)


def run_kit(kit, flavour, out, *extra):
    """The runner's exit code."""
    runner = [sys.executable, os.path.join(kit, "runner", "run_kit.py"), "--wine", "--flavours", flavour,
              "--out", out, *extra]
    with open(out + ".log", "wb") as log:
        code = subprocess.run(runner, stdout=log, stderr=subprocess.STDOUT, stdin=subprocess.DEVNULL,
                              timeout=1800).returncode
    print(open(out + ".log", encoding="utf-8", errors="replace").read(), flush=True)
    return code


def cases(out):
    """(suite, case name, outcome, message) of the run's junit.xml."""
    found = []
    for suite in ET.parse(os.path.join(out, "junit.xml")).getroot().iter("testsuite"):
        for case in suite.iter("testcase"):
            if case.find("failure") is not None:
                outcome, message = "failed", case.find("failure").get("message")
            elif case.find("skipped") is not None:
                outcome, message = "skipped", case.find("skipped").get("message")
            else:
                outcome, message = "passed", ""
            found.append((suite.get("name"), case.get("name"), outcome, message or ""))
    return found


def summary(out):
    return open(os.path.join(out, "summary.txt"), encoding="utf-8").read()


def check_closing_line(out):
    """The summary's closing line counts what junit.xml holds."""
    found = cases(out)
    counts = [sum(1 for c in found if c[2] == kind) for kind in ("passed", "failed", "skipped")]
    expect(summary(out).rstrip().splitlines()[-1] == "%d passed, %d failed, %d skipped" % tuple(counts),
           "closing line %r against junit counts %s" % (summary(out).rstrip().splitlines()[-1], counts))


def system_folders():
    """Every file of the prefix's system folders with its size and time."""
    prefix = os.environ["WINEPREFIX"]
    snapshot = {}
    for folder in ("system32", "syswow64"):
        for path in glob.glob(os.path.join(prefix, "drive_c", "windows", folder, "**"), recursive=True):
            if os.path.isfile(path):
                stat = os.stat(path)
                snapshot[path] = (stat.st_size, stat.st_mtime_ns)
    return snapshot


def protected_run(kit, flavour, scratch, manifest):
    out = os.path.join(scratch, "protected")
    before = system_folders()
    work = os.path.join(kit, flavour)
    refused = subprocess.run(["wine", os.path.join(work, "install_standin.exe"),
                              os.path.join(work, "powershell_standin.exe")],
                             env=dict(os.environ, VAQ_PRETEND_NOT_WINE="1"), stdout=subprocess.DEVNULL,
                             stderr=subprocess.DEVNULL, stdin=subprocess.DEVNULL).returncode
    expect(refused == 3, "install_standin.exe on a protected machine: exit code %s, not 3" % refused)
    code = run_kit(kit, flavour, out, "--pretend-not-wine", "--programs", ",".join(PROTECTED_RUN),
                   "--roads", "none")
    expect(code == 0, "protected run: exit code %s" % code)
    changed = sorted(path for path, state in system_folders().items() if before.get(path) != state)
    expect(not changed, "protected run changed the system folders: %s" % changed[:5])
    expect("Machine-changing tests:   skipped (protected machine" in summary(out), "the gate line")
    found = cases(out)
    gated = [c for c in found if "on a disposable machine (--disposable)" in c[3]]
    expect(any(c[1] == "DistrustedRootStopsBeforeTheNetwork" for c in gated), "the Disallowed store test did not skip")
    passed = [c for c in found if c[2] == "passed" and not c[0] == "kit"]
    expect(not any("Distrusted" in c[1] for c in passed), "a machine-changing test ran")
    installation = [c for c in found if c[0].endswith("installation_tests.InstallationRun")]
    expect(installation and all(c[2] == "skipped" and "no working Windows PowerShell" in c[3] for c in installation),
           "installation tests with Wine's powershell.exe: %s" % installation)
    check_closing_line(out)


def wine_run(kit, flavour, scratch, manifest):
    out = os.path.join(scratch, "wine")
    code = run_kit(kit, flavour, out, "--programs", ",".join(WINE_RUN), "--roads", ",".join(ROADS))
    expect(code == 0, "Wine run: exit code %s" % code)
    found = cases(out)
    checks = {c[1]: c[2] for c in found if c[0] == "kit"}
    for name in ("development service started", "development CA trusted", "development service stopped",
                 "clean-up: development CA no longer trusted", "clean-up: no folder left under ProgramData",
                 "clean-up: ISRG Root X1 trusted as before the run", "clean-up: clipboard text put back"):
        expect(checks.get(name) == "passed", "kit check %r: %s" % (name, checks.get(name)))
    # The program list is the manifest's: the selected ones ran, the others are named as skipped.
    listed = {c[1]: c for c in found if c[0] == flavour + ".programs"}
    expect(sorted(listed) == sorted(p["name"] for p in manifest["programs"]),
           "program list %s" % sorted(listed))
    for name in WINE_RUN:
        expect(listed.get(name, (0, 0, ""))[2] == "passed", "program %s: %s" % (name, listed.get(name)))
        merged = [c for c in found if c[0].startswith("%s.%s." % (flavour, name))]
        expect(merged and all(c[2] != "failed" for c in merged), "%s's own results merged: %d" % (name, len(merged)))
    roads = {c[1]: c[2] for c in found if c[0] == flavour + ".e2e_roads"}
    for road in ROADS:
        expect(roads.get("test_" + road) == "passed", "road %s through the driver: %s" % (road, roads))
    relaunch = [c for c in found if c[0] == flavour + ".relaunch"]
    expect([c[2] for c in relaunch] == ["skipped"] and "Wine has no UAC" in relaunch[0][3],
           "the UAC-off road under Wine: %s" % relaunch)
    text = summary(out)
    expect("Machine-changing tests:   run (Wine)" in text, "the gate line")
    expect(re.search(r"work folder's DACL:\s+D:", text), "the work folder's DACL observed")
    expect(re.search(r"PowerShell's bitness as the installer starts it:\s+%s" % ("64" if flavour == "x86_64" else "32"),
                     text), "PowerShell's bitness observed")
    expect(re.search(r"untrusted certificate:\s+\d+", text), "WinHTTP's untrusted-certificate code observed")
    check_closing_line(out)
    left = glob.glob(os.path.join(os.environ["WINEPREFIX"], "drive_c", "ProgramData", "VAQ-Setup-*"))
    expect(not left, "left under ProgramData: %s" % left)


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--kit", required=True)
    parser.add_argument("--flavour", required=True)
    parser.add_argument("--scratch", required=True)
    options = parser.parse_args()
    manifest_path = os.path.join(options.kit, "manifest.json")
    if not os.path.exists(manifest_path):
        print("no kit at %s: build it with scripts/windows-kit.sh" % options.kit)
        return 1
    manifest = json.load(open(manifest_path, encoding="utf-8"))
    if options.flavour not in manifest["flavours"]:
        print("the kit at %s has no %s folder: build it with scripts/windows-kit.sh" % (options.kit, options.flavour))
        return 1
    shutil.rmtree(options.scratch, ignore_errors=True)
    os.makedirs(options.scratch)
    protected_run(options.kit, options.flavour, options.scratch, manifest)
    wine_run(options.kit, options.flavour, options.scratch, manifest)
    print("%d failed checks" % len(failures) if failures else "the kit's runner passed its own test")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
