"""What the fault tests share: the simulated installation put together from
the end-to-end harnesses, and the questions every fault test asks of it
(what reached the modem, what the programs said, where the modem stands)."""
import binascii
import os
import re
import socket
import sys
import time

SOURCE = os.environ.get("QUILLON_SOURCE_DIR", os.path.join(os.path.dirname(__file__), "..", ".."))
sys.path.insert(0, os.path.join(SOURCE, "tests", "e2e"))
sys.path.insert(0, os.path.join(SOURCE, "sim", "broadcast", "bcsim", "tests"))

import gammu  # noqa: E402

from bcsim_harness import BcSim  # noqa: E402,F401
from heraldo_gateway_test import Heraldo  # noqa: E402,F401
from quillon_harness import BIN, Quillon  # noqa: E402,F401
from vigimon_monitor_test import Vigimon  # noqa: E402,F401

CENTRE = "8613800100500"
FETCH = bytes.fromhex("FD00111102000000")
MODEM_READY, MODEM_OPENING, MODEM_CLOSED = 0, 1, 2
TP_MODEM_STATE, TP_SMS_SUBMIT_ACK = 2, 20


def wait_until(predicate, timeout, interval=0.1):
    """Polls `predicate` until it gives something true; returns that, or the last value."""
    deadline = time.time() + timeout
    while True:
        value = predicate()
        if value or time.time() > deadline:
            return value
        time.sleep(interval)


def line_after(program, start, fragment, timeout=30):
    """True once one of `program`'s output lines from index `start` on holds `fragment`."""
    return wait_until(lambda: any(fragment in line for line in program.lines[start:]), timeout)


def sent_messages(quillon):
    """(number, text) of every SMS the modem sent, in order, as libgammu decodes them."""
    messages = []
    for entry in quillon.sim.ok(cmd="sent")["sent"]:
        sms = gammu.DecodePDU(binascii.unhexlify(entry["pdu"]), True)
        messages.append((sms["Number"], sms["Text"]))
    return messages


def wait_for_sent(quillon, count, timeout=30):
    wait_until(lambda: len(quillon.sim.ok(cmd="sent")["sent"]) >= count, timeout, 0.2)
    return sent_messages(quillon)


def modem_state(port):
    """The modem state a fetch is answered with, or None when a message came instead."""
    with socket.create_connection(("127.0.0.1", port), timeout=2) as s:
        s.sendall(FETCH)
        reply = s.recv(4096)
    return reply[11] if len(reply) == 12 and reply[2] == TP_MODEM_STATE else None


def send(quillon, to, text):
    """quillonctl send; its exit status."""
    return quillon.quillonctl("send", "--centre", CENTRE, "--to", to, "--text", text, "--timeout", "20").returncode


def dropped_sms_named(output, number):
    """Whether Quillon's output names the SMS to `number` as dropped or given up."""
    return re.search(r"SMS to (86)?%s\b.*(dropped|given up)" % re.escape(number), output) is not None


def dropped_delivery_named(output, sender):
    """Whether Quillon's output names an SMS received from `sender` as dropped."""
    return re.search(r"SMS from %s\b.*dropped|dropped.*SMS from %s\b" % (sender, sender), output) is not None


class Installation:
    """Quillon with modemsim, bcsim with 100 terminals in three areas, and the
    headless programs a test asks for; every part stops at the test's end.
    Heraldo streams to the fixed data port, so tests that start it hold the
    lock on it."""

    def __init__(self, test, heraldo=False, vigimon=False, pat=None, regular=0, delay=0, terminals=100):
        self.quillon = Quillon()
        test.addCleanup(self.quillon.stop)
        self.bcsim = BcSim({"generate": {"terminals": terminals, "areas": 3}}, data_port=15001 if heraldo else None)
        test.addCleanup(self.bcsim.stop)
        self.bcsim.ok(cmd="framing", quiet_ms=10)  # many sessions per test
        self.heraldo = self.vigimon = None
        if heraldo:
            self.heraldo = Heraldo(self.quillon, self.bcsim, regular, pat, delay)
            test.addCleanup(self.heraldo.stop)
        if vigimon:
            self.vigimon = Vigimon(self.quillon, self.bcsim)
            test.addCleanup(self.vigimon.stop)
        if heraldo:
            test.assertTrue(self.heraldo.wait_for_line("modem: 短信猫已连接"), "\n".join(self.heraldo.lines))
        if vigimon:
            test.assertTrue(self.vigimon.wait_for_line("status 0: 短信猫已连接"), "\n".join(self.vigimon.lines))
            test.assertTrue(self.vigimon.wait_for_line("status 2: 离线终端数量：0"), "\n".join(self.vigimon.lines))

    def inject(self, sender, text):
        self.quillon.sim.ok(cmd="inject", **{"from": "86" + sender}, text=text, coding="ucs2")

    def played(self, number, text, start=0, timeout=30):
        """True once Heraldo's row for this SMS has played."""
        return line_after(self.heraldo, start, "%s [短信播放完成]" % text, timeout) and any(
            line.startswith("row added: %s " % number) and text in line for line in self.heraldo.lines[start:])

    def row_states(self, text):
        """The states Heraldo's row for `text` went through, in order."""
        return [line.rsplit("[", 1)[1].rstrip("]") for line in self.heraldo.lines
                if line.startswith("row state: ") and " %s [" % text in line]
