"""What both simulators' test harnesses share: free loopback ports, and
starting a simulator that prints "ready" once it listens."""
import os
import select
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
