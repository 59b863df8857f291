#!/usr/bin/env python3
"""End-to-end runs of the real installer against the development installation service, driven
with the keyboard and mouse: under Wine and Xvfb with the PowerShell stand-in, or on a Windows
desktop with Windows PowerShell.

    run_e2e.py --exe VAQ-Setup.exe --standin powershell_standin.exe
               --install-standin install_standin.exe --trust-ca trust_ca.exe
               --screen-reader screen_reader.exe --artifacts DIR [-k name] [--planted-dll marker.dll]
               [--driver desktop_driver.exe] [--disposable] [--junit FILE] [--suite-name NAME]

Under Wine it runs inside scripts/wine-session.sh and scripts/with-dev-service.sh and works the
desktop with xdotool, or with desktop_driver.exe when --driver names it. On Windows it needs
--driver, an elevated prompt (the installer asks for administrator rights, and Windows drops
the input of a less privileged process) and the development service's variables
(VAQ_DEV_SERVICE_*). There a road that changes the machine (its settings or trusted roots) runs
only with --disposable (or VAQ_DISPOSABLE_MACHINE=1); otherwise it is reported skipped, with
the reason. The clipboard's text is put back at the end.

Each road saves a screenshot of every page it passes in DIR and reads the page as a screen
reader does (over MSAA, from another process that reads all the time). Roads wait on what the
installer shows, never on elapsed time: a program may start in 8 s on an emulated or loaded
machine, so a limit is only how long a road waits for a state before it fails. With --planted-dll every road also runs with that
DLL copied beside the exe under the names of system libraries, which Wine is told to look for
there first (as Windows does for a DLL that is not a KnownDLL); no road may load one.
"""
import argparse
import collections
import glob
import json
import os
import re
import subprocess
import sys
import tempfile
import time
import traceback
import xml.etree.ElementTree as ElementTree

import screen_reader
from desktop import (ON_WINDOWS, DriverDesktop, Installer, X11Desktop, wait_until, windows_command,
                     windows_path)
from standin_script import standin_script

CONTROL = os.environ.get("VAQ_DEV_SERVICE_CONTROL", "")
CODE = os.environ.get("VAQ_DEV_SERVICE_CODE", "")
GRANT = os.environ.get("VAQ_DEV_SERVICE_GRANT", "")
PREFIX = os.environ.get("WINEPREFIX", "")
SCRATCH = os.path.join(os.environ.get("VAQ_SESSION_DIR", tempfile.gettempdir()), "e2e")

# Sizes and points at 96 DPI; a road expects them at its window's DPI (Road.scaled).
ENTER_CODE_SIZE = (496, 364)
PAGE_SIZE = (496, 328)
FAILURE_SIZE = (576, 476)
COPY_BUTTON = (104, 414)
DESKTOP_KEY = r"HKCU\Control Panel\Desktop"
MARKER = "[已隐藏凭证]"
# How long a road waits for a page, an exit or the clipboard before it fails.
PATIENCE = 120
# What the countdowns show on the primary button.
CONFIRM_COUNTDOWN = re.compile(r"继续（([1-3]) 秒）")
SUCCESS_COUNTDOWN = re.compile(r"关闭（([1-6]) 秒）")


def preloaded_libraries():
    """The libraries start-up and the first network call load by full system path, from the
    program's own table: each must be planted, and none may leave a marker."""
    table = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "base",
                         "preloaded_libraries_win.cpp")
    names = re.findall(r'\{L"(\w+)\.dll", PreloadTime::', open(table, encoding="utf-8").read())
    assert names, f"no preloaded libraries found in {table}"
    return names


def control_ids():
    """The controls' ids, from the program's own header; the error box has none (0)."""
    header = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "base", "setup_context.h")
    ids = {name: int(value) for name, value in
           re.findall(r"constexpr int (IDC_\w+) = (\d+);", open(header, encoding="utf-8").read())}
    assert {"IDC_PRIMARY", "IDC_CANCEL", "IDC_COPY_ERROR"} <= ids.keys(), f"control ids in {header}: {ids}"
    return ids


IDS = control_ids()
IDC_PRIMARY, IDC_CANCEL, IDC_COPY_ERROR, IDC_ERROR_BOX = (IDS["IDC_PRIMARY"], IDS["IDC_CANCEL"],
                                                          IDS["IDC_COPY_ERROR"], 0)

# Libraries that are not KnownDLLs: those the program preloads, its own (winhttp and crypt32,
# bound by full path on first use; oleacc, loaded on a screen reader's first request, and every
# road reads its pages) and others a system library could load on its behalf for
# windows, TLS, certificates, names and processes.
PLANTED_DLLS = preloaded_libraries() + [
    "winhttp", "crypt32", "oleacc", "msasn1", "wintrust", "sspicli", "winnsi", "dhcpcsvc", "mswsock",
    "comctl32", "propsys", "profapi", "userenv", "winmm", "dbghelp", "windowscodecs", "apphelp",
    "textinputframework", "coremessaging", "wtsapi32", "powrprof"]
# Not planted: what Wine loads before the program's first instruction, which no program can
# prevent: its imports (kernel32, user32, gdi32, shell32, msvcrt) and theirs (kernelbase,
# sechost, advapi32, shlwapi, shcore, imm32, and Wine's own ucrtbase, win32u, zlib1 and version;
# version serves as the control below); KnownDLLs that the program or Wine load later (ole32,
# rpcrt4, combase, oleaut32, ws2_32, nsi), which Windows never looks for beside the exe; and
# Wine's display driver (winex11.drv), which Windows has no counterpart of.
CONTROL_DLL = "version"


def under_wine():
    """Whether the machine is a throwaway Wine prefix. VAQ_PRETEND_NOT_WINE=1 makes a run under
    Wine take the road of a real machine, to try that road."""
    return not ON_WINDOWS and os.environ.get("VAQ_PRETEND_NOT_WINE") != "1"


def run_windows(*args, output=None):
    """Runs a Windows program; returns its exit code. What it prints goes to the file output,
    or to the tools' log."""
    with open(output or os.path.join(SCRATCH, "windows-tools.log"), "wb" if output else "ab") as out:
        return subprocess.run(windows_command(*args), stdout=out, stderr=subprocess.STDOUT,
                              stdin=subprocess.DEVNULL).returncode


def run_windows_checked(*args):
    code = run_windows(*args)
    expect(code == 0, f"{' '.join(args)} exited with {code}")


def registry_dword(key, name):
    """The DWORD value, or None when there is none."""
    out = os.path.join(SCRATCH, "reg-query.txt")
    if run_windows("reg", "query", key, "/v", name, output=out) != 0:
        return None
    with open(out, "rb") as f:
        for fields in (line.split() for line in f.read().decode("ascii", "replace").splitlines()):
            if len(fields) == 3 and fields[0].lower() == name.lower() and fields[1] == "REG_DWORD":
                return int(fields[2], 0)
    return None


def set_registry_dword(key, name, value):
    """Sets the DWORD value, or deletes it when value is None."""
    if value is None:
        run_windows_checked("reg", "delete", key, "/v", name, "/f")
    else:
        run_windows_checked("reg", "add", key, "/v", name, "/t", "REG_DWORD", "/d", str(value), "/f")


def changes_machine(what):
    """Marks a road that changes the machine it runs on; it runs only where that may happen."""
    def mark(road):
        road.changes = what
        return road
    return mark


def wine_only(why):
    """Marks a road that shows something only Wine lets a run bring about; elsewhere it is
    skipped with the reason."""
    def mark(road):
        road.wine_only = why
        return road
    return mark


# --- the service --------------------------------------------------------------------------

def service_reply(reply):
    path = os.path.join(CONTROL, "reply.json")
    if reply is None:
        if os.path.exists(path):
            os.remove(path)
    else:
        with open(path, "w") as f:
            json.dump(reply, f)


def bootstrap_script(text):
    with open(os.path.join(CONTROL, "bootstrap.ps1"), "wb") as f:
        f.write(text.encode("utf-8"))


def received():
    path = os.path.join(CONTROL, "received.jsonl")
    if not os.path.exists(path):
        return []
    with open(path) as f:
        return [json.loads(line) for line in f if line.strip()]


def reset_service():
    service_reply(None)
    for name in ("received.jsonl", "bootstrap.ps1"):
        path = os.path.join(CONTROL, name)
        if os.path.exists(path):
            os.remove(path)


def work_directories():
    """The installer's per-run folders."""
    program_data = os.environ["ProgramData"] if ON_WINDOWS else os.path.join(PREFIX, "drive_c", "ProgramData")
    return glob.glob(os.path.join(program_data, "VAQ-Setup-*"))


# --- one run --------------------------------------------------------------------------------

class Road:
    def __init__(self, options, name, file_name="VAQ-Setup.exe", planted=PLANTED_DLLS, script=None, reply=None,
                 subfolder=""):
        """script: the bootstrap script the service serves; reply: how it answers instead
        (service_reply). Both are in place before the installer starts. subfolder: where the exe
        lies inside the road's own folder."""
        self.options = options
        self.desktop = options.desktop
        self.name = name
        self.shots = 0
        self.heard = 0  # the screen reader's readings up to the one last taken
        reset_service()
        if script is not None:
            bootstrap_script(script)
        service_reply(reply)
        beside = {}
        if options.planted_dll:
            self.markers = os.path.join(SCRATCH, name + "-markers")
            os.makedirs(self.markers, exist_ok=True)
            os.environ["VAQ_DLL_MARKERS"] = windows_path(self.markers)
            beside = {f"{dll}.dll": options.planted_dll for dll in planted}
        folder = os.path.join(SCRATCH, name)
        os.makedirs(folder, exist_ok=True)
        # A confirmation page lasts three seconds, however long programs take to start: the
        # screen reader is there before the window is.
        self.listener = screen_reader.Listener(options.screen_reader, folder)
        self.installer = None
        try:
            self.listener.wait_ready(PATIENCE)
            self.installer = Installer(self.desktop, options.exe, os.path.join(folder, subfolder), file_name, SCRATCH,
                                       beside)
            self.installer.wait_window(PATIENCE)
            self.dpi = window_dpi(self.desktop, self.installer.window)
        except BaseException:
            self.close()
            raise

    def scaled(self, at_96_dpi):
        """A size or point at the window's DPI, rounded as the installer's MulDiv."""
        return tuple((value * self.dpi + 48) // 96 for value in at_96_dpi)

    def shot(self, page):
        """Waits until the screen reader hears the page whole, then saves a screenshot; returns
        the reading. A label that names no page pictures what is on screen now."""
        heard = self.hear(lambda r: screen_reader.is_page(r, page), f"the {page} page") \
            if page in screen_reader.PAGES else None
        self.shots += 1
        self.desktop.screenshot(os.path.join(self.options.artifacts, f"{self.name}-{self.shots:02d}-{page}.png"))
        return heard

    def hear(self, predicate, what):
        """The first reading that predicate accepts, from the one last taken on: what the window
        shows now or later."""
        index, heard = self.listener.wait(predicate, PATIENCE, what, since=max(self.heard - 1, 0))
        # oleacc is loaded on the first request, not before.
        expect(not self.listener.readings()[0]["oleacc_before"], f"{self.name}: oleacc loaded before the first reading")
        self.heard = index + 1
        return heard

    def heard_since(self, start):
        """Every reading from index start on."""
        return self.listener.readings()[start:]

    def size(self):
        return self.installer.geometry()

    def exit_code(self):
        code = self.installer.wait_exit(PATIENCE)
        assert code is not None, f"{self.name}: still running after {PATIENCE}s"
        return code

    def __enter__(self):
        return self

    def __exit__(self, *exc):
        self.close()
        if self.options.planted_dll:
            hijacked = self.loaded() & set(PLANTED_DLLS)
            expect(not hijacked, f"{self.name}: loaded from its folder: {sorted(hijacked)}")

    def close(self):
        self.listener.stop()
        if self.installer:
            self.installer.kill()

    def loaded(self):
        """The planted DLLs that left a marker."""
        return {name.lower()[:-len(".dll")] for name in os.listdir(self.markers)}


def window_dpi(desktop, window):
    """The driver asks Windows; under X11, Wine lays every window out at its LogPixels setting."""
    if isinstance(desktop, DriverDesktop):
        return desktop.dpi(window)
    return registry_dword(DESKTOP_KEY, "LogPixels") or 96


def expect(condition, message):
    if not condition:
        raise AssertionError(message)


def requests_to(path):
    return [r for r in received() if r["path"] == path]


# --- the roads ------------------------------------------------------------------------------

def check_countdown(readings, page, pattern):
    """What the countdown showed on a page that nobody touched: it ran down, never up, and the
    page went on by itself (the road's next wait shows where to)."""
    shown = [screen_reader.primary_caption(r) for r in readings if screen_reader.is_page(r, page)]
    numbers = [int(m.group(1)) for m in map(pattern.fullmatch, filter(None, shown)) if m]
    expect(shown and len(numbers) == len(shown), f"{page} countdown captions {shown}")
    expect(numbers == sorted(numbers, reverse=True), f"{page} countdown went up: {shown}")


def test_code_road(options):
    """Four typed digits, verification, countdown, installation, success page that closes itself."""
    script = standin_script(0, sleep_ms=5000, body=["Write-Output 'ok'"])
    with Road(options, "code-road", script=script) as road:
        road.shot("enter-code")
        expect(road.size() == road.scaled(ENTER_CODE_SIZE), f"code page is {road.size()}")
        road.installer.type(CODE)
        confirm = road.heard
        road.shot("confirm")
        expect(road.size() == road.scaled(PAGE_SIZE), f"confirmation page is {road.size()}")
        posts = requests_to("/install/windows/authorize")
        expect(len(posts) == 1, f"{len(posts)} authorization requests")
        expect(bytes.fromhex(posts[0]["body_hex"]) == ('{"code":"%s"}' % CODE).encode(), "request body")
        installing = road.heard
        road.shot("installing")
        check_countdown(road.heard_since(confirm), "confirm", CONFIRM_COUNTDOWN)
        # Escape does nothing while installing: the script, still asleep, ends in success.
        road.installer.key("Escape")
        success = road.heard
        road.shot("success")
        expect(requests_to("/install/bootstrap.ps1"), "success without a download")
        expect(road.exit_code() == 0, "exit code")
        check_countdown(road.heard_since(success), "success", SUCCESS_COUNTDOWN)
        expect(not any(screen_reader.is_page(r, "failure") for r in road.heard_since(installing)),
               "a failure page after Escape")
        gets = requests_to("/install/bootstrap.ps1")
        expect(len(gets) == 1, f"{len(gets)} downloads")
        expect(f"X-VAQ-Install-Grant: {GRANT}" in gets[0]["header_lines"], "grant header")
        expect(not work_directories(), "work directory left behind")


def file_name_road(options, name, file_name, subfolder=""):
    """A grant in the file name: no code page; the confirmation counts down and goes on by
    itself, and the success page closes by itself."""
    with Road(options, name, file_name, script=standin_script(0), subfolder=subfolder) as road:
        expect(road.size() == road.scaled(PAGE_SIZE), f"confirmation page is {road.size()}")
        road.shot("confirm")
        road.shot("success")
        expect(road.exit_code() == 0, "exit code")
        readings = road.heard_since(0)
        expect(not any(screen_reader.is_page(r, "enter-code") for r in readings), "a code page")
        check_countdown(readings, "confirm", CONFIRM_COUNTDOWN)
        check_countdown(readings, "success", SUCCESS_COUNTDOWN)
        expect(not requests_to("/install/windows/authorize"), "asked for authorization")
        expect(len(requests_to("/install/bootstrap.ps1")) == 1, "no single download")


def test_file_name_roads(options):
    """The grant in the plain and the browser-copy form of the file name."""
    file_name_road(options, "file-name", f"VAQ-Setup-{GRANT}.exe")
    file_name_road(options, "file-name-copy", f"VAQ-Setup-{GRANT} (2).exe")


# Deep enough that the exe's path is longer than MAX_PATH (260) wherever the scratch folder is.
DEEP_FOLDER = os.path.join(*[f"a-folder-deep-enough-for-a-long-path-{i}" for i in range(7)])


@wine_only("Windows starts a program from a path longer than MAX_PATH only where long paths are enabled, "
           "a machine setting the kit leaves alone")
def test_long_path_file_name(options):
    """The grant in the name of an exe whose path is longer than MAX_PATH."""
    file_name_road(options, "file-name-long-path", f"VAQ-Setup-{GRANT}.exe", DEEP_FOLDER)


def test_refused_code(options):
    """A 403 keeps the code page with the service's text; Escape then ends the run with 1."""
    with Road(options, "refused-code", reply={"path": "/install/windows/authorize", "status": 403, "body": ""}) as road:
        road.shot("enter-code")
        road.installer.type("9999")

        def refused(heard):
            lines = (heard["window"]["description"] or "").split("\r\n")
            return heard["window"]["name"] == screen_reader.PAGES["enter-code"][0] and len(lines) == 2 and \
                lines[1] not in (screen_reader.CODE_HINT, screen_reader.VERIFYING, "")
        heard = road.hear(refused, "the code page with the refusal")
        expect(requests_to("/install/windows/authorize"), "no authorization asked for")
        expect(road.size() == road.scaled(ENTER_CODE_SIZE), "left the code page")
        road.shot("refused")
        failure = heard["window"]["description"].split("\r\n")[1]
        boxes = screen_reader.controls(heard, "EDIT")
        expect([b["description"] for b in boxes] == [failure] * 4, f"code boxes {boxes}")
        road.installer.key("Escape")
        code = road.exit_code()
        expect(code == 1, f"exit code {code}")


def copy_error(road, *, click=False):
    """The clipboard after the copy button was pressed (Shift+Tab from the primary button, where
    the focus starts, then Enter) or clicked; it holds "before" until the copy lands."""
    road.desktop.set_clipboard_text("before")
    if click:
        road.installer.click(*road.scaled(COPY_BUTTON))
    else:
        road.installer.key("shift+Tab", "Return")
    copied = []

    def landed():
        copied[:] = [road.desktop.clipboard_text()]
        return copied[0] not in (None, "before")
    wait_until(landed, PATIENCE, "the copied failure text")
    return copied[0]


def test_failed_script(options):
    """A failing script: failure page, its error text, copy by click and by Enter, redacted."""
    message = f"安装失败\r\n凭证 {GRANT}\r\n"
    with Road(options, "failed-script", f"VAQ-Setup-{GRANT}.exe",
              script=standin_script(3, error=message.encode("utf-8"))) as road:
        road.shot("failure")
        expect(road.size() == road.scaled(FAILURE_SIZE), f"failure page is {road.size()}")
        expected = f"安装失败\n凭证 {MARKER}\n"
        copied = copy_error(road)
        expect(copied == expected, f"clipboard after Enter: {copied!r}")
        road.shot("failure")
        copied = copy_error(road, click=True)
        expect(copied == expected, f"clipboard after click: {copied!r}")
        road.installer.key("Escape")
        code = road.exit_code()
        expect(code == 0, f"exit code {code}")
        expect(not work_directories(), "work directory left behind")


def test_cut_download(options):
    """A download cut short before its Content-Length, or one that only the connection's close
    ends: failure page with the read failure, and the script is neither written nor run. The same
    script whole, with a Content-Length or chunked, runs, to show that the stand-in's record would
    have told. (A chunked download cut before its last chunk ends cleanly under Wine; the service
    request's Wine test keeps that case for Windows.)"""
    script = standin_script(0, body=["Write-Output 'step'"] * 200)
    variants = {"whole": ({}, False), "chunked": ({"framing": "chunked"}, False),
                "cut": ({"cut_after": 60}, True), "close-delimited": ({"framing": "close"}, True),
                "identity-chunked": ({"framing": "chunked", "transfer_encoding": "identity, chunked"}, True)}
    for variant, (reply, cut) in variants.items():
        record = os.path.join(SCRATCH, f"cut-download-{variant}-standin.txt")
        os.environ["VAQ_STANDIN_RECORD"] = windows_path(record)
        try:
            with Road(options, f"download-{variant}", f"VAQ-Setup-{GRANT}.exe",
                      reply={"path": "/install/bootstrap.ps1", "status": 200, "body": script, **reply}) as road:
                if cut:
                    road.shot("failure")
                    copied = copy_error(road)
                    expect(copied.startswith("读取安装下载内容失败（Windows 错误 12030）"),
                           f"failure text {copied!r}")
                    road.installer.key("Escape")
                    expect(road.exit_code() == 0, "exit code")
                else:
                    road.shot("success")
                    expect(road.exit_code() == 0, "exit code")
        finally:
            del os.environ["VAQ_STANDIN_RECORD"]
        expect(len(requests_to("/install/bootstrap.ps1")) == 1, "not one download")
        expect(os.path.exists(record) == (not cut), "PowerShell started" if cut else "the whole script did not run")
        expect(not work_directories(), "work directory left behind")


def test_paste(options):
    """" 1234\\r\\n" pasted into the first box fills all four and submits."""
    with Road(options, "paste", script=standin_script(0)) as road:
        road.desktop.set_clipboard_text(f" {CODE}\r\n")
        road.shot("enter-code")
        road.installer.key("ctrl+v")
        road.shot("confirm")
        expect(len(requests_to("/install/windows/authorize")) == 1, "no single authorization")
        expect(road.exit_code() == 0, "exit code")


def focus_on(road, keys, control):
    """Presses the keys and waits until the screen reader finds the focus on the control."""
    road.installer.key(*keys)
    road.hear(lambda heard: screen_reader.focused(heard) == control, f"the focus on {control} after {keys}")


def test_tab_order(options):
    """From the first box four Tabs reach the cancel button, where Enter cancels (exit 1)."""
    with Road(options, "tab-order") as road:
        road.shot("enter-code")
        focus_on(road, ["Tab", "Tab", "Tab", "Tab"], IDC_CANCEL)
        road.shot("enter-code")
        road.installer.key("Return")
        code = road.exit_code()
        expect(code == 1, f"exit code {code}")
        expect(not received(), "something was sent to the service")


def test_error_box_tab(options):
    """On the failure page Tab and Shift+Tab move through error box, copy and close buttons."""
    with Road(options, "error-box-tab", f"VAQ-Setup-{GRANT}.exe", script=standin_script(3)) as road:
        road.shot("failure")
        for keys, control in ((["shift+Tab", "shift+Tab"], IDC_ERROR_BOX), (["Tab"], IDC_COPY_ERROR),
                              (["Tab"], IDC_PRIMARY)):
            focus_on(road, keys, control)
        road.installer.key("Return")  # the close button
        expect(road.exit_code() == 0, "exit code")


@changes_machine("per-user display settings")
@wine_only("Windows applies a new LogPixels only at the next sign-in; the kit's README has a person "
           "check a real monitor change instead")
def test_high_dpi(options):
    """At 144 DPI the confirmation page is 744 x 492."""
    before = registry_dword(DESKTOP_KEY, "LogPixels")
    set_registry_dword(DESKTOP_KEY, "LogPixels", 144)
    try:
        with Road(options, "dpi-144", f"VAQ-Setup-{GRANT}.exe", script=standin_script(0)) as road:
            size = road.size()
            expect(size == (744, 492), f"confirmation page at 144 DPI is {size}")
            road.shot("confirm")
            road.shot("success")
            expect(road.exit_code() == 0, "exit code")
    finally:
        set_registry_dword(DESKTOP_KEY, "LogPixels", before)


@wine_only("the control is Wine's user32 loading version.dll from the exe's folder, which Windows does not do")
def test_planted_dll_control(options):
    """With --planted-dll only: Wine's user32 loads version.dll from the exe's folder at start,
    so its marker appears; this shows that planted DLLs are looked for there in this very run."""
    with Road(options, "planted-control", planted=[CONTROL_DLL]) as road:
        road.shot("enter-code")
        road.installer.key("Escape")
        expect(road.exit_code() == 1, "exit code")
    expect(CONTROL_DLL in road.loaded(), "the control marker did not appear")


ROADS = [test_code_road, test_file_name_roads, test_long_path_file_name, test_refused_code, test_failed_script,
         test_cut_download, test_paste, test_tab_order, test_error_box_tab, test_high_dpi,
         test_planted_dll_control]


Result = collections.namedtuple("Result", "name outcome message details seconds")

UNTRUSTED = ("needs the development service's CA among the machine's trusted roots; runs only under Wine, "
             "with --disposable or where that CA is trusted")


def prepare(options):
    """Readies the machine; returns why no road can run on it, or None. A real machine keeps a CA
    it already trusts; only a disposable one gets it added, and taken away by restore."""
    os.makedirs(SCRATCH, exist_ok=True)
    os.makedirs(options.artifacts, exist_ok=True)
    ca = windows_path(os.environ["VAQ_DEV_SERVICE_CA"])
    if under_wine():
        # The prefix is this run's own; Wine has no PowerShell.
        if options.dpi:
            set_registry_dword(DESKTOP_KEY, "LogPixels", options.dpi)
        run_windows_checked(options.trust_ca, ca)
        run_windows_checked(options.install_standin, windows_path(options.standin))
        return None
    if run_windows(options.trust_ca, "--check", ca) == 0:
        return None
    if not options.disposable:
        return UNTRUSTED
    run_windows_checked(options.trust_ca, ca)
    options.added_ca = ca
    return None


def restore(options, clipboard):
    """Takes back what the run changed outside its roads."""
    if options.added_ca:
        run_windows_checked(options.trust_ca, "--remove", options.added_ca)
    if clipboard is not None:
        options.desktop.set_clipboard_text(clipboard)


def is_32bit_exe(path):
    """Whether the PE file's machine is i386."""
    with open(path, "rb") as exe:
        head = exe.read(4096)
    pe = int.from_bytes(head[0x3C:0x40], "little")
    return head[pe + 4:pe + 6] == b"\x4c\x01"


def skip_reason(road, options, untrusted):
    if road is test_planted_dll_control and not options.planted_dll:
        return "runs only with --planted-dll"
    if road is test_long_path_file_name and os.environ.get("WINEARCH") == "win64" and is_32bit_exe(options.exe):
        return ("Wine's 32-bit side under WoW64 starts no program from a path longer than MAX_PATH "
                "(ShellExecuteEx: file not found), whatever the program")
    if getattr(road, "wine_only", None) and not under_wine():
        return road.wine_only
    changes = getattr(road, "changes", None)
    if changes and not (under_wine() or options.disposable):
        return f"changes {changes}; runs only under Wine or with --disposable"
    return untrusted


def run_road(road, options, untrusted):
    name = road.__name__
    reason = skip_reason(road, options, untrusted)
    if reason:
        print(f"SKIP {name}: {reason}", flush=True)
        return Result(name, "skipped", reason, "", 0.0)
    started = time.time()
    try:
        road(options)
    except Exception as error:
        print(f"FAIL {name}", flush=True)
        traceback.print_exc()
        return Result(name, "failed", str(error) or type(error).__name__, traceback.format_exc(),
                      time.time() - started)
    seconds = time.time() - started
    print(f"PASS {name} ({seconds:.1f}s)", flush=True)
    return Result(name, "passed", "", "", seconds)


def write_junit(path, suite, results):
    """One testcase per road, as ctest writes them."""
    counts = collections.Counter(result.outcome for result in results)
    root = ElementTree.Element("testsuite", name=suite, tests=str(len(results)), failures=str(counts["failed"]),
                               skipped=str(counts["skipped"]),
                               time=f"{sum(result.seconds for result in results):.3f}")
    for result in results:
        case = ElementTree.SubElement(root, "testcase", classname=suite, name=result.name,
                                      time=f"{result.seconds:.3f}")
        if result.outcome == "failed":
            ElementTree.SubElement(case, "failure", message=result.message).text = result.details
        elif result.outcome == "skipped":
            ElementTree.SubElement(case, "skipped", message=result.message)
    ElementTree.ElementTree(root).write(path, encoding="utf-8", xml_declaration=True)


def closing_line(results):
    counts = collections.Counter(result.outcome for result in results)
    if counts["skipped"]:
        return f"{counts['passed']} passed, {counts['failed']} failed, {counts['skipped']} skipped"
    return f"{counts['failed']} failed" if counts["failed"] else "all roads passed"


def parse_options():
    parser = argparse.ArgumentParser()
    parser.add_argument("--exe", required=True)
    parser.add_argument("--standin", help="the PowerShell stand-in (under Wine)")
    parser.add_argument("--install-standin", help="what installs it into the prefix (under Wine)")
    parser.add_argument("--trust-ca", required=True)
    parser.add_argument("--screen-reader", required=True)
    parser.add_argument("--artifacts", required=True)
    parser.add_argument("-k", help="run only the roads whose name contains this")
    parser.add_argument("--planted-dll", help="a marker DLL to plant beside the exe")
    parser.add_argument("--driver", help="desktop_driver.exe, to work the desktop with instead of xdotool")
    parser.add_argument("--disposable", action="store_true", default=os.environ.get("VAQ_DISPOSABLE_MACHINE") == "1",
                        help="the machine may be changed: run the roads that change it")
    parser.add_argument("--dpi", type=int, help="under Wine: every road at this DPI (the prefix's LogPixels)")
    parser.add_argument("--junit", help="a JUnit XML file to write the roads' results to")
    parser.add_argument("--suite-name", default="e2e_roads", help="the roads' class name in the JUnit file")
    options = parser.parse_args()
    if ON_WINDOWS and not options.driver:
        parser.error("on Windows the desktop is worked by --driver")
    if options.dpi and not under_wine():
        parser.error("--dpi sets Wine's LogPixels; Windows applies a new one only at the next sign-in")
    if under_wine() and not (options.standin and options.install_standin):
        parser.error("under Wine --standin and --install-standin stand in for PowerShell")
    options.added_ca = None
    options.desktop = DriverDesktop(options.driver, SCRATCH) if options.driver else X11Desktop()
    return options


def main():
    options = parse_options()
    # The roads use the clipboard; a person's text is put back at the end.
    clipboard = options.desktop.clipboard_text()
    try:
        untrusted = prepare(options)
        if options.planted_dll and under_wine():
            os.environ["WINEDLLOVERRIDES"] = ",".join(PLANTED_DLLS + [CONTROL_DLL]) + "=n,b"
        results = [run_road(road, options, untrusted) for road in ROADS if not options.k or options.k in road.__name__]
    finally:
        restore(options, clipboard)
    if options.junit:
        write_junit(options.junit, options.suite_name, results)
    print(closing_line(results))
    return 1 if any(result.outcome == "failed" for result in results) else 0


if __name__ == "__main__":
    sys.exit(main())
