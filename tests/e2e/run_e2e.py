#!/usr/bin/env python3
"""End-to-end runs of the real installer under Wine and Xvfb, against the development
installation service and the PowerShell stand-in, driven with the keyboard and mouse.

    run_e2e.py --exe VAQ-Setup.exe --standin powershell_standin.exe
               --install-standin install_standin.exe --trust-ca trust_ca.exe
               --screen-reader screen_reader.exe --artifacts DIR [-k name] [--planted-dll marker.dll]

Runs inside scripts/wine-session.sh and scripts/with-dev-service.sh. Each road saves a
screenshot of every page it passes in DIR and reads the page as a screen reader does (over
MSAA, from another process). With --planted-dll every road also runs with that
DLL copied beside the exe under the names of system libraries, which Wine is told to look for
there first (as Windows does for a DLL that is not a KnownDLL); no road may load one.
"""
import argparse
import glob
import json
import os
import re
import subprocess
import sys
import time
import traceback

import screen_reader
from desktop import Installer, clipboard_text, screenshot, set_clipboard_text, wait_until

CONTROL = os.environ.get("VAQ_DEV_SERVICE_CONTROL", "")
CODE = os.environ.get("VAQ_DEV_SERVICE_CODE", "")
GRANT = os.environ.get("VAQ_DEV_SERVICE_GRANT", "")
PREFIX = os.environ.get("WINEPREFIX", "")
SCRATCH = os.path.join(os.environ.get("VAQ_SESSION_DIR", "/tmp"), "e2e")

ENTER_CODE_SIZE = (496, 364)
PAGE_SIZE = (496, 328)
FAILURE_SIZE = (576, 476)
MARKER = "[已隐藏凭证]"


def preloaded_libraries():
    """The libraries start-up and the first network call load by full system path, from the
    program's own table: each must be planted, and none may leave a marker."""
    table = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "app",
                         "preloaded_libraries_win.cpp")
    names = re.findall(r'\{L"(\w+)\.dll", PreloadTime::', open(table, encoding="utf-8").read())
    assert names, f"no preloaded libraries found in {table}"
    return names


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


def wine(*args):
    log = open(os.path.join(SCRATCH, "wine-tools.log"), "ab")
    subprocess.run(["wine", *args], check=True, stdout=log, stderr=subprocess.STDOUT, stdin=subprocess.DEVNULL)


def reg_add(key, name, kind, value):
    wine("reg", "add", key, "/v", name, "/t", kind, "/d", str(value), "/f")


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
    return glob.glob(os.path.join(PREFIX, "drive_c", "ProgramData", "VAQ-Setup-*"))


# --- one run --------------------------------------------------------------------------------

class Road:
    def __init__(self, options, name, file_name="VAQ-Setup.exe", planted=PLANTED_DLLS):
        self.options = options
        self.name = name
        self.shots = 0
        self.heard_before = False
        reset_service()
        beside = {}
        if options.planted_dll:
            self.markers = os.path.join(SCRATCH, name + "-markers")
            os.makedirs(self.markers, exist_ok=True)
            os.environ["VAQ_DLL_MARKERS"] = "Z:" + self.markers.replace("/", "\\")
            beside = {f"{dll}.dll": options.planted_dll for dll in planted}
        self.installer = Installer(options.exe, os.path.join(SCRATCH, name), file_name, SCRATCH, beside)
        try:
            self.installer.wait_window()
        except BaseException:
            self.installer.kill()
            raise
        time.sleep(1.0)  # the first frame

    def shot(self, page):
        self.shots += 1
        screenshot(os.path.join(self.options.artifacts, f"{self.name}-{self.shots:02d}-{page}.png"))
        if page in screen_reader.PAGES:
            screen_reader.check_page(self.hear(), page)

    def hear(self):
        heard = screen_reader.read(self.options.screen_reader, SCRATCH)
        # oleacc is loaded on the first request, not before.
        expect(heard["oleacc_before"] == self.heard_before,
               f"{self.name}: oleacc loaded before this read: {heard['oleacc_before']}")
        self.heard_before = True
        return heard

    def size(self):
        return self.installer.geometry()

    def wait_size(self, size, timeout, what):
        wait_until(lambda: self.size() == size, timeout, what)
        time.sleep(0.5)

    def click(self, x, y):
        self.installer.focus()
        subprocess.run(["xdotool", "mousemove", "--window", self.installer.window, str(x), str(y),
                        "click", "1"], check=True)

    def exit_code(self, timeout):
        code = self.installer.wait_exit(timeout)
        assert code is not None, f"{self.name}: still running after {timeout}s"
        return code

    def __enter__(self):
        return self

    def __exit__(self, *exc):
        self.installer.kill()
        if self.options.planted_dll:
            hijacked = self.loaded() & set(PLANTED_DLLS)
            expect(not hijacked, f"{self.name}: loaded from its folder: {sorted(hijacked)}")

    def loaded(self):
        """The planted DLLs that left a marker."""
        return {name.lower()[:-len(".dll")] for name in os.listdir(self.markers)}


def expect(condition, message):
    if not condition:
        raise AssertionError(message)


def requests_to(path):
    return [r for r in received() if r["path"] == path]


# --- the roads ------------------------------------------------------------------------------

def test_code_road(options):
    """Four typed digits, verification, countdown, installation, success page that closes itself."""
    with Road(options, "code-road") as road:
        bootstrap_script("# vaq-sleep-ms: 5000\r\n# vaq-exit: 0\r\nWrite-Output 'ok'\r\n")
        expect(road.size() == ENTER_CODE_SIZE, f"code page is {road.size()}")
        road.shot("enter-code")
        road.installer.type(CODE)
        road.wait_size(PAGE_SIZE, 20, "the confirmation page")
        road.shot("confirm")
        posts = requests_to("/install/windows/authorize")
        expect(len(posts) == 1, f"{len(posts)} authorization requests")
        expect(bytes.fromhex(posts[0]["body_hex"]) == ('{"code":"%s"}' % CODE).encode(), "request body")
        wait_until(lambda: requests_to("/install/bootstrap.ps1"), 10, "the download")
        time.sleep(1.0)
        road.shot("installing")
        # Escape does nothing while installing.
        road.installer.key("Escape")
        time.sleep(0.5)
        expect(road.installer.running(), "Escape ended the installation")
        wait_until(lambda: not work_directories(), 20, "the script to end")
        time.sleep(1.0)
        road.shot("success")
        code = road.exit_code(12)
        expect(code == 0, f"exit code {code}")
        gets = requests_to("/install/bootstrap.ps1")
        expect(len(gets) == 1, f"{len(gets)} downloads")
        expect(f"X-VAQ-Install-Grant: {GRANT}" in gets[0]["header_lines"], "grant header")
        expect(not work_directories(), "work directory left behind")


def test_file_name_roads(options):
    """A grant in the file name, in both the plain and the browser-copy form: no code page."""
    for file_name in (f"VAQ-Setup-{GRANT}.exe", f"VAQ-Setup-{GRANT} (2).exe"):
        with Road(options, "file-name" + ("-copy" if "(" in file_name else ""), file_name) as road:
            bootstrap_script("# vaq-exit: 0\r\n")
            expect(road.size() == PAGE_SIZE, f"confirmation page is {road.size()}")
            road.shot("confirm")
            code = road.exit_code(25)
            expect(code == 0, f"exit code {code}")
            expect(not requests_to("/install/windows/authorize"), "asked for authorization")
            expect(len(requests_to("/install/bootstrap.ps1")) == 1, "no single download")


def test_refused_code(options):
    """A 403 keeps the code page with the service's text; Escape then ends the run with 1."""
    with Road(options, "refused-code") as road:
        service_reply({"path": "/install/windows/authorize", "status": 403, "body": ""})
        road.installer.type("9999")
        wait_until(lambda: requests_to("/install/windows/authorize"), 10, "the authorization")
        time.sleep(1.5)
        expect(road.size() == ENTER_CODE_SIZE, "left the code page")
        road.shot("refused")
        heard = road.hear()
        failure = heard["window"]["description"].split("\r\n")[1]
        expect(failure not in (screen_reader.CODE_HINT, ""), f"failure line {failure!r}")
        boxes = screen_reader.controls(heard, "EDIT")
        expect([b["description"] for b in boxes] == [failure] * 4, f"code boxes {boxes}")
        road.installer.key("Escape")
        code = road.exit_code(10)
        expect(code == 1, f"exit code {code}")


def test_failed_script(options):
    """A failing script: failure page, its error text, copy by click and by Enter, redacted."""
    with Road(options, "failed-script", f"VAQ-Setup-{GRANT}.exe") as road:
        message = f"安装失败\r\n凭证 {GRANT}\r\n"
        bootstrap_script(f"# vaq-exit: 3\r\n# vaq-error-hex: {message.encode('utf-8').hex()}\r\n")
        road.installer.key("Return")  # continue at once
        road.wait_size(FAILURE_SIZE, 25, "the failure page")
        road.shot("failure")
        expected = f"安装失败\n凭证 {MARKER}\n"
        set_clipboard_text("before")
        # Focus starts on the primary button; the copy button comes before it in tab order.
        road.installer.key("shift+Tab", "Return")
        time.sleep(1.0)
        copied = clipboard_text()
        expect(copied == expected, f"clipboard after Enter: {copied!r}")
        road.shot("copied")
        set_clipboard_text("before")
        road.click(104, 414)  # the copy button
        time.sleep(1.0)
        copied = clipboard_text()
        expect(copied == expected, f"clipboard after click: {copied!r}")
        road.installer.key("Escape")
        code = road.exit_code(10)
        expect(code == 0, f"exit code {code}")
        expect(not work_directories(), "work directory left behind")


def test_cut_download(options):
    """A download cut short before its Content-Length, or one that only the connection's close
    ends: failure page with the read failure, and the script is neither written nor run. The same
    script whole, with a Content-Length or chunked, runs, to show that the stand-in's record would
    have told. (A chunked download cut before its last chunk ends cleanly under Wine; the service
    request's Wine test keeps that case for Windows.)"""
    script = "# vaq-exit: 0\r\n" + "Write-Output 'step'\r\n" * 200
    variants = {"whole": ({}, False), "chunked": ({"framing": "chunked"}, False),
                "cut": ({"cut_after": 60}, True), "close-delimited": ({"framing": "close"}, True)}
    for variant, (reply, cut) in variants.items():
        record = os.path.join(SCRATCH, f"cut-download-{variant}-standin.txt")
        os.environ["VAQ_STANDIN_RECORD"] = "Z:" + record.replace("/", "\\")
        try:
            with Road(options, f"download-{variant}", f"VAQ-Setup-{GRANT}.exe") as road:
                service_reply({"path": "/install/bootstrap.ps1", "status": 200, "body": script, **reply})
                road.installer.key("Return")  # continue at once
                if cut:
                    road.wait_size(FAILURE_SIZE, 25, "the failure page")
                    road.shot("failure")
                    set_clipboard_text("before")
                    road.installer.key("shift+Tab", "Return")
                    time.sleep(1.0)
                    copied = clipboard_text()
                    expect(copied.startswith("读取安装下载内容失败（Windows 错误 12030）"),
                           f"failure text {copied!r}")
                    road.installer.key("Escape")
                    expect(road.exit_code(10) == 0, "exit code")
                else:
                    expect(road.exit_code(25) == 0, "exit code")
        finally:
            del os.environ["VAQ_STANDIN_RECORD"]
        expect(len(requests_to("/install/bootstrap.ps1")) == 1, "not one download")
        expect(os.path.exists(record) == (not cut), "PowerShell started" if cut else "the whole script did not run")
        expect(not work_directories(), "work directory left behind")


def test_paste(options):
    """" 1234\\r\\n" pasted into the first box fills all four and submits."""
    with Road(options, "paste") as road:
        bootstrap_script("# vaq-exit: 0\r\n")
        set_clipboard_text(f" {CODE}\r\n")
        road.installer.key("ctrl+v")
        road.wait_size(PAGE_SIZE, 20, "the confirmation page")
        road.shot("pasted")
        expect(len(requests_to("/install/windows/authorize")) == 1, "no single authorization")
        expect(road.exit_code(25) == 0, "exit code")


def test_tab_order(options):
    """From the first box four Tabs reach the cancel button, where Enter cancels (exit 1)."""
    with Road(options, "tab-order") as road:
        road.installer.key("Tab", "Tab", "Tab", "Tab")
        time.sleep(0.5)
        road.shot("cancel-focused")
        road.installer.key("Return")
        code = road.exit_code(10)
        expect(code == 1, f"exit code {code}")
        expect(not received(), "something was sent to the service")


def test_error_box_tab(options):
    """On the failure page Tab and Shift+Tab move through error box, copy and close buttons."""
    with Road(options, "error-box-tab", f"VAQ-Setup-{GRANT}.exe") as road:
        bootstrap_script("# vaq-exit: 3\r\n")
        road.installer.key("Return")
        road.wait_size(FAILURE_SIZE, 25, "the failure page")
        road.shot("failure")
        for keys, control in ((["shift+Tab", "shift+Tab"], 0), (["Tab"], 3), (["Tab"], 1)):
            road.installer.key(*keys)
            time.sleep(0.5)
            focus = screen_reader.focused(road.hear())
            expect(focus == control, f"after {keys} the focus is on {focus}, not {control}")
        road.installer.key("Return")  # the close button
        expect(road.exit_code(10) == 0, "exit code")


def test_high_dpi(options):
    """At 144 DPI the confirmation page is 744 x 492."""
    reg_add(r"HKCU\Control Panel\Desktop", "LogPixels", "REG_DWORD", 144)
    try:
        with Road(options, "dpi-144", f"VAQ-Setup-{GRANT}.exe") as road:
            bootstrap_script("# vaq-exit: 0\r\n")
            size = road.size()
            road.shot("confirm")
            expect(size == (744, 492), f"confirmation page at 144 DPI is {size}")
            road.installer.key("Escape")
            expect(road.exit_code(10) == 0, "exit code")
    finally:
        reg_add(r"HKCU\Control Panel\Desktop", "LogPixels", "REG_DWORD", 96)


def test_planted_dll_control(options):
    """With --planted-dll only: Wine's user32 loads version.dll from the exe's folder at start,
    so its marker appears; this shows that planted DLLs are looked for there in this very run."""
    if not options.planted_dll:
        return
    with Road(options, "planted-control", planted=[CONTROL_DLL]) as road:
        road.installer.key("Escape")
        expect(road.exit_code(10) == 1, "exit code")
    expect(CONTROL_DLL in road.loaded(), "the control marker did not appear")


ROADS = [test_code_road, test_file_name_roads, test_refused_code, test_failed_script,
         test_cut_download, test_paste, test_tab_order, test_error_box_tab, test_high_dpi,
         test_planted_dll_control]


def prepare(options):
    os.makedirs(SCRATCH, exist_ok=True)
    os.makedirs(options.artifacts, exist_ok=True)
    wine(options.trust_ca, os.environ["VAQ_DEV_SERVICE_CA"])
    wine(options.install_standin, options.standin)


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--exe", required=True)
    parser.add_argument("--standin", required=True)
    parser.add_argument("--install-standin", required=True)
    parser.add_argument("--trust-ca", required=True)
    parser.add_argument("--screen-reader", required=True)
    parser.add_argument("--artifacts", required=True)
    parser.add_argument("-k", help="run only the roads whose name contains this")
    parser.add_argument("--planted-dll", help="a marker DLL to plant beside the exe")
    options = parser.parse_args()
    prepare(options)
    if options.planted_dll:
        os.environ["WINEDLLOVERRIDES"] = ",".join(PLANTED_DLLS + [CONTROL_DLL]) + "=n,b"
    failed = []
    for road in ROADS:
        if options.k and options.k not in road.__name__:
            continue
        started = time.time()
        try:
            road(options)
            print(f"PASS {road.__name__} ({time.time() - started:.1f}s)", flush=True)
        except Exception:
            failed.append(road.__name__)
            print(f"FAIL {road.__name__}", flush=True)
            traceback.print_exc()
    print(f"{len(failed)} failed" if failed else "all roads passed")
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
