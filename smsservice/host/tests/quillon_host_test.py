#!/usr/bin/python3
"""Runs the Quillon program: the registration verbs against a registry and a
unit folder in a temporary directory, then the program itself serving a
client on loopback until it is told to stop."""
import os
import shutil
import signal
import socket
import subprocess
import tempfile
import time
import unittest

QUILLON = os.path.join(os.environ.get("QUILLON_BIN_DIR", "build/bin"), "Quillon")
ERROR_FILE_NOT_FOUND = 2
ERROR_INVALID_PARAMETER = 87
# A process exit status keeps only the low 8 bits of the Windows error code.
ERROR_FAILED_SERVICE_CONTROLLER_CONNECT = 1063 & 0xFF
FETCH = bytes.fromhex("FD0011110200 0000".replace(" ", ""))
START_FAILED = "服务启动失败！"


def free_port():
    with socket.socket() as probe:
        probe.bind(("127.0.0.1", 0))
        return probe.getsockname()[1]


class QuillonHostTest(unittest.TestCase):
    def setUp(self):
        self.dir = tempfile.mkdtemp(prefix="quillon_host_test.")
        self.units = os.path.join(self.dir, "units")
        os.mkdir(self.units)
        self.registry = os.path.join(self.dir, "registry")
        # Started from a console, whatever runs the tests.
        self.env = {k: v for k, v in os.environ.items()
                    if k not in ("INVOCATION_ID", "NOTIFY_SOCKET", "SYSTEMD_EXEC_PID")}
        self.env.update(QUILLON_REGISTRY=self.registry, QUILLON_UNIT_DIR=self.units,
                        QUILLON_STATE_DIR=os.path.join(self.dir, "state"),
                        QUILLON_USER_REGISTRY=os.path.join(self.dir, "user-registry"))
        self.unit = os.path.join(self.units, "quillon.service")
        self.link = os.path.join(self.units, "multi-user.target.wants", "quillon.service")
        self.port = free_port()
        self.children = []

    def tearDown(self):
        for child in self.children:
            if child.poll() is None:
                child.kill()
                child.wait()
            child.stdout.close()
            child.stderr.close()
        shutil.rmtree(self.dir)

    def quillon(self, *args, env=None):
        return subprocess.run([QUILLON, *args], env=env or self.env, capture_output=True, timeout=10).returncode

    def start(self, env=None):
        child = subprocess.Popen([QUILLON, "--port", str(self.port)], env=env or self.env,
                                 stdout=subprocess.PIPE, stderr=subprocess.PIPE)
        self.children.append(child)
        return child

    def connect(self, child):
        deadline = time.monotonic() + 5
        while time.monotonic() < deadline:
            self.assertIsNone(child.poll(), "Quillon ended before it listened")
            try:
                return socket.create_connection(("127.0.0.1", self.port), timeout=2)
            except OSError:
                time.sleep(0.02)
        self.fail("Quillon never listened")

    def assert_stops_on(self, child, signum):
        child.send_signal(signum)
        self.assertEqual(child.wait(timeout=2), 0)

    def test_unregistered_program_does_not_run(self):
        self.assertEqual(self.quillon(), ERROR_FILE_NOT_FOUND)
        self.assertEqual(self.quillon("/Services"), ERROR_FILE_NOT_FOUND)  # not the verb
        self.assertFalse(os.path.exists(self.unit))

    def test_service_verb_installs_a_unit_that_a_console_cannot_start(self):
        self.assertEqual(self.quillon("/service"), 0)
        with open(self.unit, encoding="utf-8") as unit:
            text = unit.read()
        self.assertIn('ExecStart="%s" $QUILLON_OPTS\n' % os.path.realpath(QUILLON), text)
        self.assertIn("Description=短信接收和发送服务\n", text)
        self.assertEqual(os.readlink(self.link), os.path.join(self.units, "quillon.service"))
        with open(self.registry, encoding="utf-8") as registry:
            self.assertIn('"LocalService"="Quillon"', registry.read())
        self.assertEqual(self.quillon(), ERROR_FAILED_SERVICE_CONTROLLER_CONNECT)

    def test_as_a_service_it_logs_nothing_on_stdout_and_stops_on_sigterm(self):
        self.assertEqual(self.quillon("-SERVICE"), 0)
        child = self.start(env=dict(self.env, INVOCATION_ID="0123456789abcdef"))
        self.connect(child).close()
        self.assert_stops_on(child, signal.SIGTERM)
        self.assertEqual(child.stdout.read(), b"")

    def test_after_regserver_it_runs_as_a_program_and_serves_clients(self):
        self.assertEqual(self.quillon("-Service"), 0)
        self.assertEqual(self.quillon("-RegServer"), 0)
        self.assertFalse(os.path.exists(self.unit))
        self.assertFalse(os.path.lexists(self.link))

        for signum in (signal.SIGTERM, signal.SIGINT):
            child = self.start()
            with self.connect(child) as client:
                client.sendall(FETCH)
                reply = b""
                while len(reply) < 12:
                    chunk = client.recv(64)
                    self.assertTrue(chunk, "connection closed before the reply")
                    reply += chunk
                self.assertEqual(len(reply), 12)
                self.assertEqual(reply[:3], bytes([0xFD, 0x00, 0x02]))
                # A second instance finds the port taken and says so.
                rival = subprocess.run([QUILLON, "--port", str(self.port), "--state-dir", self.dir + "/rival"],
                                       env=self.env, capture_output=True, timeout=10)
                self.assertEqual(rival.returncode, 1)
                self.assertEqual(rival.stdout.decode("utf-8"), START_FAILED + "\n")
                # One on another port finds the journal taken: both would hand out every message.
                rival = subprocess.run([QUILLON, "--port", str(free_port())], env=self.env, capture_output=True,
                                       timeout=10)
                self.assertEqual(rival.returncode, 1)
                self.assertEqual(rival.stdout.decode("utf-8"), START_FAILED + "\n")
                self.assertIn("another Quillon is running with this journal", rival.stderr.decode("utf-8"))
            self.assert_stops_on(child, signum)

    def test_a_damaged_journal_is_moved_aside_and_an_unwritable_folder_stops_the_start(self):
        self.assertEqual(self.quillon("-RegServer"), 0)
        state = os.path.join(self.dir, "state")
        os.makedirs(state)
        with open(os.path.join(state, "quillon.db"), "wb") as damaged:
            damaged.write(b"half a page, then the power went" * 64)
        child = self.start()
        self.connect(child).close()
        self.assert_stops_on(child, signal.SIGTERM)
        output = child.stdout.read().decode("utf-8")
        aside = [name for name in os.listdir(state) if name.startswith("quillon.db.damaged-")]
        self.assertEqual(len(aside), 1, os.listdir(state))
        self.assertIn("moved aside to " + os.path.join(state, aside[0]) + ", a new one started", output)
        with open(os.path.join(state, aside[0]), "rb") as kept:
            self.assertTrue(kept.read().startswith(b"half a page"))

        # A folder under a plain file can never be made, root or not.
        with open(os.path.join(self.dir, "plain"), "w") as plain:
            plain.write("x")
        blocked = dict(self.env, QUILLON_STATE_DIR=os.path.join(self.dir, "plain", "state"))
        failed = subprocess.run([QUILLON, "--port", str(free_port())], env=blocked, capture_output=True, timeout=10)
        self.assertEqual(failed.returncode, 1)
        self.assertEqual(failed.stdout.decode("utf-8"), START_FAILED + "\n")
        self.assertIn("cannot keep the journal " + blocked["QUILLON_STATE_DIR"], failed.stderr.decode("utf-8"))

    def test_unregserver_removes_the_registration_and_the_unit(self):
        self.assertEqual(self.quillon("-Service"), 0)
        self.assertEqual(self.quillon("-UnregServer"), 0)
        self.assertFalse(os.path.exists(self.unit))
        self.assertFalse(os.path.lexists(self.link))
        self.assertEqual(self.quillon(), ERROR_FILE_NOT_FOUND)

    def test_options(self):
        result = subprocess.run([QUILLON, "--help"], capture_output=True, timeout=10)
        self.assertEqual(result.returncode, 0)
        self.assertIn(b"--listen ADDR", result.stdout)
        self.assertEqual(self.quillon("--port", "http"), ERROR_INVALID_PARAMETER)


if __name__ == "__main__":
    unittest.main()
