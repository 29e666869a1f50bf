"""What both simulators' test harnesses share: free loopback ports, and
starting a simulator that prints "ready" once it listens."""
import json
import os
import select
import signal
import socket
import subprocess


def free_ports(count):
    """`count` distinct ports that were free a moment ago."""
    sockets = []
    try:
        for _ in range(count):
            s = socket.socket()
            s.bind(("127.0.0.1", 0))
            sockets.append(s)
        return [s.getsockname()[1] for s in sockets]
    finally:
        for s in sockets:
            s.close()


def free_port():
    return free_ports(1)[0]


def start_simulator(name, make_args, env=None):
    """Starts the program that `make_args()` names, with fresh free ports on
    each try, and returns the process once it has printed "ready"."""
    for _ in range(3):  # another process may take a free port first
        proc = subprocess.Popen(make_args(), stdout=subprocess.PIPE, stderr=subprocess.PIPE,
                                env=dict(os.environ, **(env or {})))
        ready, _, _ = select.select([proc.stdout], [], [], 5)
        if ready and proc.stdout.readline() == b"ready\n":
            return proc
        proc.kill()
        proc.wait()
    raise RuntimeError(name + " did not start: " + proc.stderr.read().decode())


class Simulator:
    """A running simulator and its JSON control connection, one request and
    one reply per line."""

    def __init__(self, name, make_args, control_port, env=None):
        """`control_port()` names the port once the process is up."""
        self.proc = start_simulator(name, make_args, env)
        self.sock = socket.create_connection(("127.0.0.1", control_port()), timeout=5)
        self.replies = self.sock.makefile("r", encoding="utf-8")

    def control(self, **request):
        self.sock.sendall((json.dumps(request) + "\n").encode())
        return json.loads(self.replies.readline())

    def ok(self, **request):
        reply = self.control(**request)
        if not reply.get("ok"):
            raise AssertionError("%s failed: %s" % (request, reply))
        return reply

    def stop(self):
        """Ends it with SIGTERM; its exit status."""
        self.replies.close()
        self.sock.close()
        self.proc.send_signal(signal.SIGTERM)
        code = self.proc.wait(5)
        self.proc.stdout.close()
        self.proc.stderr.close()
        return code
