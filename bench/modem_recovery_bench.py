#!/usr/bin/python3
"""Time to recovery of the SMS service after each kind of modem fault, at the
real pace: modemsim and Quillon, with no client asking to reopen anything.
Each fault runs RUNS times on one service; the clock starts when the fault
is put on and stops when the service reports the modem ready again with one
more recovery done (quillonctl status), with a message queued during the
fault sent.

- time-out: the modem swallows every command; an SMS is queued, so the
  send's reply time-out (10 s) is what notices, or a listing's (60 s) when
  one was under way. The modem answers again once the service has closed it.
- restart: the modem is silent for RESTART_S seconds (5), then says RDY.
- unplug and replug: the device goes for UNPLUG_S seconds (3), then comes
  back; timed from the replug.
- wedged radio: registered, but every send refused until the radio is
  switched off and on.

Goals: restart and replug 15 s or less, wedged radio 90 s or less.

usage: bench/modem_recovery_bench.py [RUNS [FAULT...]]   (after make build;
       default 10, every fault: timeout restart replug wedged)"""
import os
import statistics
import sys
import time

HERE = os.path.dirname(os.path.abspath(__file__))
os.environ.setdefault("QUILLON_BIN_DIR", os.path.join(HERE, "..", "build", "bin"))
os.environ.setdefault("QUILLON_SOURCE_DIR", os.path.join(HERE, ".."))
sys.path.insert(0, os.path.join(HERE, "..", "tests", "e2e"))

from quillon_harness import Quillon  # noqa: E402

RESTART_S = 5
UNPLUG_S = 3
GOALS = {"restart": 15, "replug": 15, "wedged": 90}
CENTRE = "8613800100500"


def wait_for(predicate, timeout, interval=0.1):
    deadline = time.time() + timeout
    while time.time() < deadline:
        value = predicate()
        if value:
            return value
        time.sleep(interval)
    raise RuntimeError("gave up waiting after %d s" % timeout)


def queue(quillon, text):
    result = quillon.quillonctl("send", "--centre", CENTRE, "--to", "13900000001", "--text", text, "--timeout", "5")
    if result.returncode != 0:
        raise RuntimeError("could not queue: " + result.stderr)


def sent_count(quillon):
    return len(quillon.sim.ok(cmd="sent")["sent"])


def recovered(quillon, recoveries, sends):
    status = quillon.status()
    return status["state"] == "ready" and status["recoveries"] > recoveries and sent_count(quillon) >= sends


def one_run(quillon, fault, run):
    """Seconds from the fault (or the replug) to the modem ready and the message sent."""
    before = quillon.status()["recoveries"]
    sends = sent_count(quillon) + 1
    text = "%s %d" % (fault, run)
    sim = quillon.sim
    if fault == "timeout":
        sim.ok(cmd="fault", mode="silent")
        began = time.time()
        queue(quillon, text)
        wait_for(lambda: quillon.status()["state"] != "ready", 90)
        sim.ok(cmd="fault", mode="clear")
    elif fault == "restart":
        sim.ok(cmd="reboot", seconds=RESTART_S)
        began = time.time()
        queue(quillon, text)
    elif fault == "replug":
        sim.ok(cmd="unplug")
        wait_for(lambda: quillon.status()["state"] != "ready", 10)
        time.sleep(UNPLUG_S)
        sim.ok(cmd="replug")
        began = time.time()
        wait_for(lambda: quillon.status()["state"] == "ready", 60)
        queue(quillon, text)
    elif fault == "wedged":
        sim.ok(cmd="fault", mode="wedged")
        began = time.time()
        queue(quillon, text)
    wait_for(lambda: recovered(quillon, before, sends), 180, 0.05)
    return time.time() - began


def main():
    runs = int(sys.argv[1]) if len(sys.argv) > 1 else 10
    faults = sys.argv[2:] or ["timeout", "restart", "replug", "wedged"]
    print("modem recovery, %d runs each, real pace (restart %d s, unplugged %d s)" % (runs, RESTART_S, UNPLUG_S))
    failed = False
    for fault in faults:
        quillon = Quillon(time_scale="1", storage=10)
        try:
            quillon.open_ready(30)
            times = []
            for run in range(runs):
                times.append(one_run(quillon, fault, run))
                print("  %-8s run %2d: %5.1f s" % (fault, run + 1, times[-1]), flush=True)
                time.sleep(1)
        finally:
            quillon.stop()
        worst = max(times)
        goal = GOALS.get(fault)
        verdict = "" if goal is None else ("  goal %d s: %s" % (goal, "met" if worst <= goal else "MISSED"))
        failed |= goal is not None and worst > goal
        print("%-8s median %5.1f s  worst %5.1f s%s" % (fault, statistics.median(times), worst, verdict), flush=True)
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
