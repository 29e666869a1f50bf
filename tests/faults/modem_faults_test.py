#!/usr/bin/python3
"""Faults of the modem as the service and its clients meet them: ERROR
storms, slow and split replies, the modem gone with messages inside the
service, and both of the service's rings full. The service's waits run at a
tenth of their length (QUILLON_TIME_SCALE=0.1) unless a test needs the
margins of the real ones against the simulated modem's own timing."""
import os
import socket
import subprocess
import time
import unittest

from fault_matrix import (BIN, CENTRE, FETCH, MODEM_CLOSED, MODEM_READY, TP_MODEM_STATE, TP_SMS_SUBMIT_ACK, Quillon,
                          dropped_delivery_named, dropped_sms_named, modem_state, send, sent_messages, wait_for_sent,
                          wait_until)

LONG_TEXT = "各位注意：今天下午三点在二号楼前举行消防演练，请全体人员按照预案有序撤离，不要乘坐电梯，谢谢配合。" * 2


class ServiceTest(unittest.TestCase):
    """A service with its modem ready; quillonctl is the client."""

    def start(self, time_scale="0.1", storage=None):
        self.quillon = Quillon(time_scale, storage)
        self.addCleanup(self.quillon.stop)
        self.quillon.open_ready()

    def inject(self, sender, text, **options):
        self.quillon.sim.ok(cmd="inject", **{"from": sender}, text=text, **options)

    def fetch(self, count, timeout=20):
        result = self.quillon.quillonctl("fetch", "--count", str(count), "--timeout", str(timeout))
        return [line.split(" text=", 1)[1] for line in result.stdout.splitlines()]


class ModemFaultsAtTheService(ServiceTest):
    def setUp(self):
        self.start()

    def test_error_storms_are_retried_and_a_message_given_up_is_named(self):
        q = self.quillon
        q.sim.ok(cmd="fault", mode="error", command="send", count=3)
        self.assertEqual(send(q, "13900000001", "after three errors"), 0)
        self.assertEqual(wait_for_sent(q, 1), [("+8613900000001", "after three errors")])
        self.assertIn("SMS to 8613900000001 not taken by the modem (ERROR); attempt 4 of 31", q.output())

        q.sim.ok(cmd="fault", mode="error", command="send", count=40)
        self.assertEqual(send(q, "13900000002", "never accepted"), 0)
        self.assertTrue(wait_until(lambda: dropped_sms_named(q.output(), "13900000002"), 20), q.output())
        q.sim.ok(cmd="fault", mode="clear")
        self.assertEqual(send(q, "13900000003", "after the storm"), 0)
        self.assertEqual(wait_for_sent(q, 2)[1:], [("+8613900000003", "after the storm")])

        # Listings and deletions refused for a while: each message still comes once.
        q.sim.ok(cmd="fault", mode="error", command="list", count=3)
        q.sim.ok(cmd="fault", mode="error", command="delete", count=3)
        self.inject("8613811111111", "listed late")
        self.inject("8613822222222", LONG_TEXT, coding="ucs2")
        self.assertEqual(self.fetch(2), ["listed late", LONG_TEXT])
        self.assertIn("deleting slot", q.output())
        self.assertTrue(wait_until(lambda: not q.sim.ok(cmd="storage")["messages"], 10))
        self.assertEqual(self.fetch(1, timeout=2), [])

    def test_a_modem_slower_than_one_prompt_read_still_sends_or_names_the_drop_and_comes_back(self):
        q = self.quillon
        q.sim.ok(cmd="fault", mode="delay", ms=100)  # a second: a tenth of the send time-out
        self.assertEqual(send(q, "13900000001", "slow modem"), 0)
        self.assertTrue(wait_until(lambda: sent_messages(q) or dropped_sms_named(q.output(), "13900000001"), 8),
                        q.output())
        q.sim.ok(cmd="fault", mode="clear")
        self.assertEqual(q.quillonctl("open", "--wait", "15").returncode, 0, q.output())
        self.assertEqual(send(q, "13900000002", "fast again"), 0)
        self.assertIn(("+8613900000002", "fast again"), wait_for_sent(q, 2, 10))

    def test_messages_inside_the_service_when_the_modem_goes_are_delivered_or_named(self):
        q = self.quillon
        for i in range(3):
            self.inject("861381111111%d" % i, "waiting in the service %d" % i)
        self.assertTrue(wait_until(lambda: not q.sim.ok(cmd="storage")["messages"], 10))  # taken from the modem
        q.sim.ok(cmd="fault", mode="error", command="send", count=30)  # the first SMS keeps the others queued
        numbers = ["1390000000%d" % i for i in range(3)]
        for number in numbers:
            self.assertEqual(send(q, number, "queued"), 0)
        q.sim.ok(cmd="unplug")
        # Not probed with a fetch: that would take the waiting messages itself.
        self.assertTrue(wait_until(lambda: "modem COM3 closed" in q.output(), 5))
        q.sim.ok(cmd="replug")
        q.sim.ok(cmd="fault", mode="clear")
        q.open_ready()
        fetched = self.fetch(3, timeout=5)
        time.sleep(2)
        output = q.output()
        lost_in = [i for i in range(3) if "waiting in the service %d" % i not in fetched
                   and not dropped_delivery_named(output, "861381111111%d" % i)]
        sent = [number.lstrip("+") for number, _ in sent_messages(q)]
        lost_out = [n for n in numbers if "86" + n not in sent and not dropped_sms_named(output, n)]
        self.assertEqual((lost_in, lost_out), ([], []), output)


class SlowAndSplitReplies(ServiceTest):
    """At the real pace: the modem's delays and gaps are real milliseconds, and
    a loaded machine's hiccups must not count against them. A small storage
    keeps the start-up's emptying short."""

    def setUp(self):
        self.start(time_scale="1", storage=6)

    def test_slow_and_split_replies_lose_nothing(self):
        q = self.quillon
        q.sim.ok(cmd="fault", mode="delay", ms=300)
        q.sim.ok(cmd="fault", mode="chunks", size=3, gap_ms=5)
        self.inject("8613822222222", LONG_TEXT, coding="ucs2", parts=3, order=[2, 3, 1])
        self.inject("8613833333333", "short one")
        self.assertEqual(send(q, "13900000001", "慢慢发出"), 0)
        self.assertEqual(send(q, "13900000002", "second of two"), 0)
        self.assertEqual(self.fetch(2, timeout=40), [LONG_TEXT, "short one"])
        self.assertEqual(wait_for_sent(q, 2), [("+8613900000001", "慢慢发出"), ("+8613900000002", "second of two")])
        self.assertNotIn("SMS engine stopped", q.output())


class FullRings(ServiceTest):
    """More messages than either of the service's rings holds."""

    def exchange_all(self, packets):
        """Each packet on one connection, as fast as the service answers; the replies' commands."""
        commands = []
        with socket.create_connection(("127.0.0.1", self.quillon.port), timeout=2) as s:
            for packet in packets:
                s.sendall(packet)
                commands.append(s.recv(4096)[2])
        return commands

    def test_a_full_receive_ring_leaves_the_rest_in_the_modem_until_fetched(self):
        self.start("0.1", storage=160)
        q = self.quillon
        for i in range(150):
            q.sim.ok(cmd="inject", **{"from": "86138%08d" % i}, text="message %03d" % i)
        self.assertTrue(wait_until(lambda: "receive queue full" in q.output(), 10), q.output())
        self.assertTrue(q.sim.ok(cmd="storage")["messages"])  # the rest wait in the modem
        texts = []
        with socket.create_connection(("127.0.0.1", q.port), timeout=2) as s:
            deadline = time.time() + 30
            while len(texts) < 150 and time.time() < deadline:
                s.sendall(FETCH)
                reply = s.recv(4096)
                if reply[2] == TP_MODEM_STATE:
                    time.sleep(0.1)
                else:
                    texts.append(reply[-11:].decode())
        self.assertEqual(texts, ["message %03d" % i for i in range(150)])
        self.assertTrue(wait_until(lambda: not q.sim.ok(cmd="storage")["messages"], 10))
        self.assertEqual(modem_state(q.port), MODEM_READY)  # nothing more, and nothing twice

    def test_a_full_send_ring_refuses_with_the_state_and_sends_every_acknowledged_sms(self):
        def submit(i):
            return bytes.fromhex(subprocess.run(
                [os.path.join(BIN, "quillonctl"), "packet", "encode", "submit", "--smsc", CENTRE, "--to",
                 "139%08d" % i, "--dcs", "0", "--text", "alert %03d" % i],
                capture_output=True, text=True, check=True).stdout.strip())

        # 127 sends: at a fifth of the real pace, a loaded machine's hiccups
        # stay well inside the driver's wait for each send's prompt.
        self.start("0.2")
        q = self.quillon
        packets = [submit(i) for i in range(150)]
        q.sim.ok(cmd="fault", mode="error", command="send", count=20)  # the first SMS holds the ring while it fills
        replies = self.exchange_all(packets)
        acknowledged = [i for i, command in enumerate(replies) if command == TP_SMS_SUBMIT_ACK]
        self.assertGreaterEqual(len(acknowledged), 127)
        self.assertLess(len(acknowledged), 150)
        self.assertEqual(set(replies), {TP_SMS_SUBMIT_ACK, TP_MODEM_STATE})
        sent = wait_for_sent(q, len(acknowledged), 60)
        self.assertEqual([text for _, text in sent], ["alert %03d" % i for i in acknowledged], q.output()[-3000:])
        self.assertEqual(self.exchange_all([packets[149]]), [TP_SMS_SUBMIT_ACK])
        self.assertEqual(wait_for_sent(q, len(acknowledged) + 1)[-1], ("+8613900000149", "alert 149"))


if __name__ == "__main__":
    unittest.main()
