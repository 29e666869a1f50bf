#!/usr/bin/python3
"""Latency from the moment an SMS is stored in the modem to the first audio
frame of its broadcast at the server: modemsim, Quillon, Heraldo --headless
and bcsim at their real timings. MESSAGES messages from as many numbers are
stored at random moments over SPREAD seconds; every number may broadcast,
so no message waits for another's session.

With --indications the same traffic runs twice, Quillon as it is by default
and Quillon --indications, for 20 messages over 200 s and 20 over 60 s (or
MESSAGES over SPREAD when given), and the figures come side by side.

usage: bench/sms_latency_bench.py [--indications] [MESSAGES [SPREAD]]
       (after make build; default 20 200)"""
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


def measure(messages, spread, options=()):
    """Latencies in seconds, sorted, of the messages heard within a minute of the last one."""
    quillon = Quillon(time_scale="1")
    if options:
        quillon.end_program()
        quillon.launch(*options)
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
        return sorted(epoch + s["received"]["first_frame_ms"] / 1000.0 - stored[s["name"]]
                      for s in heard if s["name"] in stored)
    finally:
        heraldo.stop()
        bcsim.stop()
        quillon.stop()


def p95(latencies):
    return latencies[round(0.95 * (len(latencies) - 1))]


def figures(latencies):
    if not latencies:
        return "nothing heard"
    return "min %.2f s   median %.2f s   p95 %.2f s   max %.2f s" % (
        latencies[0], statistics.median(latencies), p95(latencies), latencies[-1])


def main():
    args = sys.argv[1:]
    indications = "--indications" in args
    args = [a for a in args if a != "--indications"]
    if args:
        loads = [(int(args[0]), float(args[1]) if len(args) > 1 else 200.0)]
    else:
        loads = [(20, 200.0), (20, 60.0)] if indications else [(20, 200.0)]
    modes = [("default", ()), ("--indications", ("--indications",))] if indications else [("", ())]
    print("SMS stored in the modem -> first audio frame at the broadcast server")
    summary = []
    for messages, spread in loads:
        row = "%2d over %3.0f s" % (messages, spread)
        for name, options in modes:
            latencies = measure(messages, spread, options)
            print("%d of %d messages over %.0f s%s" % (len(latencies), messages, spread,
                                                         ", Quillon " + name if name else ""))
            print("  " + figures(latencies))
            print("  each: " + " ".join("%.2f" % v for v in latencies), flush=True)
            if latencies:
                row += "   %6.2f %6.2f" % (statistics.median(latencies), p95(latencies))
            else:
                row += "   %13s" % "none heard"
        summary.append(row)
    if indications:
        print("\n                default         --indications")
        print("                median    p95   median    p95")
        for row in summary:
            print(row)


if __name__ == "__main__":
    main()
