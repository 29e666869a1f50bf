"""A real X server for the tests that need one: Xvfb with Debian's CJK
fonts, a window manager that draws title bars, a notification area when
asked for, and xdotool to drive it."""
import os
import subprocess
import tempfile
import time


class XDisplay:
    def __init__(self, size="1280x800x24", window_manager=True):
        read_fd, write_fd = os.pipe()
        self.xvfb = subprocess.Popen(["Xvfb", "-displayfd", str(write_fd), "-screen", "0", size, "-nolisten", "tcp"],
                                     pass_fds=(write_fd,), stderr=subprocess.DEVNULL)
        os.close(write_fd)
        with os.fdopen(read_fd) as numbers:
            number = numbers.readline().strip()
        if not number:
            raise RuntimeError("Xvfb did not start")
        self.display = ":" + number
        self.env = dict(os.environ, DISPLAY=self.display)
        self.env.pop("QT_QPA_PLATFORM", None)
        self.env.pop("WAYLAND_DISPLAY", None)
        self.window_manager = None
        self.tray_host = None
        if window_manager:
            self.start_window_manager()

    def start_window_manager(self):
        """openbox, asked again when it has not announced itself in time (a
        loaded machine can be slow to let it start); its output is kept for
        the failure message."""
        self.wm_log = tempfile.TemporaryFile()
        for _ in range(3):
            self.window_manager = subprocess.Popen(["openbox", "--sm-disable"], env=self.env,
                                                   stdout=self.wm_log, stderr=self.wm_log)
            if self.wait_for(lambda: "window id" in self.run("xprop", "-root", "_NET_SUPPORTING_WM_CHECK").stdout,
                             15):
                return
            self.window_manager.kill()
            self.window_manager.wait()
        self.wm_log.seek(0)
        raise RuntimeError("openbox did not start: " + self.wm_log.read().decode(errors="replace"))

    def start_tray_host(self):
        """trayer, a notification area in a panel at the top right; ready once
        its panel is on the screen."""
        self.tray_host = subprocess.Popen(["trayer", "--edge", "top", "--align", "right", "--widthtype", "request",
                                           "--height", "24"], env=self.env, stdout=subprocess.DEVNULL,
                                          stderr=subprocess.DEVNULL)
        if not self.wait_for(lambda: self.run("xdotool", "search", "--onlyvisible", "--classname", "^panel$").stdout,
                             15):
            raise RuntimeError("trayer did not show its panel")

    def tray_icons(self, class_name):
        """Ids of the mapped windows of that class that sit in the tray host's panel."""
        found = self.run("xdotool", "search", "--onlyvisible", "--class", "^%s$" % class_name).stdout.split()
        return [int(w) for w in found if '"panel"' in " ".join(self.ancestors(int(w)))]

    def ancestors(self, window):
        """The lines that name each parent of the window, up to the root."""
        lines = []
        while True:
            parent = [line for line in self.run("xwininfo", "-children", "-id", str(window)).stdout.splitlines()
                      if "Parent window id:" in line]
            if not parent or "(the root window)" in parent[0] or " 0x0 " in parent[0]:
                return lines
            lines.append(parent[0])
            window = int(parent[0].split()[3], 16)

    def double_click(self, window):
        """Two left clicks in the middle of the window."""
        geometry = dict(line.split("=") for line in self.run("xdotool", "getwindowgeometry", "--shell",
                                                             str(window)).stdout.split())
        x = int(geometry["X"]) + int(geometry["WIDTH"]) // 2
        y = int(geometry["Y"]) + int(geometry["HEIGHT"]) // 2
        self.run("xdotool", "mousemove", str(x), str(y), "click", "--repeat", "2", "--delay", "80", "1")

    def run(self, *args, timeout=20):
        return subprocess.run(args, env=self.env, capture_output=True, text=True, timeout=timeout)

    @staticmethod
    def wait_for(condition, seconds):
        deadline = time.time() + seconds
        while time.time() < deadline:
            if condition():
                return True
            time.sleep(0.1)
        return False

    def windows_named(self, name):
        """Ids of the mapped windows whose title is exactly `name`."""
        found = self.run("xdotool", "search", "--onlyvisible", "--name", "^%s$" % name)
        return [int(w) for w in found.stdout.split()]

    def managed(self, window):
        """Whether the window manager has taken the window on (it sets WM_STATE)."""
        return "Normal" in self.run("xprop", "-id", str(window), "WM_STATE").stdout

    def minimise(self, window, name):
        """Iconifies the window; asks again if the first request was missed."""
        for _ in range(3):
            self.run("xdotool", "windowminimize", str(window))
            if self.wait_for(lambda: window not in self.windows_named(name), 3):
                return True
        return False

    def active_window(self):
        found = self.run("xdotool", "getactivewindow")
        return int(found.stdout) if found.returncode == 0 and found.stdout.strip() else None

    def window_title(self, window):
        return self.run("xdotool", "getwindowname", str(window)).stdout.rstrip("\n")

    def screenshot(self, path, window=None, frame=True):
        """A PNG of one window (with its title bar when `frame`), or of the screen."""
        args = ["import", "-silent"]
        if window is None:
            args += ["-window", "root"]
        else:
            args += (["-frame"] if frame else []) + ["-window", str(window)]
        result = self.run(*args, path)
        if result.returncode != 0:
            raise RuntimeError("import failed: " + result.stderr)
        return path

    def colours(self, path):
        """How many distinct colours the picture holds: 1 for a blank one."""
        return int(self.run("identify", "-format", "%k", path).stdout)

    def close(self):
        for process in (self.tray_host, self.window_manager, self.xvfb):
            if process and process.poll() is None:
                process.terminate()
                try:
                    process.wait(5)
                except subprocess.TimeoutExpired:
                    process.kill()
