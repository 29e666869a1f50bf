#!/usr/bin/python3
"""Abuse of Quillon's metrics port: garbage, a client that never finishes
its request, a thousand connections held open. The SMS work goes on at its
usual pace meanwhile, and a scrape still gets through afterwards."""
import os
import socket
import time
import unittest
import urllib.request

from fault_matrix import Quillon, send, wait_for_sent
from modemsim_harness import free_port


SCHED_IDLE = 5


def thread_policies(pid):
    """{thread name: set of scheduling policies} of the process's threads."""
    policies = {}
    for tid in os.listdir("/proc/%d/task" % pid):
        with open("/proc/%d/task/%s/stat" % (pid, tid)) as stat:
            text = stat.read()
        name = text[text.index("(") + 1:text.rindex(")")]
        fields = text[text.rindex(")") + 2:].split()
        policies.setdefault(name, set()).add(int(fields[38]))  # field 41 of stat(5)
    return policies


class MetricsPortAbuse(unittest.TestCase):
    def test_garbage_slow_and_crowding_clients_never_hold_up_the_sms_work(self):
        port = free_port()
        q = Quillon(options=("--metrics", "127.0.0.1:%d" % port))
        self.addCleanup(q.stop)
        q.open_ready()
        url = "http://127.0.0.1:%d/metrics" % port
        self.assertIn("quillon_modem_state", urllib.request.urlopen(url, timeout=5).read().decode())
        # A scrape gives way to the service's own threads, never the reverse.
        policies = thread_policies(q.proc.pid)
        self.assertEqual(policies.pop("civetweb-worker"), {SCHED_IDLE})
        self.assertEqual(policies.pop("civetweb-master"), {SCHED_IDLE})
        self.assertNotIn(SCHED_IDLE, set().union(*policies.values()))

        held = []
        self.addCleanup(lambda: [s.close() for s in held])
        slow = socket.create_connection(("127.0.0.1", port))
        slow.sendall(b"GET /metrics HTTP/1.1\r\nHost: x\r\n")  # and never the end of its headers
        held.append(slow)
        for i in range(1000):
            try:
                s = socket.create_connection(("127.0.0.1", port), timeout=2)
            except OSError:
                break  # the backlog is full: that is the point
            if i % 10 == 0:
                s.sendall(bytes(range(256)) * 4)  # garbage
            held.append(s)

        started = time.time()
        for i in range(3):
            self.assertEqual(send(q, "1390000000%d" % i, "crowded %d" % i), 0)
        self.assertEqual(len(wait_for_sent(q, 3, 20)), 3)
        self.assertLess(time.time() - started, 15, q.output()[-2000:])
        self.assertEqual(q.status()["state"], "ready")

        for s in held:
            s.close()
        held.clear()
        deadline = time.time() + 10
        while True:
            try:
                text = urllib.request.urlopen(url, timeout=2).read().decode()
                break
            except OSError:
                self.assertLess(time.time(), deadline, "the metrics port did not recover")
                time.sleep(0.2)
        self.assertIn("quillon_sms_sent_total 3", text)


if __name__ == "__main__":
    unittest.main()
