"""Runs the SMS service as an operator would: registered as a plain program in
a scratch registry, listening on a free loopback port, with modemsim as its
modem."""
import json
import os
import socket
import subprocess
import sys
import tempfile
import threading
import time

SOURCE = os.environ.get("QUILLON_SOURCE_DIR", os.path.join(os.path.dirname(__file__), "..", ".."))
sys.path.insert(0, os.path.join(SOURCE, "sim", "modem", "tests"))

from modemsim_harness import ModemSim, free_port  # noqa: E402

BIN = os.environ.get("QUILLON_BIN_DIR", "build/bin")
COM = 3


def write_gbk_ini(path, sections):
    """An INI file as the programs write them: GBK, CRLF lines."""
    text = ""
    for section, keys in sections.items():
        text += "[%s]\r\n" % section + "".join("%s=%s\r\n" % kv for kv in keys.items())
    with open(path, "wb") as f:
        f.write(text.encode("gbk"))


class HeadlessProgram:
    """A headless program whose output lines are collected as they come."""

    def __init__(self, args, env, cwd=None):
        self.launch = (args, env, cwd)
        self.proc = subprocess.Popen(args, env=env, cwd=cwd, stdout=subprocess.PIPE, stderr=subprocess.STDOUT,
                                     text=True)
        self.lines = []
        self.reader = threading.Thread(target=self._read, daemon=True)
        self.reader.start()

    def _read(self):
        for line in self.proc.stdout:
            self.lines.append(line.rstrip("\n"))

    def wait_for_line(self, fragment, timeout=40):
        deadline = time.time() + timeout
        while time.time() < deadline:
            if any(fragment in line for line in self.lines):
                return True
            time.sleep(0.1)
        return False

    def kill_and_restart(self):
        """SIGKILL, as a power cut ends it, then the same program with the same files again."""
        self.proc.kill()
        self.proc.wait(10)
        self.reader.join(5)
        self.proc.stdout.close()
        HeadlessProgram.__init__(self, *self.launch)

    def stop(self):
        """Ends it with SIGTERM; its exit status."""
        if self.proc.poll() is None:
            self.proc.terminate()
        status = self.proc.wait(15)
        self.reader.join(5)
        return status


class Quillon:
    """modemsim plus a Quillon in program mode; stop() ends both."""

    def __init__(self, time_scale="0.1", storage=None, options=(), extra_env=None):
        self.scratch = tempfile.mkdtemp(prefix="quillon-")
        self.sim = ModemSim(com=COM, storage=storage)
        self.port = free_port()
        self.env = dict(os.environ,
                        QUILLON_REGISTRY=os.path.join(self.scratch, "registry"),
                        QUILLON_USER_REGISTRY=os.path.join(self.scratch, "user-registry"),
                        QUILLON_UNIT_DIR=os.path.join(self.scratch, "units"),
                        QUILLON_STATE_DIR=os.path.join(self.scratch, "state"),
                        QUILLON_DEVICE_DIR=self.sim.device_dir,
                        QUILLON_TIME_SCALE=time_scale,
                        QUILLON_SERVICE_PORT=str(self.port))
        self.env.update(extra_env or {})
        subprocess.run([os.path.join(BIN, "Quillon"), "-RegServer"], env=self.env, check=True,
                       capture_output=True, timeout=10)
        # A file, not a pipe: nobody reads the log while the test runs, and a full pipe would block it.
        self.log = open(os.path.join(self.scratch, "quillon.log"), "wb")
        self.options = tuple(options)
        self.launch(*self.options)

    def launch(self, *options):
        """Starts the Quillon program (again) with `options`, once it listens."""
        self.proc = subprocess.Popen([os.path.join(BIN, "Quillon"), "--port", str(self.port), *options],
                                     env=self.env, stdout=self.log, stderr=subprocess.STDOUT)
        deadline = time.time() + 10
        while time.time() < deadline:
            try:
                socket.create_connection(("127.0.0.1", self.port), timeout=1).close()
                return
            except OSError:
                time.sleep(0.05)
        self.stop()
        raise RuntimeError("Quillon did not start listening")

    def kill(self):
        """SIGKILL, as a power cut or the OOM killer ends it; modemsim keeps running."""
        self.proc.kill()
        self.proc.wait(10)

    def journal(self):
        """What `quillonctl journal` says of this service's journal."""
        return subprocess.run([os.path.join(BIN, "quillonctl"), "journal"], env=self.env, capture_output=True,
                              timeout=20, text=True)

    def end_program(self):
        """SIGTERM to Quillon alone; modemsim keeps running."""
        self.proc.terminate()
        self.proc.wait(10)

    def quillonctl(self, *args, timeout=60):
        return subprocess.run([os.path.join(BIN, "quillonctl"), *args, "--com", str(COM)], env=self.env,
                              capture_output=True, timeout=timeout, text=True)

    def status(self):
        """`quillonctl status --json`, parsed."""
        result = subprocess.run([os.path.join(BIN, "quillonctl"), "status", "--json"], env=self.env,
                                capture_output=True, timeout=20, text=True)
        return json.loads(result.stdout)

    def output(self):
        """What Quillon has written to its standard output so far."""
        with open(os.path.join(self.scratch, "quillon.log"), encoding="utf-8", errors="replace") as log:
            return log.read()

    def open_ready(self, seconds=20):
        result = self.quillonctl("open", "--wait", str(seconds))
        if result.returncode != 0:
            raise AssertionError("modem not ready: " + result.stdout + result.stderr)

    def stop(self):
        if self.proc.poll() is None:
            self.proc.terminate()
            try:
                self.proc.wait(5)
            except subprocess.TimeoutExpired:
                self.proc.kill()
                self.proc.wait()
        self.log.close()
        self.sim.stop()
