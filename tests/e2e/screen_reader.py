"""What a screen reader gets from the installer: the roads run the screen_reader tool in a process
of its own, which reads the window over MSAA as Narrator, NVDA and JAWS do, on every page they
pass, and compare it with the page."""
import json
import os
import subprocess

from desktop import windows_command, windows_path

STATE_FOCUSED = 0x4
STATE_BUSY = 0x800

SERVICE_LINE = "安装中心  https://localhost"
CODE_HINT = "输入或粘贴 4 位授权码后自动验证。"
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


def read(tool, scratch):
    """The window and its visible controls as the tool found them."""
    out = os.path.join(scratch, "screen-reader.json")
    if os.path.exists(out):
        os.remove(out)
    with open(os.path.join(scratch, "screen-reader.log"), "ab") as log:
        code = subprocess.run(windows_command(tool, windows_path(out)), stdout=log,
                              stderr=subprocess.STDOUT, stdin=subprocess.DEVNULL).returncode
    assert code == 0, f"screen reader tool exit code {code}"
    with open(out, encoding="utf-8") as f:
        return json.load(f)


def controls(heard, class_name):
    return [c for c in heard["controls"] if c["class"].upper() == class_name]


def focused(heard):
    """The id of the control with the keyboard focus, or None."""
    ids = [c["id"] for c in heard["controls"] if c["state"] is not None and c["state"] & STATE_FOCUSED]
    return ids[0] if len(ids) == 1 else None


def check_page(heard, page):
    """The window is named by the page's title and described by the lines under it; the code
    boxes and the error box are named, the buttons named by their captions."""
    name, description = PAGES[page]
    window = heard["window"]
    assert window["name"] == name, f"{page}: window name {window['name']!r}"
    assert window["description"] == description, f"{page}: description {window['description']!r}"
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
