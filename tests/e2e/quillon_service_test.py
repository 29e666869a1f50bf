#!/usr/bin/python3
"""The SMS service end to end: modemsim, the Quillon program and clients
(quillonctl's agents, and raw sockets for what no agent sends)."""
import binascii
import os
import re
import socket
import threading
import time
import unittest

import gammu

from quillon_harness import Quillon

FETCH = bytes.fromhex("FD00111102000000")
OPEN = bytes.fromhex("FD0001A905000380250000")  # COM3 at 9600


def exchange(port, data, timeout=1.0):
    """Sends `data` on a fresh connection and returns whatever came back."""
    with socket.create_connection(("127.0.0.1", port), timeout=timeout) as s:
        s.sendall(data)
        return read_reply(s, timeout)


def read_reply(sock, timeout):
    sock.settimeout(timeout)
    try:
        return sock.recv(4096)
    except socket.timeout:
        return b""


def modem_state(port):
    reply = exchange(port, FETCH)
    return reply[11] if len(reply) == 12 and reply[2] == 2 else None


class ServiceWithModem(unittest.TestCase):
    def setUp(self):
        self.q = Quillon()
        self.addCleanup(self.q.stop)
        self.q.open_ready()

    def test_poll_agent_receives_each_message_once_in_order(self):
        self.q.sim.ok(cmd="inject", **{"from": "8613811111111"}, text="first message")
        long_text = "各位注意：今天下午三点在二号楼前举行消防演练，请全体人员按照预案有序撤离，不要乘坐电梯，谢谢配合。"
        self.q.sim.ok(cmd="inject", **{"from": "8613822222222"}, text=long_text, coding="ucs2", parts=3, order=[2, 3, 1])
        self.q.sim.ok(cmd="inject", **{"from": "8613833333333"}, text="third")
        got = self.q.quillonctl("fetch", "--count", "3", "--timeout", "20")
        self.assertEqual(got.returncode, 0, got.stderr)
        lines = got.stdout.splitlines()
        self.assertEqual(len(lines), 3)
        self.assertTrue(lines[0].startswith("from=8613811111111 time=20"))
        self.assertTrue(lines[0].endswith(" text=first message"))
        self.assertTrue(lines[1].startswith("from=8613822222222 "))
        self.assertTrue(lines[1].endswith(" text=" + long_text))
        self.assertTrue(lines[2].endswith(" text=third"))
        again = self.q.quillonctl("fetch", "--timeout", "3")
        self.assertEqual(again.stdout, "")

    def test_send_agent_message_reaches_the_modem_with_86(self):
        result = self.q.quillonctl("send", "--centre", "8613800100500", "--to", "13912345678", "--text", "请注意安全")
        self.assertEqual(result.returncode, 0, result.stderr)
        deadline = time.time() + 10
        while time.time() < deadline and not self.q.sim.ok(cmd="sent")["sent"]:
            time.sleep(0.1)
        sent = self.q.sim.ok(cmd="sent")["sent"]
        self.assertEqual(len(sent), 1)
        sms = gammu.DecodePDU(binascii.unhexlify(sent[0]["pdu"]), True)
        self.assertEqual(sms["Number"], "+8613912345678")
        self.assertEqual(sms["SMSC"]["Number"], "+8613800100500")
        self.assertEqual(sms["Text"], "请注意安全")

    def test_silent_modem_closes_and_open_requests_recover_it(self):
        self.q.sim.ok(cmd="fault", mode="silent")
        self.q.quillonctl("send", "--centre", "8613800100500", "--to", "13912345678", "--text", "lost")
        deadline = time.time() + 10
        while time.time() < deadline and modem_state(self.q.port) != 2:
            time.sleep(0.2)
        self.assertEqual(modem_state(self.q.port), 2)
        self.q.sim.ok(cmd="fault", mode="clear")
        result = self.q.quillonctl("open", "--wait", "20")
        self.assertEqual(result.returncode, 0, result.stdout + result.stderr)
        self.assertTrue(result.stdout.splitlines()[-1].startswith("state=0 port=3 baud=19200"))

    def test_unplugged_modem_closes_at_once_and_works_again_once_replugged(self):
        link = os.path.join(self.q.sim.device_dir, "COM3")
        self.q.sim.ok(cmd="unplug")
        self.assertFalse(os.path.lexists(link))
        unplugged = time.time()
        while time.time() - unplugged < 10 and modem_state(self.q.port) != 2:
            time.sleep(0.05)
        # Not after the listing's time-out (6 s at this time scale): a message
        # handed over meanwhile would be acknowledged and then lost.
        self.assertLess(time.time() - unplugged, 1.5)

        self.q.sim.ok(cmd="replug")
        self.q.sim.ok(cmd="fault", mode="signal", value=99)  # the replugged modem has no network yet
        self.q.quillonctl("open", "--wait", "0")
        deadline = time.time() + 10
        while time.time() < deadline and "modem start-up failed: \"AT+CSQ\"" not in self.q.output():
            time.sleep(0.1)
        self.assertIn("modem start-up failed: \"AT+CSQ\" answered \"  +CSQ: 99,99", self.q.output())
        self.q.sim.ok(cmd="fault", mode="clear")
        self.q.open_ready()
        self.q.sim.ok(cmd="inject", **{"from": "8613811111111"}, text="after the replug")
        got = self.q.quillonctl("fetch", "--count", "1", "--timeout", "20")
        self.assertTrue(got.stdout.strip().endswith("text=after the replug"), got.stdout + got.stderr)
        sent = self.q.quillonctl("send", "--centre", "8613800100500", "--to", "13912345678", "--text", "back")
        self.assertEqual(sent.returncode, 0, sent.stderr)
        deadline = time.time() + 10
        while time.time() < deadline and not self.q.sim.ok(cmd="sent")["sent"]:
            time.sleep(0.1)
        self.assertEqual(len(self.q.sim.ok(cmd="sent")["sent"]), 1)

    def test_the_terminal_shows_each_event_of_the_work(self):
        self.q.sim.ok(cmd="inject", **{"from": "8613811111111"}, text="两条短信拼成的一条消息" * 8, coding="ucs2")
        self.q.sim.ok(cmd="inject", **{"from": "8613822222222"}, text="one")
        got = self.q.quillonctl("fetch", "--count", "2", "--timeout", "20")
        self.assertEqual(got.returncode, 0, got.stderr)
        self.q.quillonctl("send", "--centre", "8613800100500", "--to", "13912345678", "--text", "hello")
        deadline = time.time() + 10
        while time.time() < deadline and "SMS sent to" not in self.q.output():
            time.sleep(0.1)
        self.q.stop()
        events = [line.split(" ", 1)[1] for line in self.q.output().splitlines()
                  if re.match(r"\d\d:\d\d:\d\d ", line)]
        expected = ["Quillon started, listening on 127.0.0.1:%d" % self.q.port,
                    "open requested: COM3 at 19200 baud",
                    "modem COM3 starting up",
                    "modem COM3 ready",
                    "SMS received from 8613811111111: 2 parts, 176 bytes",
                    "SMS received from 8613822222222: 1 part, 3 bytes",
                    "SMS sent to 8613912345678: 5 bytes, message reference ",
                    "modem COM3 closed",
                    "Quillon stopped"]
        found = [next((e for e in events if e.startswith(line)), None) for line in expected]
        self.assertEqual([line for line, seen in zip(expected, found) if seen is None], [], "\n".join(events))
        self.assertEqual(sorted(found, key=events.index), found, "out of order")

    def test_messages_stored_while_the_service_was_away_reach_clients_only_with_keep_stored(self):
        self.q.end_program()
        self.q.sim.ok(cmd="inject", **{"from": "8613800000000"}, text="discarded as always")
        self.q.launch()
        self.q.open_ready()
        self.assertEqual(self.q.quillonctl("fetch", "--timeout", "3").stdout, "")
        self.assertIn("1 SMS in the modem's storage discarded at start-up (--keep-stored keeps them)",
                      self.q.output())

        self.q.end_program()
        long_text = "停电通知：明天上午九点至十一点，三号楼和四号楼停电检修，请提前做好准备。" * 2
        self.q.sim.ok(cmd="inject", **{"from": "8613811111111"}, text="first")
        self.q.sim.ok(cmd="inject", **{"from": "8613822222222"}, text=long_text, coding="ucs2")
        self.q.sim.ok(cmd="inject", **{"from": "8613833333333"}, text="third")
        self.q.launch("--keep-stored")
        self.q.open_ready()
        got = self.q.quillonctl("fetch", "--count", "3", "--timeout", "20")
        texts = [line.rsplit(" text=", 1)[1] for line in got.stdout.splitlines()]
        self.assertEqual(texts, ["first", long_text, "third"], got.stderr)
        self.assertEqual(self.q.quillonctl("fetch", "--timeout", "3").stdout, "")  # once each
        self.assertEqual(self.q.sim.ok(cmd="storage")["messages"], [])

    def test_a_modem_that_refuses_indications_is_listed_as_without_them(self):
        self.q.end_program()
        self.q.sim.ok(cmd="fault", mode="error", command="indications", count=1)
        self.q.sim.ok(cmd="log", clear=True)
        self.q.launch("--indications")
        self.q.open_ready()
        self.assertEqual([c["line"] for c in self.q.sim.ok(cmd="log")["commands"] if c["line"].startswith("AT+CNMI")],
                         ["AT+CNMI=2,1,0,0,0", "AT+CNMI=0,0"])
        self.assertIn('the modem refused new-SMS indications ("AT+CNMI=2,1,0,0,0": ERROR); '
                      'falling back to "AT+CNMI=0,0"', self.q.output())
        self.q.sim.ok(cmd="inject", **{"from": "8613811111111"}, text="still listed")
        got = self.q.quillonctl("fetch", "--count", "1", "--timeout", "10")
        self.assertTrue(got.stdout.strip().endswith("text=still listed"), got.stdout + got.stderr)

    def test_two_clients_at_once_share_the_messages(self):
        results = []
        def fetch_one():
            results.append(self.q.quillonctl("fetch", "--count", "1", "--timeout", "20"))
        threads = [threading.Thread(target=fetch_one) for _ in range(2)]
        for t in threads:
            t.start()
        time.sleep(1.5)
        self.q.sim.ok(cmd="inject", **{"from": "8613811111111"}, text="one")
        self.q.sim.ok(cmd="inject", **{"from": "8613811111111"}, text="two")
        for t in threads:
            t.join()
        texts = sorted(r.stdout.strip().rsplit("text=", 1)[1] for r in results)
        self.assertEqual(texts, ["one", "two"])

    def test_stop_while_the_engine_runs_ends_within_two_seconds(self):
        start = time.time()
        self.q.proc.terminate()
        self.assertEqual(self.q.proc.wait(5), 0)
        self.assertLess(time.time() - start, 2.0)


class ServiceConnections(unittest.TestCase):
    def setUp(self):
        self.q = Quillon()
        self.addCleanup(self.q.stop)

    def test_malformed_input_gets_no_reply_and_the_connection_still_answers(self):
        with socket.create_connection(("127.0.0.1", self.q.port)) as s:
            for bad in (b"GET / HTTP/1.0\r\n\r\n", FETCH[:5], bytes.fromhex("FD00111202000000"),
                        bytes.fromhex("FD00555500")):
                s.sendall(bad)
                self.assertEqual(read_reply(s, 0.3), b"", bad)
            s.sendall(OPEN + FETCH)  # two in one segment: only the first is answered
            reply = read_reply(s, 2)
            self.assertEqual(len(reply), 12)
            self.assertEqual(reply[2], 2)
            self.assertEqual(read_reply(s, 0.3), b"")
            s.sendall(FETCH)
            self.assertEqual(len(read_reply(s, 2)), 12)

    def test_clients_that_leave_leave_nothing_behind(self):
        fds = lambda: len(os.listdir("/proc/%d/fd" % self.q.proc.pid))
        exchange(self.q.port, FETCH)
        time.sleep(0.2)
        baseline = fds()
        for i in range(60):
            s = socket.create_connection(("127.0.0.1", self.q.port))
            if i % 2:
                s.sendall(FETCH)
                read_reply(s, 1)
            s.close()
        time.sleep(0.5)
        self.assertEqual(fds(), baseline)

    def test_stop_during_the_start_up_dialogue_does_not_wait_for_it(self):
        self.q.stop()
        self.q = Quillon(time_scale="1", storage=200)
        self.addCleanup(self.q.stop)
        self.q.sim.ok(cmd="fault", mode="prestore", count=3)  # 200 slots to empty, 300 ms each
        self.assertIn("state=1", self.q.quillonctl("open").stdout)
        time.sleep(3)
        start = time.time()
        self.q.proc.terminate()
        self.assertEqual(self.q.proc.wait(10), 0)
        self.assertLess(time.time() - start, 2.0)

    def test_listens_on_loopback_only(self):
        listening = []
        with open("/proc/net/tcp") as table:
            for line in table.readlines()[1:]:
                local, state = line.split()[1], line.split()[3]
                address, port = local.split(":")
                if state == "0A" and int(port, 16) == self.q.port:
                    listening.append(address)
        self.assertEqual(listening, ["0100007F"])  # 127.0.0.1 only

if __name__ == "__main__":
    unittest.main()
