#!/usr/bin/python3
"""A real Prometheus, started here on a free loopback port with a scratch
storage folder, scraping the three programs of the simulated installation
through their --metrics ports; what it stored is asked through its HTTP API,
as a dashboard or an alert rule would."""
import json
import os
import shutil
import subprocess
import sys
import tempfile
import time
import unittest
import urllib.parse
import urllib.request

SOURCE = os.environ.get("QUILLON_SOURCE_DIR", os.path.join(os.path.dirname(__file__), "..", ".."))
sys.path.insert(0, os.path.join(SOURCE, "sim", "broadcast", "bcsim", "tests"))

from bcsim_harness import BcSim  # noqa: E402
from heraldo_gateway_test import Heraldo  # noqa: E402
from modemsim_harness import free_port  # noqa: E402
from quillon_harness import Quillon  # noqa: E402
from vigimon_monitor_test import Vigimon  # noqa: E402

AUTHORISED = "13911112222"


def http_get(url, timeout=5):
    with urllib.request.urlopen(url, timeout=timeout) as reply:
        return reply.read().decode("utf-8")


class Prometheus:
    """prometheus on 127.0.0.1, scraping `targets` ({job: port}) every second."""

    def __init__(self, targets):
        self.folder = tempfile.mkdtemp(prefix="prometheus-")
        self.port = free_port()
        config = "global:\n  scrape_interval: 1s\n  scrape_timeout: 900ms\nscrape_configs:\n"
        for job, port in targets.items():
            config += "  - job_name: %s\n    static_configs:\n      - targets: ['127.0.0.1:%d']\n" % (job, port)
        with open(os.path.join(self.folder, "prometheus.yml"), "w") as f:
            f.write(config)
        self.log = open(os.path.join(self.folder, "prometheus.log"), "wb")
        self.proc = subprocess.Popen(
            ["prometheus", "--config.file=" + os.path.join(self.folder, "prometheus.yml"),
             "--storage.tsdb.path=" + os.path.join(self.folder, "data"),
             "--web.listen-address=127.0.0.1:%d" % self.port, "--log.level=warn"],
            stdout=self.log, stderr=subprocess.STDOUT)

    def query(self, expression):
        """The instant vector of `expression`: {job: value}."""
        url = "http://127.0.0.1:%d/api/v1/query?query=%s" % (self.port, urllib.parse.quote(expression))
        try:
            result = json.loads(http_get(url))["data"]["result"]
        except OSError:
            return {}
        return {sample["metric"].get("job", ""): float(sample["value"][1]) for sample in result}

    def wait(self, expression, predicate, timeout=30):
        """The query's result once `predicate` holds for it, else the last one."""
        deadline = time.time() + timeout
        while True:
            value = self.query(expression)
            if predicate(value) or time.time() > deadline:
                return value
            time.sleep(0.5)

    def stop(self):
        self.proc.terminate()
        self.proc.wait(20)
        self.log.close()
        shutil.rmtree(self.folder, ignore_errors=True)


class ScrapedInstallation(unittest.TestCase):
    def setUp(self):
        self.ports = {"quillon": free_port(), "heraldo": free_port(), "vigimon": free_port()}
        metrics = {job: ("--metrics", "127.0.0.1:%d" % port) for job, port in self.ports.items()}
        self.quillon = Quillon(options=metrics["quillon"])
        self.addCleanup(self.quillon.stop)
        self.bcsim = BcSim({"generate": {"terminals": 12, "areas": 3}}, data_port=15001)
        self.addCleanup(self.bcsim.stop)
        self.heraldo = Heraldo(self.quillon, self.bcsim, 0, {AUTHORISED: "3,7,"}, extra_args=metrics["heraldo"])
        self.addCleanup(self.heraldo.stop)
        self.vigimon = Vigimon(self.quillon, self.bcsim, extra_args=metrics["vigimon"])
        self.addCleanup(self.vigimon.stop)
        self.assertTrue(self.heraldo.wait_for_line("modem: 短信猫已连接"), "\n".join(self.heraldo.lines))
        self.prometheus = Prometheus(self.ports)
        self.addCleanup(self.prometheus.stop)

    def test_every_program_is_scraped_and_a_played_sms_shows_in_both_counters(self):
        p = self.prometheus
        up = p.wait("up", lambda v: len(v) == 3 and all(x == 1 for x in v.values()), 60)
        self.assertEqual(up, {"quillon": 1, "heraldo": 1, "vigimon": 1}, p.log.name)
        for job, port in self.ports.items():
            text = http_get("http://127.0.0.1:%d/metrics" % port)
            check = subprocess.run(["promtool", "check", "metrics"], input=text, capture_output=True, text=True)
            self.assertEqual(check.returncode, 0, job + ": " + check.stdout + check.stderr)
        received = 'sum(quillon_sms_received_total)'
        played = 'sum(heraldo_broadcasts_total{result="played"})'
        before = (p.query(received).get("", 0), p.query(played).get("", 0))

        heard = len(self.heraldo.lines)
        self.quillon.sim.ok(cmd="inject", **{"from": "86" + AUTHORISED}, text="监控之下的广播", coding="ucs2")
        self.assertTrue(self.heraldo.wait_for_line("监控之下的广播 [短信播放完成]", 60), "\n".join(self.heraldo.lines[heard:]))
        after_received = p.wait(received, lambda v: v.get("", 0) > before[0])
        after_played = p.wait(played, lambda v: v.get("", 0) > before[1])
        self.assertGreater(after_received.get("", 0), before[0])
        self.assertGreater(after_played.get("", 0), before[1])
        self.assertEqual(p.query('quillon_modem_state')["quillon"], 2)  # ready

        # And a person's view of the same: the status pages answer, in UTF-8.
        self.assertIn("COM3", http_get("http://127.0.0.1:%d/" % self.ports["quillon"]))
        self.assertIn("监控之下的广播", http_get("http://127.0.0.1:%d/" % self.ports["heraldo"]))
        self.assertIn("区域1", http_get("http://127.0.0.1:%d/" % self.ports["vigimon"]))


if __name__ == "__main__":
    unittest.main()
