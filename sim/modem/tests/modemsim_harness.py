"""Starts modemsim for a test and talks to it: JSON control requests, and the
serial port as a plain raw-mode client sees it."""
import os
import select
import shutil
import sys
import tempfile
import termios
import time
import tty

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", ".."))
from simulator_process import Simulator, free_port  # noqa: E402,F401

MODEMSIM = os.path.join(os.environ.get("QUILLON_BIN_DIR", "build/bin"), "modemsim")


class ModemSim(Simulator):
    """One simulator on a temporary device folder; stop() ends it with SIGTERM."""

    def __init__(self, com=3, storage=None, env=None, device_dir=None):
        # A folder of our own goes when the simulator stops.
        self.own_dir = device_dir is None
        self.device_dir = device_dir or tempfile.mkdtemp(prefix="modemsim-")
        self.link = os.path.join(self.device_dir, "COM%d" % com)

        def args():
            self.port = free_port()
            args = [MODEMSIM, "--device-dir", self.device_dir, "--com", str(com), "--control", str(self.port)]
            return args + ["--storage", str(storage)] if storage else args

        super().__init__("modemsim", args, lambda: self.port, env)

    def stop(self):
        code = super().stop()
        if self.own_dir:
            self.link_left = os.path.lexists(self.link)
            shutil.rmtree(self.device_dir, ignore_errors=True)
        return code


class SerialClient:
    """The port opened the way a serial program opens it: raw, non-blocking."""

    def __init__(self, path):
        self.fd = os.open(path, os.O_RDWR | os.O_NOCTTY | os.O_NONBLOCK)
        tty.setraw(self.fd)
        termios.tcflush(self.fd, termios.TCIOFLUSH)

    def close(self):
        os.close(self.fd)

    def write(self, data):
        os.write(self.fd, data)

    def reads(self, until, timeout=3.0):
        """Every read() result until the collected bytes end with `until`."""
        chunks, deadline = [], time.monotonic() + timeout
        while not b"".join(chunks).endswith(until):
            left = deadline - time.monotonic()
            if left <= 0 or not select.select([self.fd], [], [], left)[0]:
                raise AssertionError("no %r after %r" % (until, b"".join(chunks)))
            chunks.append(os.read(self.fd, 4096))
        return chunks

    def read_until(self, until, timeout=3.0):
        return b"".join(self.reads(until, timeout))

    def quiet(self, seconds):
        """Whatever arrives within `seconds`."""
        data, deadline = b"", time.monotonic() + seconds
        while (left := deadline - time.monotonic()) > 0:
            if select.select([self.fd], [], [], left)[0]:
                data += os.read(self.fd, 4096)
        return data

    def command(self, line, until=b"OK\r\n"):
        self.write(line.encode() + b"\r\n")
        return self.read_until(until)
