#!/usr/bin/env python3
"""Runs the kit's Windows tests on the machine it is on: starts the development service, trusts
its CA, runs every test program and road the machine allows, cleans up and checks the clean-up,
then writes junit.xml and summary.txt into the results folder.

    run.cmd [--disposable] [--out DIR]          on Windows, from an elevated prompt
    run.cmd --cleanup                           only takes away a CA an interrupted run left trusted
    python3 kit/run_kit.py --wine --out DIR      the kit's own test, inside a Wine session

Without --disposable nothing that changes the machine runs: such tests report themselves
skipped. The development CA is trusted for the run's length without it: its name constraints
confine it to localhost and 127.0.0.1. Python 3.8 is the oldest this runs on (the last one for
Windows 7).
"""
import argparse
import datetime
import glob
import json
import os
import secrets
import shutil
import socket
import platform
import subprocess
import sys
import tempfile
import time
import xml.etree.ElementTree as ET
from pathlib import Path

KIT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
sys.path.insert(0, os.path.join(KIT, "tools", "dev_service"))
import dev_service  # noqa: E402  (the kit's copy, beside the runner)

CODE = "4711"
RESULTS = "vaq-kit-results"
POWERSHELL_VERSION = "$PSVersionTable.PSVersion.ToString()"
PROGRAM_TIMEOUT = 900
ROAD_TIMEOUT = 1800

OBSERVED = [  # (gtest property, what it tells)
    ("work_directory_sddl", "work folder's DACL"),
    ("powershell_bitness", "{powershell}'s bitness as the installer starts it"),
    ("winhttp_error_cut_content_length", "WinHTTP's code for a body cut short of its Content-Length"),
    ("winhttp_error_cut_chunked", "WinHTTP's code for a chunked body cut before its last chunk"),
    ("winhttp_error_untrusted_certificate", "WinHTTP's code for an untrusted certificate"),
    ("error_box_lines", "the error box's line count for a text of two CR LF lines"),
]


def default_results(kit, profile):
    """Beside the kit, or under the user's profile where the kit's folder cannot be written (a
    read-only share, a Sandbox's mapped folder); never the current folder, which for an elevated
    prompt is the system folder."""
    for folder in (os.path.join(os.path.dirname(os.path.abspath(kit)), RESULTS), os.path.join(profile, RESULTS)):
        try:
            os.makedirs(folder, exist_ok=True)
            tempfile.TemporaryFile(dir=folder).close()
            return folder
        except OSError:
            continue
    raise SystemExit("no folder for the results beside the kit or under %s: give one with --out" % profile)


class Machine:
    """How programs are started and how paths look to them: directly on Windows, through Wine
    (whose drive Z: is the Unix file system) for the kit's own test. What Windows alone decides
    (the port check, the flavours, ProgramData) reads windows and environ, which the kit's own
    test sets to try those branches."""

    def __init__(self, wine, windows=os.name == "nt", environ=os.environ):
        self.wine = wine
        self.windows = windows
        self.environ = environ

    def command(self, program, *args):
        return (["wine"] if self.wine else []) + [program, *args]

    def path(self, local):
        return "Z:" + local.replace("/", "\\") if self.wine else local

    def program_data(self):
        if self.wine:
            return os.path.join(self.environ["WINEPREFIX"], "drive_c", "ProgramData")
        return self.environ.get("ProgramData", r"C:\ProgramData")

    def runs(self, flavour):
        """Whether this machine runs the flavour's programs; under Wine the session decides."""
        if self.wine:
            return True
        native_64 = self.environ.get("PROCESSOR_ARCHITECTURE", "").upper() == "AMD64" or \
            "PROCESSOR_ARCHITEW6432" in self.environ
        wow64 = os.path.isdir(os.path.join(self.environ.get("SystemRoot", r"C:\Windows"), "SysWOW64"))
        return {"x86_64": native_64, "i686": not native_64 or wow64}.get(flavour, False)

    def port_free(self, port=443):
        with socket.socket() as probe:
            # Linux keeps a closed listener's port from a plain bind while its connections wait
            # out TIME_WAIT; on Windows the option would mean taking a port in use.
            if not self.windows:
                probe.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
            try:
                probe.bind(("127.0.0.1", port))
                return True
            except OSError:
                return False

    def work_folders(self):
        """The installer's per-run folders under ProgramData."""
        return glob.glob(os.path.join(self.program_data(), "VAQ-Setup-*"))

    def remove_work_folders(self, before):
        """Removes the per-run folders that were not there before; returns them."""
        left = sorted(set(self.work_folders()) - set(before))
        for folder in left:
            shutil.rmtree(folder, ignore_errors=True)
        return left

    def run(self, program, *args, timeout=120, env=None, cwd=None, log=None):
        """Exit code, or None when the program did not end in time (it is killed)."""
        with open(log or os.devnull, "ab") as out:
            try:
                return subprocess.run(self.command(program, *args), stdout=out, stderr=subprocess.STDOUT,
                                      stdin=subprocess.DEVNULL, timeout=timeout, env=env, cwd=cwd).returncode
            except subprocess.TimeoutExpired:
                return None


def remove_leftover_authorities(machine, trust_ca, log):
    """Takes every CA of the kit's names out of the machine's trusted roots, whichever kit or run
    left it (trust_ca names each in the log); the first failing exit code, else 0."""
    codes = [machine.run(trust_ca, "--remove-named", name, log=log) for name in dev_service.AUTHORITIES.values()]
    return next((code for code in codes if code != 0), 0)


def cleanup(machine, manifest):
    """run.cmd --cleanup: only the CAs an interrupted run left trusted."""
    flavour = next((f for f in manifest["flavours"] if machine.runs(f)), None)
    if flavour is None:
        print("this Windows runs none of the kit's programs")
        return 1
    log = os.path.join(tempfile.gettempdir(), "vaq-kit-cleanup.log")
    code = remove_leftover_authorities(machine, os.path.join(KIT, flavour, "trust_ca.exe"), log)
    with open(log, encoding="utf-8", errors="replace") as f:
        print(f.read() + ("no development CA is trusted now" if code == 0 else "the clean-up failed"))
    os.remove(log)
    return code


class Report:
    """Every result of the run, as JUnit test cases in suites."""

    def __init__(self):
        self.root = ET.Element("testsuites", name="vaq-windows-kit")
        self.checks = self.suite("kit")

    def suite(self, name):
        return ET.SubElement(self.root, "testsuite", name=name)

    @staticmethod
    def xml_text(text):
        """Text without the characters XML 1.0 cannot hold (a crashed program's output may have them)."""
        return "".join(c if c in "\t\n\r" or " " <= c <= "\ud7ff" or "\ue000" <= c <= "\ufffd" else "?"
                       for c in text)

    def case(self, suite, name, failure=None, skipped=None, seconds=0.0):
        case = ET.SubElement(suite, "testcase", name=name, classname=suite.get("name"),
                             time="%.3f" % seconds)
        if failure is not None:
            failure = self.xml_text(failure)
            ET.SubElement(case, "failure", message=failure.splitlines()[0] if failure else "").text = failure
        elif skipped is not None:
            ET.SubElement(case, "skipped", message=skipped)
        return case

    def check(self, name, ok, message=""):
        self.case(self.checks, name, failure=None if ok else (message or "failed"))
        print(("PASS " if ok else "FAIL ") + name + ("" if ok or not message else ": " + message), flush=True)
        return ok

    def merge(self, path, prefix):
        """The suites of a JUnit file (a test program's or the roads'), renamed under prefix;
        False when there is no readable file."""
        try:
            tree = ET.parse(path)
        except (OSError, ET.ParseError):
            return False
        for suite in tree.getroot().iter("testsuite"):
            merged = self.suite(prefix + "." + suite.get("name", "?"))
            for case in suite.iter("testcase"):
                case.set("classname", merged.get("name"))
                merged.append(case)
        return True

    def cases(self):
        for suite in self.root.iter("testsuite"):
            for case in suite.iter("testcase"):
                yield suite, case

    @staticmethod
    def outcome(case):
        if case.find("failure") is not None or case.find("error") is not None:
            return "failed"
        return "skipped" if case.find("skipped") is not None else "passed"

    def properties(self, suite_prefix):
        """Test properties recorded by the programs of one flavour, by name."""
        found = {}
        for suite, case in self.cases():
            if not suite.get("name", "").startswith(suite_prefix):
                continue
            for prop in case.iter("property"):
                found[prop.get("name")] = prop.get("value")
        return found

    def write(self, path):
        for suite in self.root.iter("testsuite"):
            outcomes = [self.outcome(case) for case in suite.iter("testcase")]
            suite.set("tests", str(len(outcomes)))
            suite.set("failures", str(outcomes.count("failed")))
            suite.set("skipped", str(outcomes.count("skipped")))
        ET.ElementTree(self.root).write(path, encoding="utf-8", xml_declaration=True)


class Run:
    def __init__(self, options):
        self.options = options
        self.machine = Machine(options.wine)
        self.out = os.path.abspath(options.out or default_results(KIT, os.path.expanduser("~")))
        self.report = Report()
        self.manifest = json.load(open(os.path.join(KIT, "manifest.json"), encoding="utf-8"))
        self.service = None
        self.facts = {}
        self.flavours = []
        self.cleanups = []
        self.grant = secrets.token_hex(32)
        # What the programs are told about the machine (tools/common/machine_gate_win.h).
        self.environment = dict(os.environ)
        if options.disposable:
            self.environment["VAQ_DISPOSABLE_MACHINE"] = "1"
        if options.pretend_not_wine:
            self.environment["VAQ_PRETEND_NOT_WINE"] = "1"
        # The roads' scratch (installer copies named with the grant) stays in the results, and goes.
        self.session = os.path.join(self.out, "session")
        self.environment["VAQ_SESSION_DIR"] = self.session

    # --- before ---------------------------------------------------------------------------

    def tool(self, name, flavour=None):
        return os.path.join(self.out, "work", flavour or self.flavours[0], name)

    def prepare(self):
        """Copies the programs where they may write (the kit itself may be read-only) and learns
        the machine; False when the run cannot go on."""
        os.makedirs(self.out, exist_ok=True)
        report = self.report
        report.check("Python 3.8 or later", sys.version_info >= (3, 8), sys.version)
        self.flavours = self.runnable_flavours()
        if not report.check("a flavour this machine runs", bool(self.flavours)):
            return False
        state = Path(KIT, "service-state", "trusted")
        if not report.check("the kit's development CA is current", not dev_service.authority_expired(state),
                            "it ends %s UTC or within a day: build a new kit" % self.ca_end(state)):
            return False
        for flavour in self.flavours:
            work = os.path.join(self.out, "work", flavour)
            if os.path.isdir(work):
                shutil.rmtree(work)
            shutil.copytree(os.path.join(KIT, flavour), work)
        facts_file = os.path.join(self.out, "machine-facts.json")
        code = self.machine.run(self.tool("machine_facts.exe"), self.machine.path(facts_file), env=self.environment)
        if not report.check("machine facts read", code == 0, "machine_facts.exe exit code %s" % code):
            return False
        self.facts = json.load(open(facts_file, encoding="utf-8"))
        self.facts["powershell_version"] = self.powershell_version()
        if not report.check("elevated", self.facts["elevated"], "run run.cmd from an elevated prompt"):
            return False
        if not report.check("port 443 free", self.machine.port_free(),
                            "another program listens on port 443; `netstat -abno | findstr :443` in an elevated "
                            "prompt names it (the last column is its process id)"):
            return False
        return report.check("no development CA left by an earlier run", self.remove_leftover_authorities() == 0,
                            "see trust.log")

    @staticmethod
    def ca_end(state):
        try:
            return (state / dev_service.NOT_AFTER).read_text().strip()
        except OSError:
            return "at an unknown time"

    def runnable_flavours(self):
        wanted = self.options.flavours.split(",") if self.options.flavours else list(self.manifest["flavours"])
        for flavour in wanted:
            if not self.machine.runs(flavour):
                self.report.case(self.report.checks, "flavour " + flavour,
                                 skipped="this Windows cannot run the %s programs" % flavour)
        return [f for f in wanted if self.machine.runs(f)]

    def remove_leftover_authorities(self):
        return remove_leftover_authorities(self.machine, self.tool("trust_ca.exe"), os.path.join(self.out, "trust.log"))

    def powershell_version(self):
        log = os.path.join(self.out, "powershell-version.txt")
        if os.path.exists(log):
            os.remove(log)
        code = self.machine.run(self.facts["powershell_path"], "-NoProfile", "-NonInteractive", "-Command",
                                POWERSHELL_VERSION, timeout=120, log=log)
        text = open(log, encoding="utf-8", errors="replace").read().strip() if os.path.exists(log) else ""
        return text.splitlines()[-1] if code == 0 and text else "no answer (exit code %s)" % code

    def start_service(self):
        # Read where it is: the kit holds the service's certificate and key and the CAs'
        # certificates, none of which goes into the results.
        state = os.path.join(KIT, "service-state")
        control = os.path.join(self.out, "control")
        shutil.rmtree(control, ignore_errors=True)
        os.makedirs(control)
        self.service_log = open(os.path.join(self.out, "service.log"), "ab")
        self.service = subprocess.Popen(
            [sys.executable, os.path.join(KIT, "tools", "dev_service", "dev_service.py"), "--port", "443", "--state", state,
             "--control", control, "--code", CODE, "--grant", self.grant],
            stdout=self.service_log, stderr=subprocess.STDOUT, stdin=subprocess.DEVNULL)
        self.cleanups.append(self.stop_service)
        answers = False
        for _ in range(300):
            answers = self.port_answers()
            if answers or self.service.poll() is not None:
                break
            time.sleep(0.1)
        if not self.report.check("development service started", answers, "see service.log"):
            return False
        self.ca = os.path.join(state, "trusted", "ca.der")
        # Local paths, as scripts/with-dev-service.sh gives them: the programs and the roads read
        # a Unix one as Wine shows it.
        self.environment.update(VAQ_DEV_SERVICE_CONTROL=control, VAQ_DEV_SERVICE_CA=self.ca,
                                VAQ_DEV_SERVICE_UNTRUSTED_CA=os.path.join(state, "untrusted", "ca.der"),
                                VAQ_DEV_SERVICE_CODE=CODE, VAQ_DEV_SERVICE_GRANT=self.grant)
        return True

    def trust(self):
        self.isrg = os.path.join(KIT, "isrg-root-x1.der")
        self.isrg_before = self.trust_ca("--check", self.isrg) == 0
        self.isrg_distrusted_before = self.trust_ca("--check-distrusted", self.isrg) == 0
        self.work_folders_before = self.machine.work_folders()
        # In the session folder, which goes at the end: it may hold what the person copied.
        os.makedirs(self.session, exist_ok=True)
        self.clipboard = os.path.join(self.session, "clipboard-before.bin")
        self.clipboard_saved = self.driver("clipboard-save", self.machine.path(self.clipboard)) == 0
        self.cleanups.append(self.restore)
        return self.report.check("development CA trusted", self.trust_ca(self.ca) == 0)

    def trust_ca(self, *args):
        args = [a if a.startswith("--") else self.machine.path(a) for a in args]
        return self.machine.run(self.tool("trust_ca.exe"), *args, env=self.environment)

    def driver(self, *args):
        return self.machine.run(self.tool("desktop_driver.exe"), *args)

    # --- the tests --------------------------------------------------------------------------

    def programs(self, flavour):
        selected = self.options.programs.split(",") if self.options.programs else None
        work = os.path.join(self.out, "work", flavour)
        results = os.path.join(self.out, flavour)
        os.makedirs(results, exist_ok=True)
        suite = self.report.suite(flavour + ".programs")
        accessible = self.machine.run(os.path.join(work, "accessibility_probe.exe")) == 0
        for program in self.manifest["programs"]:
            name = program["name"]
            reason = self.reason_to_skip(program, accessible)
            if selected is not None and name not in selected:
                reason = "not selected in this run"
            if reason:
                self.report.case(suite, name, skipped=reason)
                continue
            xml = os.path.join(results, name + ".xml")
            log = os.path.join(results, name + ".log")
            started = time.time()
            print("RUN  %s %s" % (flavour, name), flush=True)
            # gtest takes its arguments in the ANSI code page, which cannot spell every profile
            # path: the report's path is relative to the folder the program starts in.
            code = self.machine.run(os.path.join(work, name + ".exe"), "--gtest_color=no",
                                    "--gtest_output=xml:" + os.path.basename(xml), timeout=PROGRAM_TIMEOUT,
                                    env=self.environment, cwd=results, log=log)
            merged = self.report.merge(xml, flavour + "." + name)
            if code != 0 or not merged:
                tail = open(log, encoding="utf-8", errors="replace").read()[-4000:]
                self.report.case(suite, name, seconds=time.time() - started,
                                 failure="%s: exit code %s%s\n%s" % (name, code, "" if merged else ", no report", tail))
            else:
                self.report.case(suite, name, seconds=time.time() - started)

    def reason_to_skip(self, program, accessible):
        session = program.get("session")
        if session == "--without-localhost":
            return "needs a hosts file without localhost, which only a private Wine session gives"
        if session and self.options.wine:
            return "needs a private Wine session of its own; the Wine suite runs it"
        if program["name"] == "accessibility_tests" and not accessible:
            return "no standard accessibility proxy here (accessibility_probe.exe)"
        return None

    def roads(self, flavour):
        selected = self.options.roads.split(",") if self.options.roads else [None]
        if selected == ["none"]:
            self.report.case(self.report.suite(flavour + ".e2e_roads"), "roads", skipped="not selected in this run")
            return
        work = os.path.join(self.out, "work", flavour)
        results = os.path.join(self.out, flavour)
        runs = [("e2e_roads", [])]
        if not self.options.roads:
            runs.append(("e2e_planted_dlls", ["--planted-dll", os.path.join(work, "marker.dll")]))
        for name, extra in runs:
            for road in selected:
                tag = name + ("-" + road if road else "")
                junit = os.path.join(results, tag + ".xml")
                command = [sys.executable, os.path.join(KIT, "tests", "e2e", "run_e2e.py"),
                           "--exe", os.path.join(work, "VAQ-Setup.exe"),
                           "--standin", os.path.join(work, "powershell_standin.exe"),
                           "--install-standin", os.path.join(work, "install_standin.exe"),
                           "--trust-ca", os.path.join(work, "trust_ca.exe"),
                           "--screen-reader", os.path.join(work, "screen_reader.exe"),
                           "--driver", os.path.join(work, "desktop_driver.exe"),
                           "--artifacts", os.path.join(results, tag + "-artifacts"),
                           "--junit", junit, "--suite-name", name, *extra]
                if road:
                    command += ["-k", road]
                if self.options.disposable:
                    command.append("--disposable")
                print("RUN  %s %s" % (flavour, tag), flush=True)
                with open(os.path.join(results, tag + ".log"), "ab") as log:
                    try:
                        code = subprocess.run(command, stdout=log, stderr=subprocess.STDOUT, stdin=subprocess.DEVNULL,
                                              env=self.environment, timeout=ROAD_TIMEOUT).returncode
                    except subprocess.TimeoutExpired:
                        code = None
                if not self.report.merge(junit, flavour) or code not in (0, 1):
                    self.report.case(self.report.suite(flavour + "." + name), tag,
                                     failure="the roads ended with %s; see %s.log" % (code, tag))

    def relaunch_road(self, flavour):
        """A standard user with UAC off: the installer cannot elevate, so exactly one relaunch is
        started, which ends with 1."""
        suite = self.report.suite(flavour + ".relaunch")
        name = "standard_user_with_uac_off"
        if self.options.wine:
            reason = "needs a real Windows: Wine has no UAC and no standard user"
        elif not self.options.disposable:
            reason = "creates a local user; runs only on a disposable machine (--disposable)"
        elif self.facts["uac_enabled"]:
            reason = "UAC is on; the road needs it off (EnableLUA=0, then a restart)"
        else:
            reason = None
        if reason:
            self.report.case(suite, name, skipped=reason)
            return
        out = os.path.join(self.out, flavour, "relaunch.json")
        started = time.time()
        code = self.machine.run(self.tool("relaunch_probe.exe", flavour), self.tool("VAQ-Setup.exe", flavour), out,
                                timeout=180)
        seen = json.load(open(out, encoding="utf-8")) if code == 0 else {"error": "exit code %s" % code}
        expected = {"ended": True, "first_exit": 0, "relaunches": 1, "relaunch_exits": [1]}
        ok = all(seen.get(key) == value for key, value in expected.items())
        self.report.case(suite, name, seconds=time.time() - started,
                         failure=None if ok else "expected %s, saw %s" % (expected, seen))

    # --- after ------------------------------------------------------------------------------

    def stop_service(self):
        self.service.terminate()
        try:
            self.service.wait(timeout=20)
        except subprocess.TimeoutExpired:
            self.service.kill()
            self.service.wait()
        self.service_log.close()
        self.report.check("development service stopped", not self.port_answers(), "port 443 still answers")

    @staticmethod
    def port_answers():
        try:
            socket.create_connection(("127.0.0.1", 443), timeout=1).close()
            return True
        except OSError:
            return False

    def restore(self):
        """Puts the machine back as the run found it, and checks it."""
        report = self.report
        self.trust_ca("--remove", self.ca)
        report.check("clean-up: development CA no longer trusted", self.trust_ca("--check", self.ca) == 1)
        if not self.isrg_before and self.trust_ca("--check", self.isrg) == 0:
            # The installer adds "ISRG Root X1" where it is missing; the run takes it out again.
            self.trust_ca("--remove", self.isrg)
        report.check("clean-up: ISRG Root X1 trusted as before the run",
                     (self.trust_ca("--check", self.isrg) == 0) == self.isrg_before)
        report.check("clean-up: ISRG Root X1 distrusted as before the run",
                     (self.trust_ca("--check-distrusted", self.isrg) == 0) == self.isrg_distrusted_before)
        left = self.machine.remove_work_folders(self.work_folders_before)
        report.check("clean-up: no folder left under ProgramData", not left, "left and removed: %s" % left)
        restored = self.clipboard_saved and self.driver("clipboard-restore", self.machine.path(self.clipboard)) == 0
        report.check("clean-up: clipboard put back", restored)
        shutil.rmtree(self.session, ignore_errors=True)
        report.check("clean-up: the roads' scratch folder removed", not os.path.exists(self.session))

    # --- the report -------------------------------------------------------------------------

    def summary(self):
        facts = self.facts
        manifest = self.manifest
        lines = ["VAQ Windows kit, run %s" % datetime.datetime.now().strftime("%Y-%m-%d %H:%M"),
                 "  Kit:                      commit %s, built %s" % (manifest.get("commit", "unknown"),
                                                                     manifest.get("built", "at an unknown time")),
                 "  Python:                   %s, %s" % (platform.python_version(), platform.architecture()[0]),
                 "", "This machine"]
        if facts:
            wow64 = "available" if facts["wow64_available"] else "not available"
            kb2533623 = "present" if facts["set_default_dll_directories"] else "missing (Windows 7 without KB2533623)"
            lines += [
                "  Windows build:            %s%s" % (facts["windows_build"], " (Wine)" if facts["wine"] else ""),
                "  WOW64:                    %s" % wow64,
                "  SetDefaultDllDirectories: %s" % kb2533623,
                "  SChannel TLS 1.2 client:  %s" % self.tls12_line(),
                "  Windows PowerShell:       %s, version %s" % (facts["powershell_path"], facts["powershell_version"]),
                "  UAC:                      %s" % ("on" if facts["uac_enabled"] else "off"),
                "  DPI:                      %s" % facts["system_dpi"],
                "  Microsoft YaHei UI font:  %s" % ("installed" if facts["yahei_ui_font"] else "missing"),
                "  Machine-changing tests:   %s" % self.gate_line(),
            ]
        # Under Wine the installer starts the stand-in, not PowerShell.
        powershell = "the PowerShell stand-in" if facts.get("wine") else "PowerShell"
        for flavour in self.flavours:
            lines += ["", "Observed by the %s programs" % flavour]
            observed = self.report.properties(flavour + ".")
            for key, what in OBSERVED:
                lines.append("  %-60s %s" % (what.format(powershell=powershell) + ":", observed.get(key, "not observed")))
        counts = {"passed": 0, "failed": 0, "skipped": 0}
        failed, skipped = [], {}
        for suite, case in self.report.cases():
            outcome = Report.outcome(case)
            counts[outcome] += 1
            name = "%s: %s" % (suite.get("name"), case.get("name"))
            if outcome == "failed":
                failed.append(name)
            elif outcome == "skipped":
                # gtest puts the file and line of the skip before its reason.
                reason = (case.find("skipped").get("message") or "").strip().splitlines()
                skipped.setdefault(reason[-1] if reason else "no reason given", []).append(name)
        if failed:
            lines += ["", "Failed"] + ["  " + name for name in failed]
        if skipped:
            lines += ["", "Skipped"]
            for reason, names in sorted(skipped.items()):
                lines.append("  %s (%d): %s" % (reason, len(names), ", ".join(names[:6]) + (" ..." if len(names) > 6 else "")))
        lines += ["", "%(passed)d passed, %(failed)d failed, %(skipped)d skipped" % counts]
        return "\n".join(lines) + "\n", counts

    def tls12_line(self):
        """The installer asks WinHTTP for TLS 1.2 by name, so only Enabled = 0 turns it off."""
        enabled, by_default = self.facts["tls12_client_enabled"], self.facts["tls12_client_disabled_by_default"]
        setting = "Enabled %s, DisabledByDefault %s" % tuple("not set" if v is None else v for v in (enabled, by_default))
        return "%s (%s)" % ("off" if enabled == 0 else "on", setting)

    def gate_line(self):
        gate = self.facts["gate"]
        if gate == "protected machine":
            return "skipped (protected machine; --disposable runs them)"
        return "run (%s)" % gate

    def finish(self):
        for cleanup in reversed(self.cleanups):
            try:
                cleanup()
            except Exception as error:  # a failed clean-up step must not hide the others
                self.report.check("clean-up step %s" % cleanup.__name__, False, repr(error))
        # The programs' copies, last: the clean-up steps above run some of them.
        shutil.rmtree(os.path.join(self.out, "work"), ignore_errors=True)
        self.report.write(os.path.join(self.out, "junit.xml"))
        text, counts = self.summary()
        with open(os.path.join(self.out, "summary.txt"), "w", encoding="utf-8") as f:
            f.write(text)
        print(text, end="")
        return 1 if counts["failed"] else 0


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--disposable", action="store_true",
                        help="the machine may be changed: run the tests that change it")
    parser.add_argument("--out", help="where the results go (default: %s beside the kit, or in your profile "
                                      "folder when the kit's folder cannot be written)" % RESULTS)
    parser.add_argument("--cleanup", action="store_true",
                        help="only take away a development CA that an interrupted run left trusted")
    parser.add_argument("--wine", action="store_true", help="run the programs through Wine (the kit's own test)")
    parser.add_argument("--flavours", help="comma-separated, of the manifest's (default: all this machine runs)")
    parser.add_argument("--programs", help="comma-separated test programs to run (default: all)")
    parser.add_argument("--roads", help="comma-separated road names to run, or none (default: all, also planted)")
    parser.add_argument("--pretend-not-wine", action="store_true",
                        help="the programs take Wine for a real machine (tests the safety gate)")
    options = parser.parse_args()
    if options.cleanup:
        return cleanup(Machine(options.wine), json.load(open(os.path.join(KIT, "manifest.json"), encoding="utf-8")))
    run = Run(options)
    try:
        if run.prepare() and run.start_service() and run.trust():
            for flavour in run.flavours:
                run.programs(flavour)
                run.roads(flavour)
                run.relaunch_road(flavour)
    finally:
        code = run.finish()
    return code


if __name__ == "__main__":
    sys.exit(main())
