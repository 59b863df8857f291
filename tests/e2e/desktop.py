"""Driving the real installer as a person would: start it under a file name, find its window,
type, press keys, click, look at the screen and the clipboard, and wait for its exit.

Two desktops do the looking and the pressing: X11Desktop for Wine under Xvfb (xdotool, import,
xclip) and DriverDesktop for a Windows desktop, through tools/kit/desktop_driver_win.cpp (which runs
under Wine too). Windows programs start directly on Windows and through wine elsewhere."""
import os
import shutil
import subprocess
import time

WINDOW_TITLE = "VAQ 在线安装程序"
ON_WINDOWS = os.name == "nt"


def windows_command(program, *args):
    """The command line that starts a Windows program here."""
    return [program, *args] if ON_WINDOWS else ["wine", program, *args]


def windows_path(path):
    """How a Windows program names a local file: under Wine the host's root is drive Z:."""
    path = os.path.abspath(path)
    return path if ON_WINDOWS else "Z:" + path.replace("/", "\\")


class X11Desktop:
    """Wine's windows on an X display without a window manager."""

    def find(self, title):
        # Only a mapped window counts: Wine may make and drop an X window before the real one.
        found = subprocess.run(["xdotool", "search", "--onlyvisible", "--name", title],
                               capture_output=True, text=True).stdout.split()
        return found[-1] if found else None

    def geometry(self, window):
        """(width, height), or None when the window is gone."""
        out = subprocess.run(["xdotool", "getwindowgeometry", window], capture_output=True, text=True)
        if out.returncode != 0:
            return None
        size = [line for line in out.stdout.splitlines() if "Geometry:" in line][0].split()[-1]
        width, height = size.split("x")
        return int(width), int(height)

    def _focus(self, window):
        # windowactivate needs a window manager; focus is enough for typing.
        subprocess.run(["xdotool", "windowfocus", "--sync", window], check=False)

    def type(self, window, text):
        self._focus(window)
        subprocess.run(["xdotool", "type", "--delay", "80", text], check=True)

    def key(self, window, *keys):
        self._focus(window)
        subprocess.run(["xdotool", "key", "--delay", "80", *keys], check=True)

    def click(self, window, x, y):
        self._focus(window)
        subprocess.run(["xdotool", "mousemove", "--window", window, str(x), str(y), "click", "1"], check=True)

    def screenshot(self, path):
        subprocess.run(["import", "-window", "root", path], check=True)

    def clipboard_text(self):
        out = subprocess.run(["xclip", "-o", "-selection", "clipboard"], capture_output=True, timeout=10)
        return out.stdout.decode("utf-8", "replace") if out.returncode == 0 else None

    def set_clipboard_text(self, text):
        """Offers text on the X clipboard, where Wine reads it. xclip keeps serving it from a
        background child until another program takes the clipboard or the display ends."""
        subprocess.run(["xclip", "-selection", "clipboard"], input=text.encode("utf-8"), check=True,
                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        wait_until(lambda: self.clipboard_text() == text, 30, "xclip to own the clipboard")


class DriverDesktop:
    """Any desktop that Windows programs run on, worked by desktop_driver.exe. Its windows are
    HWNDs in decimal."""

    # The driver's exit codes for "the window is not there" and "the clipboard holds no text".
    NO_WINDOW = 3
    NO_TEXT = 1

    def __init__(self, driver, scratch):
        self.driver = driver
        self.scratch = scratch
        os.makedirs(scratch, exist_ok=True)

    def _run(self, *args, allowed=()):
        """(exit code, standard output). Output goes through files: Wine's helpers inherit it
        and would hold a pipe open."""
        out_path = os.path.join(self.scratch, "desktop-driver.out")
        err_path = os.path.join(self.scratch, "desktop-driver.err")
        with open(out_path, "wb") as out, open(err_path, "wb") as err:
            code = subprocess.run(windows_command(self.driver, *args), stdout=out, stderr=err,
                                  stdin=subprocess.DEVNULL).returncode
        with open(out_path, "rb") as out, open(err_path, "rb") as err:
            output, error = out.read().decode("utf-8", "replace"), err.read().decode("utf-8", "replace")
        if code != 0 and code not in allowed:
            raise AssertionError(f"desktop_driver {args[0]} exited with {code}: {error.strip()}")
        return code, output

    def find(self, title):
        code, output = self._run("find", title, "200", allowed=(self.NO_WINDOW,))
        return output.strip() if code == 0 else None

    def geometry(self, window):
        code, output = self._run("geometry", window, allowed=(self.NO_WINDOW,))
        if code != 0:
            return None
        width, height = output.split()
        return int(width), int(height)

    def dpi(self, window):
        return int(self._run("dpi", window)[1])

    def type(self, window, text):
        self._run("type", window, text)

    def key(self, window, *keys):
        self._run("key", window, *keys)

    def click(self, window, x, y):
        self._run("click", window, str(x), str(y))

    def screenshot(self, path):
        self._run("screenshot", windows_path(path))

    def clipboard_text(self):
        path = os.path.join(self.scratch, "clipboard-get.txt")
        code, _ = self._run("clipboard-get", windows_path(path), allowed=(self.NO_TEXT,))
        if code != 0:
            return None
        with open(path, "rb") as f:
            return f.read().decode("utf-8")

    def set_clipboard_text(self, text):
        path = os.path.join(self.scratch, "clipboard-set.txt")
        with open(path, "wb") as f:
            f.write(text.encode("utf-8"))
        self._run("clipboard-set", windows_path(path))


class Installer:
    """One run of the exe on a desktop, copied into a scratch folder under the name it is started
    with, with the files of beside ({name: source}) next to it."""

    def __init__(self, desktop, exe, folder, name, log_dir, beside=None):
        os.makedirs(folder, exist_ok=True)
        self.desktop = desktop
        self.path = os.path.join(folder, name)
        shutil.copyfile(exe, self.path)
        for file_name, source in (beside or {}).items():
            shutil.copyfile(source, os.path.join(folder, file_name))
        self.log = open(os.path.join(log_dir, name + ".log"), "wb")
        # Output goes to a file: Wine's helpers inherit it and would hold a pipe open.
        self.process = subprocess.Popen(windows_command(self.path), cwd=folder, stdout=self.log,
                                        stderr=subprocess.STDOUT, stdin=subprocess.DEVNULL)
        self.window = None

    def wait_window(self, timeout=30):
        deadline = time.time() + timeout
        while time.time() < deadline:
            self.window = self.desktop.find(WINDOW_TITLE)
            if self.window:
                return self.window
            if self.process.poll() is not None:
                raise AssertionError(f"installer exited with {self.process.returncode} before showing a window")
            time.sleep(0.2)
        raise AssertionError("no installer window appeared")

    def geometry(self):
        size = self.desktop.geometry(self.window)
        if size is None:  # Wine replaced the X window: find the current one
            self.wait_window(timeout=30)
            size = self.desktop.geometry(self.window)
        if size is None:
            raise AssertionError("the installer window is gone")
        return size

    def type(self, text):
        self.desktop.type(self.window, text)

    def key(self, *keys):
        self.desktop.key(self.window, *keys)

    def click(self, x, y):
        """A left click at x, y from the window's top-left corner."""
        self.desktop.click(self.window, x, y)

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


def wait_until(predicate, timeout, what):
    deadline = time.time() + timeout
    while time.time() < deadline:
        if predicate():
            return
        time.sleep(0.2)
    raise AssertionError(f"timed out waiting for {what}")
