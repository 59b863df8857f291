"""What a screen reader gets from the installer: the roads run the screen_reader tool in a process
of its own for each run, which reads the window over MSAA as Narrator, NVDA and JAWS do, all the
time, and compare what it read on each page with the page."""
import json
import os
import subprocess

from desktop import wait_until, windows_command, windows_path

STATE_FOCUSED = 0x4
STATE_BUSY = 0x800

SERVICE_LINE = "安装中心  https://localhost"
CODE_HINT = "输入或粘贴 4 位授权码后自动验证。"
VERIFYING = "正在验证安装授权码…"
ERROR_BOX = "错误信息"

# The window's name and description on each page the roads take a picture of.
PAGES = {
    "enter-code": ("输入安装授权码", f"{SERVICE_LINE}\r\n{CODE_HINT}"),
    "confirm": ("将要安装 VAQ 客户端", "请确认在此设备上安装，倒计时结束后将自动继续。"),
    "installing": ("正在安装 VAQ 客户端", "正在安全下载并配置服务，请保持网络连接。"),
    "success": ("VAQ 客户端安装成功", "设备已完成配置，此窗口将在倒计时结束后关闭。"),
    "failure": ("VAQ 客户端安装失败", "可复制下方错误信息，交由管理员排查。"),
}
BUSY_PAGES = {"installing"}
# The visible buttons' captions in creation order, countdowns cut off where they begin.
BUTTONS = {
    "enter-code": ["取消"],
    "confirm": ["取消", "继续（"],
    "installing": [],
    "success": ["关闭（"],
    "failure": ["复制错误", "关闭"],
}


class Listener:
    """One screen reader over one run of the installer, started before it: every different
    reading of the window and its visible controls, in order, from the window's first moment."""

    def __init__(self, tool, folder):
        self.out = os.path.join(folder, "screen-reader.jsonl")
        self.stop_file = os.path.join(folder, "screen-reader.stop")
        for path in (self.out, self.stop_file):
            if os.path.exists(path):
                os.remove(path)
        self.log = open(os.path.join(folder, "screen-reader.log"), "ab")
        # Output goes to a file: Wine's helpers inherit it and would hold a pipe open.
        self.process = subprocess.Popen(windows_command(tool, windows_path(self.out), windows_path(self.stop_file)),
                                        stdout=self.log, stderr=subprocess.STDOUT, stdin=subprocess.DEVNULL)

    def wait_ready(self, timeout):
        """Until the tool runs and waits for the window: the installer may start."""
        def ready():
            if self.process.poll() is not None:
                raise AssertionError(f"the screen reader ended with {self.process.returncode} before it was ready")
            return os.path.exists(self.out)
        wait_until(ready, timeout, "the screen reader to start")

    def readings(self):
        if not os.path.exists(self.out):
            return []
        with open(self.out, "rb") as f:
            lines = f.read().decode("utf-8").split("\n")
        # The last line is whole only once its newline is written.
        return [json.loads(line) for line in lines[:-1]]

    def wait(self, predicate, timeout, what, since=0):
        """(index, reading): the first reading from index since on that predicate accepts.
        Fails on timeout, showing the last reading."""
        found = []

        def heard():
            readings = self.readings()
            found[:] = [(i, r) for i, r in enumerate(readings) if i >= since and predicate(r)][:1]
            if not found and self.process.poll() is not None:
                raise AssertionError(f"the screen reader ended with {self.process.returncode} before {what}")
            return bool(found)
        try:
            wait_until(heard, timeout, f"the screen reader to hear {what}")
        except AssertionError as error:
            last = (self.readings()[since:] or [None])[-1]
            raise AssertionError(f"{error}; last reading: {json.dumps(last, ensure_ascii=False)}") from None
        return found[0]

    def stop(self):
        with open(self.stop_file, "wb"):
            pass
        try:
            self.process.wait(timeout=60)
        except subprocess.TimeoutExpired:
            self.process.kill()
            self.process.wait()
        self.log.close()
        return self.process.returncode


def controls(heard, class_name):
    return [c for c in heard["controls"] if c["class"].upper() == class_name]


def focused(heard):
    """The id of the control with the keyboard focus, or None."""
    ids = [c["id"] for c in heard["controls"] if c["state"] is not None and c["state"] & STATE_FOCUSED]
    return ids[0] if len(ids) == 1 else None


def is_page(heard, page):
    """Whether the reading shows the page whole (one taken while the page was being laid out
    can show part of it)."""
    try:
        check_page(heard, page)
        return True
    except AssertionError:
        return False


def primary_caption(heard):
    """The caption of the last visible button, where the countdowns run."""
    buttons = controls(heard, "BUTTON")
    return buttons[-1]["name"] if buttons else None


def check_page(heard, page):
    """The window is named by the page's title and described by the lines under it; the code
    boxes and the error box are named, the buttons named by their captions."""
    name, description = PAGES[page]
    window = heard["window"]
    assert window["name"] == name, f"{page}: window name {window['name']!r}"
    assert window["description"] == description, f"{page}: description {window['description']!r}"
    assert window["state"] is not None, f"{page}: state refused"
    busy = bool(window["state"] & STATE_BUSY)
    assert busy == (page in BUSY_PAGES), f"{page}: busy is {busy}"
    check_controls(heard, page)


def check_controls(heard, page):
    edits = controls(heard, "EDIT")
    if page == "enter-code":
        hint = heard["window"]["description"].split("\r\n")[1]
        expected = [(f"授权码第 {i} 位", hint) for i in range(1, 5)]
        assert [(e["name"], e["description"]) for e in edits] == expected, f"{page}: code boxes {edits}"
    elif page == "failure":
        assert [e["name"] for e in edits] == [ERROR_BOX], f"{page}: error box {edits}"
    else:
        assert not edits, f"{page}: edits {edits}"
    names = [b["name"] for b in controls(heard, "BUTTON")]
    captions = BUTTONS[page]
    assert len(names) == len(captions) and all(n.startswith(c) for n, c in zip(names, captions)), \
        f"{page}: buttons {names}"
