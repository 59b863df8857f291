#!/usr/bin/env python3
"""The Windows kit's runner, run under Wine as a person runs it on Windows, and its report read.

    kit_self_test.py --kit build/windows-kit --flavour x86_64 --scratch DIR

Runs inside a Wine session and a network namespace of its own (run_self_test.sh), where the
runner's development service takes port 443. First what needs no run:
  - every piece of PowerShell the kit carries (scripts, the runner's command, the road scripts,
    the text inside its programs) uses nothing newer than PowerShell 2.0 (powershell2.py);
  - the runner's Windows-only branches, through its seam: the results folder, the port check,
    the flavour choice, the ProgramData clean-up;
  - the development CA: confined to localhost and 127.0.0.1, valid for days, its key not in the
    kit, trusted ungated only because of its constraints; `--cleanup` removes a leftover.
Then two runs:
  - as on a protected Windows (the seam VAQ_PRETEND_NOT_WINE): every machine-changing test
    skips, the stand-in's installer refuses, and nothing in the system folders changes;
  - as in the Wine suite, with a CA of the kit's name left trusted as by an interrupted run: the
    leftover goes, the service starts, the program list is the manifest's, results are merged,
    two roads pass through the desktop driver, the clean-up holds, and the results hold no key.
"""
import argparse
import datetime
import glob
import json
import os
import re
import shutil
import socket
import subprocess
import sys
import xml.etree.ElementTree as ET
from pathlib import Path

import powershell2

HERE = os.path.dirname(os.path.abspath(__file__))

PROTECTED_RUN = ["installation_tests", "install_platform_allocation_tests", "win_service_tests",
                 "win_root_added_tests"]
WINE_RUN = ["win_text_tests", "installation_tests", "win_service_tests"]
ROADS = ["code_road", "failed_script"]
failures = []


def expect(condition, message):
    if not condition:
        failures.append(message)
        print("FAIL " + message, flush=True)


def wine(*args, env=None):
    """A Windows program's exit code under Wine."""
    return subprocess.run(["wine", *args], env=env, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL,
                          stdin=subprocess.DEVNULL).returncode


def windows_path(path):
    return "Z:" + os.path.abspath(path).replace("/", "\\")


def import_kit(kit):
    """The kit's runner and its road scripts, as modules."""
    sys.path[:0] = [os.path.join(kit, "runner"), os.path.join(kit, "tests", "e2e")]
    import run_kit as kit_runner
    import standin_script
    return kit_runner, standin_script


def check_powershell_2(kit, kit_runner, standin_script):
    fixture = open(os.path.join(HERE, "fixtures", "powershell3.ps1"), encoding="utf-8").read()
    lines = [line for line in fixture.splitlines() if line.strip() and not line.startswith("#")]
    found = {line for _, _, line in powershell2.newer_than_2(fixture)}
    expect(found == set(lines), "the PowerShell 2.0 check missed %s" % sorted(set(lines) - found))
    texts = {"the runner's version query": kit_runner.POWERSHELL_VERSION,
             "a road script": standin_script.standin_script(3, error=b"x", sleep_ms=10, body=["Write-Output 'ok'"])}
    for path in glob.glob(os.path.join(kit, "**", "*.ps1"), recursive=True) + glob.glob(os.path.join(kit, "*.cmd")):
        texts[os.path.relpath(path, kit)] = open(path, encoding="utf-8").read()
    for path in glob.glob(os.path.join(kit, "*", "*.exe")):
        texts[os.path.relpath(path, kit)] = powershell2.program_text(open(path, "rb").read())
    for name, text in texts.items():
        newer = powershell2.newer_than_2(text)
        expect(not newer, "%s needs a PowerShell newer than 2.0: %s" % (name, newer[:3]))


def check_windows_branches(kit_runner, scratch):
    """The runner's Windows-only decisions, taken here through its seam."""
    root = os.path.join(scratch, "seam")
    # The results folder: beside the kit, else under the profile, never the current folder.
    writable_kit = os.path.join(root, "downloads", "windows-kit")
    os.makedirs(writable_kit)
    profile = os.path.join(root, "profile")
    cases = [(writable_kit, os.path.join(root, "downloads", kit_runner.RESULTS)),
             ("/proc/windows-kit", os.path.join(profile, kit_runner.RESULTS))]  # a folder nobody may write in
    for kit, wanted in cases:
        got = kit_runner.default_results(kit, profile)
        expect(got == wanted, "results for a kit at %s: %s, not %s" % (kit, got, wanted))
    # The flavours: a 64-bit Windows with and without WOW64, a 32-bit one, a 32-bit Python on a 64-bit one.
    with_wow64, without_wow64 = os.path.join(root, "Windows"), os.path.join(root, "WindowsCore")
    os.makedirs(os.path.join(with_wow64, "SysWOW64"))
    os.makedirs(without_wow64)
    for environ, wanted in (({"PROCESSOR_ARCHITECTURE": "AMD64", "SystemRoot": with_wow64}, ["i686", "x86_64"]),
                            ({"PROCESSOR_ARCHITECTURE": "AMD64", "SystemRoot": without_wow64}, ["x86_64"]),
                            ({"PROCESSOR_ARCHITECTURE": "x86", "SystemRoot": without_wow64}, ["i686"]),
                            ({"PROCESSOR_ARCHITECTURE": "x86", "PROCESSOR_ARCHITEW6432": "AMD64",
                              "SystemRoot": with_wow64}, ["i686", "x86_64"])):
        machine = kit_runner.Machine(wine=False, windows=True, environ=environ)
        runs = [f for f in ("i686", "x86_64") if machine.runs(f)]
        expect(runs == wanted, "flavours for %s: %s, not %s" % (environ, runs, wanted))
    # The port check as on Windows: a port with a listener is taken, a free one is free.
    machine = kit_runner.Machine(wine=False, windows=True, environ={"ProgramData": os.path.join(root, "ProgramData")})
    with socket.socket() as listener:
        listener.bind(("127.0.0.1", 0))
        listener.listen()
        taken = listener.getsockname()[1]
        expect(not machine.port_free(taken), "a port with a listener counted as free")
    with socket.socket() as probe:
        probe.bind(("127.0.0.1", 0))
        free = probe.getsockname()[1]
    expect(machine.port_free(free), "a free port counted as taken")
    # The ProgramData clean-up: the run's own folders go, one that was there before stays.
    older = os.path.join(root, "ProgramData", "VAQ-Setup-older")
    os.makedirs(older)
    before = machine.work_folders()
    new = os.path.join(root, "ProgramData", "VAQ-Setup-0123")
    os.makedirs(os.path.join(new, "inner"))
    open(os.path.join(new, "inner", "script.ps1"), "w").close()
    removed = machine.remove_work_folders(before)
    expect(removed == [new] and not os.path.exists(new) and os.path.isdir(older),
           "ProgramData clean-up removed %s" % removed)


def openssl(*args):
    return subprocess.run(["openssl", *args], capture_output=True, text=True)


def check_authority(kit, flavour, scratch, kit_runner):
    """The kit's CA: confined, short-lived, keyless; trusted ungated for its constraints only."""
    dev_service = kit_runner.dev_service
    state = os.path.join(kit, "service-state")
    keys = sorted(os.path.relpath(p, kit) for p in glob.glob(os.path.join(state, "**", "*.key"), recursive=True))
    expect(keys == [os.path.join("service-state", kind, "localhost.key") for kind in sorted(dev_service.AUTHORITIES)],
           "keys in the kit: %s" % keys)
    ca = os.path.join(state, "trusted", "ca.der")
    text = openssl("x509", "-inform", "DER", "-in", ca, "-noout", "-text").stdout
    expect(re.search(r"Name Constraints: critical\s+Permitted:\s+DNS:localhost\s+IP:127\.0\.0\.1/255\.255\.255\.255\s",
                     text), "the kit's CA is not confined to localhost and 127.0.0.1:\n%s" % text)
    dates = dict(line.split("=", 1) for line in openssl("x509", "-inform", "DER", "-in", ca, "-noout",
                                                        "-dates").stdout.split("\n") if "=" in line)
    days = (datetime.datetime.strptime(dates["notAfter"], "%b %d %H:%M:%S %Y GMT") -
            datetime.datetime.strptime(dates["notBefore"], "%b %d %H:%M:%S %Y GMT")).days
    expect(1 <= days <= 7, "the kit's CA is valid for %d days" % days)
    # The constraints hold: a certificate for another name, signed by a CA made the same way, fails.
    other = dev_service.make_authority(Path(scratch, "other-authority"), "trusted")
    openssl("req", "-newkey", "rsa:2048", "-nodes", "-subj", "/CN=example.com", "-keyout", str(other / "site.key"),
            "-out", str(other / "site.csr"))
    openssl("x509", "-req", "-in", str(other / "site.csr"), "-CA", str(other / "ca.pem"), "-CAkey",
            str(other / "ca.key"), "-CAcreateserial", "-days", "1", "-out", str(other / "site.pem"))
    verified = openssl("verify", "-CAfile", str(other / "ca.pem"), str(other / "site.pem"))
    expect(verified.returncode != 0 and "subtree violation" in verified.stdout + verified.stderr,
           "a certificate for example.com under the CA: %s" % (verified.stdout + verified.stderr))
    # The gate: on a protected machine only a confined CA goes in.
    trust_ca = os.path.join(kit, flavour, "trust_ca.exe")
    protected = dict(os.environ, VAQ_PRETEND_NOT_WINE="1")
    isrg = windows_path(os.path.join(kit, "isrg-root-x1.der"))
    expect(wine(trust_ca, isrg, env=protected) == 3, "trust_ca trusted ISRG Root X1 on a protected machine")
    expect(wine(trust_ca, windows_path(ca), env=protected) == 0, "trust_ca refused the kit's CA")
    expect(wine(trust_ca, "--remove", windows_path(ca)) == 0, "trust_ca kept the kit's CA")
    # What an interrupted run leaves: a CA of the kit's name that this kit never made.
    leftover = windows_path(str(other / "ca.der"))
    expect(wine(trust_ca, leftover) == 0, "the leftover CA planted")
    code = run_kit(kit, flavour, os.path.join(scratch, "cleanup"), "--cleanup")
    expect(code == 0, "run.cmd --cleanup: exit code %s" % code)
    expect(wine(trust_ca, "--check", leftover) == 1, "--cleanup left the earlier CA trusted")
    return leftover


def run_kit(kit, flavour, out, *extra):
    """The runner's exit code; its output into out.log."""
    runner = [sys.executable, os.path.join(kit, "runner", "run_kit.py"), "--wine", *extra]
    if "--cleanup" not in extra:
        runner += ["--flavours", flavour, "--out", out]
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
    text = summary(out)
    expect("Machine-changing tests:   skipped (protected machine" in text, "the gate line")
    for line in (r"Kit:\s+commit \S+", r"Python:\s+3\.\d+\.\d+, \d\dbit", r"SChannel TLS 1\.2 client:\s+on \(Enabled",
                 r"SetDefaultDllDirectories: present", r"Windows build:\s+\d+\.\d+\.\d+ "):
        expect(re.search(line, text), "summary line %r" % line)
    found = cases(out)
    gated = [c for c in found if "on a disposable machine (--disposable)" in c[3]]
    expect(any(c[1] == "DistrustedRootStopsBeforeTheNetwork" for c in gated), "the Disallowed store test did not skip")
    passed = [c for c in found if c[2] == "passed" and not c[0] == "kit"]
    expect(not any("Distrusted" in c[1] for c in passed), "a machine-changing test ran")
    installation = [c for c in found if c[0].endswith("installation_tests.InstallationRun")]
    expect(installation and all(c[2] == "skipped" and "no working Windows PowerShell" in c[3] for c in installation),
           "installation tests with Wine's powershell.exe: %s" % installation)
    check_closing_line(out)


def wine_run(kit, flavour, scratch, manifest, leftover):
    out = os.path.join(scratch, "wine")
    trust_ca = os.path.join(kit, flavour, "trust_ca.exe")
    expect(wine(trust_ca, leftover) == 0, "the leftover CA planted")
    code = run_kit(kit, flavour, out, "--programs", ",".join(WINE_RUN), "--roads", ",".join(ROADS))
    expect(wine(trust_ca, "--check", leftover) == 1, "the run left the earlier CA trusted")
    expect(code == 0, "Wine run: exit code %s" % code)
    found = cases(out)
    checks = {c[1]: c[2] for c in found if c[0] == "kit"}
    for name in ("no development CA left by an earlier run", "development service started", "development CA trusted",
                 "development service stopped", "clean-up: development CA no longer trusted",
                 "clean-up: no folder left under ProgramData", "clean-up: ISRG Root X1 trusted as before the run",
                 "clean-up: ISRG Root X1 distrusted as before the run", "clean-up: clipboard put back",
                 "clean-up: the roads' scratch folder removed"):
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
    expect(re.search(r"the PowerShell stand-in's bitness as the installer starts it:\s+%s" %
                     ("64" if flavour == "x86_64" else "32"), text), "the stand-in's bitness observed")
    expect(re.search(r"untrusted certificate:\s+\d+", text), "WinHTTP's untrusted-certificate code observed")
    check_closing_line(out)
    left = glob.glob(os.path.join(os.environ["WINEPREFIX"], "drive_c", "ProgramData", "VAQ-Setup-*"))
    expect(not left, "left under ProgramData: %s" % left)
    # The results: reports and logs, no key, no copy of the programs.
    kept = [p for p in glob.glob(os.path.join(out, "**"), recursive=True)
            if p.endswith((".key", ".pem", ".der", ".exe", ".dll"))]
    expect(not kept, "the results hold %s" % kept[:5])


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
    kit_runner, standin_script = import_kit(options.kit)
    check_powershell_2(options.kit, kit_runner, standin_script)
    check_windows_branches(kit_runner, options.scratch)
    leftover = check_authority(options.kit, options.flavour, options.scratch, kit_runner)
    protected_run(options.kit, options.flavour, options.scratch, manifest)
    wine_run(options.kit, options.flavour, options.scratch, manifest, leftover)
    print("%d failed checks" % len(failures) if failures else "the kit's runner passed its own test")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
