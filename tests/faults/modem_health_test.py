#!/usr/bin/python3
"""A modem that loses the network, restarts, wedges its radio, chatters
unasked, or answers slowly, met by the service on its own: no client asks it
to reopen anything. The service's waits run at a tenth of their length
(QUILLON_TIME_SCALE=0.1) unless a test needs the real pace against the
simulated modem's own timing."""
import os
import socket
import tempfile
import time
import unittest

from fault_matrix import Quillon, send, sent_messages, wait_for_sent, wait_until

LONG_TEXT = "各位注意：今天下午三点在二号楼前举行消防演练，请全体人员按照预案有序撤离，不要乘坐电梯，谢谢配合。" * 2


class ModemHealth(unittest.TestCase):
    def start(self, **options):
        self.quillon = Quillon(**options)
        self.addCleanup(self.quillon.stop)
        self.quillon.open_ready()
        return self.quillon

    def ready_again(self, q, recoveries, timeout):
        """Ready, with `recoveries` done, within `timeout` s; the status last seen."""
        status = wait_until(lambda: (lambda s: s if s["state"] == "ready" and s["recoveries"] >= recoveries else None)(
            q.status()), timeout, 0.2)
        self.assertTrue(status, q.output()[-3000:])
        return status

    def test_messages_queued_while_the_network_is_gone_all_go_once_when_it_returns(self):
        q = self.start()
        q.sim.ok(cmd="fault", mode="registration", status=2)
        # Five messages over a minute of the service's time without the network.
        for i in range(5):
            self.assertEqual(send(q, "1390000000%d" % i, "held %d" % i), 0)
            time.sleep(1.2)
        status = q.status()
        self.assertEqual((status["registration"], status["send_queue"], sent_messages(q)), ("searching", 5, []))
        q.sim.ok(cmd="fault", mode="registration", status=1)
        expected = [("+861390000000%d" % i, "held %d" % i) for i in range(5)]
        self.assertEqual(wait_for_sent(q, 5, 20), expected, q.output()[-3000:])
        time.sleep(2)
        self.assertEqual(sent_messages(q), expected)
        self.assertNotIn("given up", q.output())
        self.assertIn("SMS to 8613900000000 held: the network cannot take it now", q.output())
        status = q.status()
        self.assertEqual((status["registration"], status["send_queue"], status["given_up"]), ("home", 0, 0))

    def test_a_modem_that_restarts_is_brought_back_without_any_client_within_30_s(self):
        q = self.start()
        q.sim.ok(cmd="reboot", seconds=3)
        began = time.time()
        self.assertTrue(wait_until(lambda: "modem COM3 closed" in q.output(), 15), q.output()[-2000:])
        self.ready_again(q, 1, 30)
        self.assertLess(time.time() - began, 30)
        self.assertIn("the modem restarted", q.output())
        self.assertEqual(send(q, "13900000001", "after the restart"), 0)
        self.assertEqual(wait_for_sent(q, 1), [("+8613900000001", "after the restart")])

    def test_a_wedged_radio_is_switched_off_and_on_and_the_message_goes(self):
        q = self.start()
        q.sim.ok(cmd="fault", mode="wedged")
        self.assertEqual(send(q, "13900000001", "after the radio cycle"), 0)
        self.assertEqual(wait_for_sent(q, 1, 40), [("+8613900000001", "after the radio cycle")], q.output()[-3000:])
        lines = [entry["line"] for entry in q.sim.ok(cmd="log")["commands"]]
        self.assertLess(lines.index("AT+CFUN=0"), lines.index("AT+CFUN=1"))
        status = self.ready_again(q, 1, 10)
        self.assertEqual(status["given_up"], 0)
        self.assertIn("10 sends in a row failed while the modem is on the network", q.output())

    def test_unsolicited_lines_in_the_middle_of_listings_lose_nothing(self):
        q = self.start()
        q.sim.ok(cmd="fault", mode="noise", every_ms=15, seed=7)
        texts = ["noisy %02d" % i for i in range(10)]
        for i, text in enumerate(texts):
            q.sim.ok(cmd="inject", **{"from": "86138000000%02d" % i}, text=text)
        q.sim.ok(cmd="inject", **{"from": "8613899999999"}, text=LONG_TEXT, coding="ucs2", parts=3, order=[3, 1, 2])
        self.assertEqual(send(q, "13900000001", "through the noise"), 0)
        result = q.quillonctl("fetch", "--count", "11", "--timeout", "30")
        fetched = [line.split(" text=", 1)[1] for line in result.stdout.splitlines()]
        self.assertEqual(sorted(fetched), sorted(texts + [LONG_TEXT]), q.output()[-3000:])
        self.assertEqual(wait_for_sent(q, 1), [("+8613900000001", "through the noise")])
        self.assertNotIn("SMS engine stopped", q.output())
        self.assertEqual(q.quillonctl("fetch", "--count", "1", "--timeout", "2").stdout, "")  # nothing twice


class SystemdNotifications(unittest.TestCase):
    def test_ready_then_regular_watchdog_pings_whether_the_modem_is_up_or_not(self):
        folder = tempfile.mkdtemp(prefix="notify-")
        listener = socket.socket(socket.AF_UNIX, socket.SOCK_DGRAM)
        listener.bind(os.path.join(folder, "notify"))
        listener.settimeout(0.2)
        self.addCleanup(listener.close)
        q = Quillon(extra_env={"NOTIFY_SOCKET": os.path.join(folder, "notify"), "WATCHDOG_USEC": "2000000"})
        self.addCleanup(q.stop)

        messages = []

        def listen(seconds):
            deadline = time.time() + seconds
            while time.time() < deadline:
                try:
                    messages.append((time.time(), listener.recv(4096).decode()))
                except socket.timeout:
                    pass

        listen(3)  # no modem yet
        q.open_ready()
        listen(4)
        q.sim.ok(cmd="unplug")  # the modem gone: the service still lives
        listen(4)
        q.sim.ok(cmd="replug")

        texts = [text for _, text in messages]
        self.assertIn("READY=1", texts)
        self.assertLess(texts.index("READY=1"), texts.index("WATCHDOG=1"))
        pings = [at for at, text in messages if text == "WATCHDOG=1"]
        self.assertGreaterEqual(len(pings), 9, texts)
        self.assertLess(max(b - a for a, b in zip(pings, pings[1:])), 1.6, texts)
        self.assertTrue(any(text.startswith("STATUS=COM3 ready, home, signal 23") for text in texts), texts)
        self.assertTrue(any(text.startswith("STATUS=COM3 closed") for text in texts), texts)


class PatientStartUp(unittest.TestCase):
    """At the real pace, against a modem whose answers come two seconds late.
    A small storage keeps the start-up short."""

    def start(self):
        q = Quillon(time_scale="1", storage=4)
        self.addCleanup(q.stop)
        return q

    def test_every_start_up_command_answered_two_seconds_late(self):
        q = self.start()
        q.sim.ok(cmd="fault", mode="delay", ms=2000)
        q.open_ready(90)
        self.assertNotIn("start-up failed", q.output())
        status = q.status()
        self.assertEqual((status["maker"], status["imei"], status["signal_csq"]), ("MODEMSIM", "351234567890125", 23))

    def test_a_sim_answer_two_seconds_late_is_not_taken_for_the_next_command(self):
        q = self.start()
        q.sim.ok(cmd="fault", mode="delay", command="+CPIN", ms=2000)
        q.open_ready(30)
        lines = [entry["line"] for entry in q.sim.ok(cmd="log")["commands"]]
        self.assertEqual(lines.count("AT+CPIN?"), 1, lines)  # one start-up, not one after another
        self.assertNotIn("start-up failed", q.output())


if __name__ == "__main__":
    unittest.main()
