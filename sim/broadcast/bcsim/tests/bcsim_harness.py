"""Starts bcsim for a test and talks to it: JSON control requests, and small
clients for the command, data and information ports that behave as the
gateway's agent and the platform components do (PROTOCOL.md)."""
import json
import os
import socket
import struct
import sys
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", ".."))
from simulator_process import Simulator, free_port, free_ports  # noqa: E402,F401

BCSIM = os.path.join(os.environ.get("QUILLON_BIN_DIR", "build/bin"), "bcsim")

FILE_START, FRAME, FILE_END = 1, 2, 3
E_TERMINAL_GONE = -2147220468
S_FALSE = 1


class BcSim(Simulator):
    """One simulator on free ports; stop() ends it with SIGTERM and returns
    its exit status. `scenario` is a file path or a scenario object."""

    def __init__(self, scenario=None, env=None, data_port=None):
        def args():
            self.cmd_port, self.data_port, self.info_port, self.control_port = free_ports(4)
            # The gateway always streams to 15001; a test of it asks for that port.
            self.data_port = data_port or self.data_port
            args = [BCSIM, "--cmd-port", str(self.cmd_port), "--data-port", str(self.data_port),
                    "--info-port", str(self.info_port), "--control", str(self.control_port)]
            return args + ["--scenario", scenario] if isinstance(scenario, str) else args

        super().__init__("bcsim", args, lambda: self.control_port, env)
        if isinstance(scenario, dict):
            self.ok(cmd="load", scenario=scenario)

    def commands(self, conn=None):
        """The command lines of the log, in order (optionally of one connection)."""
        return [e["line"] for e in self.ok(cmd="log")["entries"]
                if e["kind"] == "command" and (conn is None or e["conn"] == conn)]

    def session(self, number):
        for s in self.ok(cmd="sessions")["sessions"]:
            if s["number"] == number:
                return s
        return None


class CommandClient:
    """The command port as the agent uses it: a bare command, then one receive."""

    def __init__(self, port, timeout=2.0):
        self.sock = socket.create_connection(("127.0.0.1", port), timeout=timeout)
        self.sock.setsockopt(socket.IPPROTO_TCP, socket.TCP_NODELAY, 1)

    def send(self, data):
        self.sock.sendall(data if isinstance(data, bytes) else data.encode("gbk"))

    def receive(self, size=65536):
        """One receive; None when nothing came within the time-out."""
        try:
            return self.sock.recv(size)
        except socket.timeout:
            return None

    def command(self, text):
        self.send(text)
        return self.receive()

    def chunked(self, text):
        """A command sent in pieces the way the agent sends one of more than
        1,024 bytes; the piece replies, then the final reply."""
        data = text if isinstance(text, bytes) else text.encode("gbk")
        piece_replies, k = [], 0
        while data:
            body, data = data[:1020], data[1020:]
            piece_replies.append(self.command(b"%03d " % k + body))
            k += 1
        return piece_replies, self.command(b"999")

    def term_list(self):
        """The raw term list reply as a list of the receives it took, up to
        the end line or until the server closes."""
        self.send("term list")
        receives = []
        while not b"".join(receives).endswith(b"000 \n"):
            data = self.receive()
            if not data:
                break
            receives.append(data)
        return receives

    def close(self):
        self.sock.close()


def parse_term_list(data):
    """Terminal lines as the agent reads them: fields split on runs of TABs,
    lines with fewer than seven fields skipped."""
    terminals = []
    for line in data.split(b"\n"):
        if not line or line.lower() == b"000 ":
            continue
        fields = [f for f in line[4:].split(b"\t") if f]
        if len(fields) >= 7:
            terminals.append((int(fields[0]), fields[1].decode("gbk"), fields[2].decode(), int(fields[3])))
    return terminals


class InfoClient:
    """The information port: one JSON request, one JSON reply."""

    def __init__(self, port):
        self.sock = socket.create_connection(("127.0.0.1", port), timeout=2)
        self.replies = self.sock.makefile("r", encoding="utf-8")

    def request(self, **request):
        self.sock.sendall((json.dumps(request) + "\n").encode())
        line = self.replies.readline()
        if not line:
            raise ConnectionError("information port closed")
        return json.loads(line)

    def close(self):
        self.replies.close()
        self.sock.close()


def data_record(kind, session, payload=b""):
    return struct.pack("<BiI", kind, session, len(payload)) + payload


def frame_record(session, duration_us, frame):
    return data_record(FRAME, session, struct.pack("<I", duration_us) + frame)


def wait_for(predicate, timeout=3.0, interval=0.02):
    """Polls `predicate` until it gives something true; returns that."""
    deadline = time.monotonic() + timeout
    while True:
        value = predicate()
        if value or time.monotonic() > deadline:
            return value
        time.sleep(interval)
