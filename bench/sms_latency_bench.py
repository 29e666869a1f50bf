#!/usr/bin/python3
"""Latency from the moment an SMS is stored in the modem to the first audio
frame of its broadcast at the server: modemsim, Quillon, Heraldo --headless
and bcsim at their real timings. MESSAGES messages from as many numbers are
stored at random moments over SPREAD seconds; every number may broadcast,
so no message waits for another's session.

usage: bench/sms_latency_bench.py [MESSAGES [SPREAD]]   (after make build; default 20 200)"""
import os
import random
import statistics
import sys
import time

HERE = os.path.dirname(os.path.abspath(__file__))
os.environ.setdefault("QUILLON_BIN_DIR", os.path.join(HERE, "..", "build", "bin"))
os.environ.setdefault("QUILLON_SOURCE_DIR", os.path.join(HERE, ".."))
sys.path.insert(0, os.path.join(HERE, "..", "tests", "e2e"))

from heraldo_gateway_test import BcSim, Heraldo  # noqa: E402
from quillon_harness import Quillon  # noqa: E402


def bcsim_epoch(bcsim):
    """Our clock's reading at bcsim's time 0, to within half a round trip."""
    before = time.time()
    t = bcsim.ok(cmd="clock")["t"]
    after = time.time()
    return (before + after) / 2 - t / 1000.0


def main():
    messages = int(sys.argv[1]) if len(sys.argv) > 1 else 20
    spread = float(sys.argv[2]) if len(sys.argv) > 2 else 200.0
    quillon = Quillon(time_scale="1")
    bcsim = BcSim({"generate": {"terminals": 12, "areas": 3}}, data_port=15001)
    # bcsim waits 50 ms of quiet to see where a command ends; a real server
    # answers at once, so that wait is not the gateway's to count.
    bcsim.ok(cmd="framing", quiet_ms=5)
    heraldo = Heraldo(quillon, bcsim, regular=1, delay=1)
    try:
        if not heraldo.wait_for_line("modem: 短信猫已连接", timeout=60):
            sys.exit("Heraldo did not see the modem ready")
        epoch = bcsim_epoch(bcsim)
        rng = random.Random(7)
        moments = sorted(rng.uniform(0, spread) for _ in range(messages))
        stored = {}
        start = time.time()
        for i, at in enumerate(moments):
            time.sleep(max(0.0, start + at - time.time()))
            number = "139%08d" % i
            quillon.sim.ok(cmd="inject", **{"from": "86" + number}, text="第%d条测试消息，请注意收听。" % (i + 1),
                           coding="ucs2")
            stored[number] = time.time()
        deadline = time.time() + 60
        while time.time() < deadline:
            sessions = bcsim.ok(cmd="sessions")["sessions"]
            heard = [s for s in sessions if s["received"].get("first_frame_ms") is not None]
            if len(heard) >= messages:
                break
            time.sleep(0.5)
        latencies = sorted(epoch + s["received"]["first_frame_ms"] / 1000.0 - stored[s["name"]]
                           for s in heard if s["name"] in stored)
        print("SMS stored in the modem -> first audio frame at the broadcast server, %d of %d messages over %.0f s"
              % (len(latencies), messages, spread))
        print("  min %.2f s   median %.2f s   p95 %.2f s   max %.2f s" %
              (latencies[0], statistics.median(latencies), latencies[round(0.95 * (len(latencies) - 1))],
               latencies[-1]))
        print("  each: " + " ".join("%.2f" % v for v in latencies))
    finally:
        heraldo.stop()
        bcsim.stop()
        quillon.stop()


if __name__ == "__main__":
    main()
