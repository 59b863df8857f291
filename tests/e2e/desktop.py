"""Driving the real installer under Wine and Xvfb as a person would: start it under a file name,
find its window, type, press keys, look at the screen and the clipboard, and wait for its exit."""
import os
import shutil
import subprocess
import time

WINDOW_TITLE = "VAQ 在线安装程序"


class Installer:
    """One run of the exe, copied into a scratch folder under the name it is started with,
    with the files of beside ({name: source}) next to it."""

    def __init__(self, exe, folder, name, log_dir, beside=None):
        os.makedirs(folder, exist_ok=True)
        self.path = os.path.join(folder, name)
        shutil.copyfile(exe, self.path)
        for file_name, source in (beside or {}).items():
            shutil.copyfile(source, os.path.join(folder, file_name))
        self.log = open(os.path.join(log_dir, name + ".log"), "wb")
        # Output goes to a file: Wine's helpers inherit it and would hold a pipe open.
        self.process = subprocess.Popen(["wine", self.path], cwd=folder, stdout=self.log,
                                        stderr=subprocess.STDOUT, stdin=subprocess.DEVNULL)
        self.window = None

    def wait_window(self, timeout=30):
        # Only a mapped window counts: Wine may make and drop an X window before the real one.
        deadline = time.time() + timeout
        while time.time() < deadline:
            found = subprocess.run(["xdotool", "search", "--onlyvisible", "--name", WINDOW_TITLE],
                                   capture_output=True, text=True).stdout.split()
            if found:
                self.window = found[-1]
                return self.window
            if self.process.poll() is not None:
                raise AssertionError(f"installer exited with {self.process.returncode} before showing a window")
            time.sleep(0.2)
        raise AssertionError("no installer window appeared")

    def geometry(self):
        out = subprocess.run(["xdotool", "getwindowgeometry", self.window], capture_output=True, text=True)
        if out.returncode != 0:  # the X window was replaced: find the current one
            self.wait_window(timeout=10)
            out = subprocess.run(["xdotool", "getwindowgeometry", self.window], capture_output=True, text=True)
        out = out.stdout
        size = [line for line in out.splitlines() if "Geometry:" in line][0].split()[-1]
        width, height = size.split("x")
        return int(width), int(height)

    def focus(self):
        subprocess.run(["xdotool", "windowfocus", "--sync", self.window], check=False)

    def type(self, text):
        self.focus()
        subprocess.run(["xdotool", "type", "--delay", "80", text], check=True)

    def key(self, *keys):
        self.focus()
        subprocess.run(["xdotool", "key", "--delay", "80", *keys], check=True)

    def wait_exit(self, timeout):
        try:
            return self.process.wait(timeout=timeout)
        except subprocess.TimeoutExpired:
            return None

    def running(self):
        return self.process.poll() is None

    def kill(self):
        if self.running():
            self.process.kill()
            self.process.wait()
        self.log.close()


def screenshot(path):
    subprocess.run(["import", "-window", "root", path], check=True)


def clipboard_text():
    out = subprocess.run(["xclip", "-o", "-selection", "clipboard"], capture_output=True, timeout=10)
    return out.stdout.decode("utf-8", "replace") if out.returncode == 0 else None


def set_clipboard_text(text):
    """Offers text on the X clipboard, where Wine reads it. xclip keeps serving it from a
    background child until another program takes the clipboard or the display ends."""
    subprocess.run(["xclip", "-selection", "clipboard"], input=text.encode("utf-8"), check=True,
                   stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    time.sleep(0.3)


def wait_until(predicate, timeout, what):
    deadline = time.time() + timeout
    while time.time() < deadline:
        if predicate():
            return
        time.sleep(0.2)
    raise AssertionError(f"timed out waiting for {what}")
