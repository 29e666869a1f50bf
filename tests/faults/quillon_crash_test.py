#!/usr/bin/python3
"""Quillon ended with SIGKILL at random moments, as a power cut, the OOM
killer or a crash would end it, while SMS arrive through the modem and
while clients' SMS are sent; after each restart nothing the modem held and
nothing a client was told is queued is lost.

Neither hand-over can be made exactly once by the service alone: a fetch
reply written to the socket just before the kill, or a PDU the modem took
just before it, is handed over again after the restart (the protocol has no
acknowledgement). So each message must arrive at least once, and a second
time only when it was in that moment at a kill."""
import binascii
import collections
import random
import socket
import struct
import threading
import time
import unittest

import gammu
from fault_matrix import CENTRE, FETCH, Quillon, wait_until

TP_MODEM_OPEN, TP_SMS_DELIVER, TP_SMS_SUBMIT, TP_SMS_SUBMIT_ACK = 1, 18, 19, 20


def packet(command, payload):
    return bytes([0xFD, 0, command, (sum(payload) & 0xFF) ^ command]) + struct.pack("<H", len(payload)) + payload


def field(text):
    return text.encode("ascii").ljust(16, b"\0")


class Client:
    """One client connection, as Heraldo keeps one: it asks the modem open
    every second, and reconnects whenever the service is gone."""

    def __init__(self, port):
        self.port = port
        self.sock = None
        self.last_open = 0

    def request(self, data):
        """The reply (command, payload), or None when the service is not there."""
        try:
            if self.sock is None:
                self.sock = socket.create_connection(("127.0.0.1", self.port), timeout=2)
            if time.time() - self.last_open > 1:
                self.last_open = time.time()
                self.sock.sendall(packet(TP_MODEM_OPEN, bytes([3]) + struct.pack("<I", 19200)))
                self.read()
            self.sock.sendall(data)
            return self.read()
        except OSError:
            if self.sock is not None:
                self.sock.close()
            self.sock = None
            time.sleep(0.05)
            return None

    def read(self):
        header = self.exactly(6)
        return header[2], self.exactly(struct.unpack("<H", header[4:6])[0])

    def exactly(self, count):
        data = b""
        while len(data) < count:
            more = self.sock.recv(count - len(data))
            if not more:
                raise OSError("closed")
            data += more
        return data

    def fetch(self):
        """(sender, text) of one received SMS, or None."""
        reply = self.request(FETCH)
        if reply is None or reply[0] != TP_SMS_DELIVER:
            return None
        payload = reply[1]
        length = struct.unpack("<H", payload[34:36])[0]
        return payload[2:18].rstrip(b"\0").decode(), payload[36:36 + length].decode("gbk")

    def submit(self, to, text):
        """True once the service answered that the SMS is queued."""
        gbk = text.encode("gbk")
        reply = self.request(packet(TP_SMS_SUBMIT, field(CENTRE) + field(to) + bytes([8]) +
                                    struct.pack("<H", len(gbk)) + gbk))
        return reply is not None and reply[0] == TP_SMS_SUBMIT_ACK


class Killer:
    """Kills the service `times` times at random moments and starts it again."""

    def __init__(self, quillon, times, spacing):
        self.quillon, self.times, self.spacing = quillon, times, spacing
        self.moments = []
        self.thread = threading.Thread(target=self.run, daemon=True)

    def run(self):
        for _ in range(self.times):
            time.sleep(random.uniform(*self.spacing))
            self.moments.append(time.time())
            self.quillon.kill()
            time.sleep(random.uniform(0, 0.3))
            self.quillon.launch(*self.quillon.options)

    def near_a_kill(self, moment, margin=0.25):
        return any(0 <= kill - moment <= margin for kill in self.moments)


class QuillonKilledAtRandom(unittest.TestCase):
    def setUp(self):
        self.seed = random.randrange(1 << 30)
        random.seed(self.seed)
        # --keep-stored: messages the modem marked read in a listing the kill cut short are listed again.
        self.quillon = Quillon("0.1", options=("--keep-stored",))
        self.addCleanup(self.quillon.stop)
        self.quillon.open_ready()

    def test_every_sms_the_modem_held_is_fetched_after_three_kills(self):
        q = self.quillon
        expected = {"861380%07d" % i: "第%03d条 crash test" % i for i in range(100)}
        fetched = collections.defaultdict(list)  # sender -> moments it was fetched

        def inject():
            for sender, text in expected.items():
                while q.sim.control(cmd="inject", **{"from": sender}, text=text, coding="ucs2").get("ok") is not True:
                    time.sleep(0.05)  # storage full: the modem waits for the service like a real one
                time.sleep(random.uniform(0, 0.06))

        def fetch():
            client = Client(q.port)
            deadline = time.time() + 150
            while len(fetched) < len(expected) and time.time() < deadline:
                got = client.fetch()
                if got is None:
                    time.sleep(0.02)
                    continue
                self.assertEqual(expected.get(got[0]), got[1], "a message arrived changed")
                fetched[got[0]].append(time.time())

        killer = Killer(q, 3, (0.8, 2.5))
        threads = [threading.Thread(target=inject, daemon=True), threading.Thread(target=fetch, daemon=True)]
        for thread in threads + [killer.thread]:
            thread.start()
        for thread in threads + [killer.thread]:
            thread.join(170)
        wait_until(lambda: len(fetched) == len(expected), 5)
        context = "seed %d, kills at %s\n%s" % (self.seed, killer.moments, q.output()[-3000:])
        self.assertEqual(len(killer.moments), 3, context)
        self.assertEqual(sorted(set(expected) - set(fetched)), [], "lost: " + context)
        for sender, moments in fetched.items():
            if len(moments) > 1:
                self.assertEqual(len(moments), 2, sender + " fetched more than twice; " + context)
                self.assertTrue(killer.near_a_kill(moments[0]), sender + " repeated far from a kill; " + context)

    def test_every_sms_a_client_was_told_is_queued_is_sent_after_three_kills(self):
        q = self.quillon
        expected = {"1390000%04d" % i: "发送%02d crash test" % i for i in range(50)}
        resubmitted = set()

        def submit():
            client = Client(q.port)
            for to, text in expected.items():
                while not client.submit(to, text):
                    resubmitted.add("+86" + to)  # not told it is queued: a client asks again
                    time.sleep(0.05)
                time.sleep(random.uniform(0, 0.1))

        killer = Killer(q, 3, (0.5, 2.0))
        submitter = threading.Thread(target=submit, daemon=True)
        submitter.start()
        killer.thread.start()
        submitter.join(120)
        killer.thread.join(30)

        def sent():
            return collections.Counter(gammu.DecodePDU(binascii.unhexlify(entry["pdu"]), True)["Number"]
                                       for entry in q.sim.ok(cmd="sent")["sent"])

        # A client opening the modem now and then brings it back after the last restart.
        keeper = Client(q.port)
        wait_until(lambda: keeper.request(FETCH) and len(sent()) == len(expected), 90, 0.5)
        counts = sent()
        context = "seed %d, kills at %s\n%s" % (self.seed, killer.moments, q.output()[-3000:])
        self.assertEqual(sorted({"+86" + to for to in expected} - set(counts)), [], "never sent: " + context)
        output = q.output()
        for number, count in counts.items():
            if count > 1:
                self.assertEqual(count, 2, number + " sent more than twice; " + context)
                self.assertTrue(number in resubmitted or ("SMS to %s was handed to the modem" % number[1:]) in output,
                                number + " sent twice, not named; " + context)
        self.assertIn("to send: 0", q.journal().stdout)


if __name__ == "__main__":
    unittest.main()
