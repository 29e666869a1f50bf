#!/usr/bin/python3
"""modemsim as a plain serial client and the control port see it: echo, the
exact framing of replies, storage and listing, sends, faults, reset, and the
PDUs that inject stores (decoded by libgammu, an independent implementation)."""
import binascii
import datetime
import fcntl
import json
import os
import re
import subprocess
import sys
import tempfile
import termios
import time
import unittest

import gammu

from modemsim_harness import ModemSim, SerialClient

# An SMS-SUBMIT to 13912345678, "hello there"; 24 octets after the centre part.
SUBMIT = "0891683108200005F011000B813119325476F80000FF0BE8329BFD06D1D1657919"


def decode(pdu):
    return gammu.DecodePDU(binascii.unhexlify(pdu), True)


def tpdu_length(pdu):
    return len(pdu) // 2 - (int(pdu[:2], 16) + 1)


class SimTestCase(unittest.TestCase):
    storage = None

    def setUp(self):
        self.sim = ModemSim(storage=self.storage)
        self.port = SerialClient(self.sim.link)

    def tearDown(self):
        self.port.close()
        self.assertEqual(self.sim.stop(), 0)

    def echo_off(self):
        self.assertTrue(self.port.command("ATE0").endswith(b"\r\nOK\r\n"))

    def send(self, expected, length=24):
        """AT+CMGS with SUBMIT after the prompt, answered with `expected`."""
        self.port.write(b"AT+CMGS=%d\r\n" % length)
        self.port.read_until(b"> ")
        self.port.write(SUBMIT.encode() + b"\x1a")
        self.assertEqual(self.port.read_until(expected[-4:]), expected)

    def reboot(self, seconds):
        self.sim.ok(cmd="reboot", seconds=seconds)
        self.assertEqual(self.port.read_until(b"RDY\r\n", seconds + 2), b"\r\nRDY\r\n")


class Dialogue(SimTestCase):
    def test_echo_until_ate0_and_back_with_ate1(self):
        self.port.write(b"AT\r")
        self.assertEqual(self.port.read_until(b"OK\r\n"), b"AT\r\r\nOK\r\n")
        self.port.write(b"ATE0\r\n")
        self.assertEqual(self.port.read_until(b"OK\r\n"), b"ATE0\r\r\nOK\r\n")
        self.assertEqual(self.port.command("AT"), b"\r\nOK\r\n")
        # The LF after ATE1's CR arrives with echo back on, and is echoed.
        self.assertEqual(self.port.command("ATE1", b"OK\r\n\n"), b"\r\nOK\r\n\n")
        self.port.write(b"AT\r")
        self.assertEqual(self.port.read_until(b"OK\r\n"), b"AT\r\r\nOK\r\n")

    def test_command_in_pieces_is_one_command(self):
        self.echo_off()
        for piece in (b"AT+C", b"SQ", b"\r", b"\n"):
            self.port.write(piece)
            time.sleep(0.02)
        self.assertEqual(self.port.read_until(b"OK\r\n"), b"\r\n+CSQ: 23,99\r\n\r\nOK\r\n")
        self.assertEqual(self.port.quiet(0.1), b"")
        lines = [c["line"] for c in self.sim.ok(cmd="log")["commands"]]
        self.assertEqual(lines, ["ATE0", "AT+CSQ"])

    def test_startup_replies(self):
        self.echo_off()
        self.assertEqual(self.port.command("AT+CMGF=0"), b"\r\nOK\r\n")
        self.assertEqual(self.port.command("AT+CMGF=1", b"ERROR\r\n"), b"\r\nERROR\r\n")
        self.assertEqual(self.port.command("AT+CPIN?"), b"\r\n+CPIN: READY\r\n\r\nOK\r\n")
        self.assertEqual(self.port.command("AT+CREG?"), b"\r\n+CREG: 0,1\r\n\r\nOK\r\n")
        self.assertEqual(self.port.command("AT+CPMS=\"ME\""), b"\r\n+CPMS: 0,50,0,50,0,50\r\n\r\nOK\r\n")
        self.assertEqual(self.port.command("AT+CNMI=0,0"), b"\r\nOK\r\n")
        self.assertEqual(self.port.command("AT+BOGUS", b"ERROR\r\n"), b"\r\nERROR\r\n")

    def test_port_reopened_many_times_keeps_working(self):
        self.echo_off()
        for _ in range(5):
            self.port.close()
            self.port = SerialClient(self.sim.link)
            self.assertEqual(self.port.command("AT"), b"\r\nOK\r\n")

    def test_exclusive_mode_ends_with_the_last_close(self):
        fcntl.ioctl(self.port.fd, termios.TIOCEXCL)
        self.port.close()
        self.sim.ok(cmd="storage")  # a round trip: the simulator has seen the close
        # Without CAP_SYS_ADMIN, as a non-root service would be.
        opener = "import os, sys; os.open(sys.argv[1], os.O_RDWR | os.O_NOCTTY)"
        result = subprocess.run(["setpriv", "--bounding-set=-sys_admin", "--inh-caps=-sys_admin",
                                 sys.executable, "-c", opener, self.sim.link], capture_output=True)
        self.assertEqual(result.returncode, 0, result.stderr.decode())
        self.port = SerialClient(self.sim.link)

    def test_send_prompt_then_pdu_then_reference(self):
        self.echo_off()
        self.port.write(b"AT+CMGS=24\r\n")
        time.sleep(0.1)
        self.assertEqual(os.read(self.port.fd, 128), b"\r\n> ")  # one read, as the driver does
        self.port.write(SUBMIT.encode() + b"\x1a")
        self.assertEqual(self.port.read_until(b"OK\r\n"), b"\r\n+CMGS: 1\r\n\r\nOK\r\n")
        self.port.write(b"AT+CMGS=24\r\n")
        self.port.read_until(b"> ")
        self.port.write(SUBMIT.lower().encode() + b"\x1a")
        self.assertEqual(self.port.read_until(b"OK\r\n"), b"\r\n+CMGS: 2\r\n\r\nOK\r\n")
        # A length that does not match the PDU, and a cancelled send, record nothing.
        self.port.write(b"AT+CMGS=23\r\n")
        self.port.read_until(b"> ")
        self.port.write(SUBMIT.encode() + b"\x1a")
        self.assertEqual(self.port.read_until(b"\r\n"), b"\r\n+CMS ERROR: 304\r\n")
        self.port.write(b"AT+CMGS=24\r\n")
        self.port.read_until(b"> ")
        self.port.write(SUBMIT[:10].encode() + b"\x1b")
        self.assertEqual(self.port.read_until(b"OK\r\n"), b"\r\nOK\r\n")
        self.assertEqual(self.sim.ok(cmd="sent")["sent"], [{"pdu": SUBMIT, "length": 24}] * 2)

    def test_listing_reads_then_deletes(self):
        self.echo_off()
        first = self.sim.ok(cmd="inject", **{"from": "8613800138000", "text": "first"})
        second = self.sim.ok(cmd="inject", coding="ucs2", **{"from": "8613900000000", "text": "第二"})
        self.assertEqual((first["slots"], second["slots"]), ([1], [2]))
        pdus = first["pdus"] + second["pdus"]
        listing = b"\r\n" + b"".join(b"+CMGL: %d,0,,%d\r\n%s\r\n" % (i, tpdu_length(p), p.encode())
                                     for i, p in enumerate(pdus, start=1)) + b"\r\nOK\r\n"
        self.assertEqual(self.port.command("AT+CMGL=0"), listing)
        self.assertEqual(self.port.command("AT+CMGL=0"), b"\r\nOK\r\n")
        self.assertEqual([m["status"] for m in self.sim.ok(cmd="storage")["messages"]], ["read", "read"])
        self.assertIn(b"+CMGL: 2,1,,", self.port.command("AT+CMGL=4"))
        self.assertEqual(self.port.command("AT+CMGR=2"),
                         b"\r\n+CMGR: 1,,%d\r\n%s\r\n\r\nOK\r\n" % (tpdu_length(pdus[1]), pdus[1].encode()))
        self.assertEqual(self.port.command("AT+CPMS=\"SM\""), b"\r\n+CPMS: 2,50,2,50,2,50\r\n\r\nOK\r\n")
        self.assertEqual(self.port.command("AT+CMGD=1"), b"\r\nOK\r\n")
        self.assertEqual(self.port.command("AT+CMGD=1"), b"\r\nOK\r\n")  # already empty
        self.assertEqual(self.port.command("AT+CMGD=51", b"ERROR\r\n"), b"\r\nERROR\r\n")
        self.assertEqual(self.port.command("AT+CMGR=1", b"321\r\n"), b"\r\n+CMS ERROR: 321\r\n")
        self.assertEqual([m["index"] for m in self.sim.ok(cmd="storage")["messages"]], [2])


class Faults(SimTestCase):
    def test_error_to_the_next_n_then_normal(self):
        self.echo_off()
        self.sim.ok(cmd="fault", mode="prestore", count=2)
        self.sim.ok(cmd="fault", mode="error", command="delete", count=2)
        self.sim.ok(cmd="fault", mode="error", command="list", count=1)
        self.sim.ok(cmd="fault", mode="error", command="send", count=1)
        for _ in range(2):
            self.assertEqual(self.port.command("AT+CMGD=1", b"ERROR\r\n"), b"\r\nERROR\r\n")
        self.assertEqual(self.port.command("AT+CMGD=1"), b"\r\nOK\r\n")
        self.assertEqual(self.port.command("AT+CMGL=0", b"ERROR\r\n"), b"\r\nERROR\r\n")
        self.assertIn(b"+CMGL: 2,0,,", self.port.command("AT+CMGL=0"))  # the failed listing read nothing
        for expected in (b"\r\nERROR\r\n", b"\r\n+CMGS: 1\r\n\r\nOK\r\n"):
            self.port.write(b"AT+CMGS=24\r\n")
            self.port.read_until(b"> ")
            self.port.write(SUBMIT.encode() + b"\x1a")
            self.assertEqual(self.port.read_until(expected[-4:]), expected)
        self.assertEqual(len(self.sim.ok(cmd="sent")["sent"]), 1)

    def test_split_replies_arrive_in_several_reads(self):
        self.echo_off()
        self.sim.ok(cmd="fault", mode="chunks", size=4, gap_ms=60)
        start = time.monotonic()
        self.port.write(b"AT+CSQ\r\n")
        chunks = self.port.reads(b"OK\r\n")
        self.assertEqual(b"".join(chunks), b"\r\n+CSQ: 23,99\r\n\r\nOK\r\n")
        # Six writes 60 ms apart; a busy reader may still merge a few.
        self.assertGreaterEqual(time.monotonic() - start, 0.3)
        self.assertGreaterEqual(len(chunks), 3)

    def test_delay_and_silence(self):
        self.echo_off()
        self.sim.ok(cmd="fault", mode="delay", ms=300)
        start = time.monotonic()
        self.assertEqual(self.port.command("AT"), b"\r\nOK\r\n")
        self.assertGreaterEqual(time.monotonic() - start, 0.3)
        self.sim.ok(cmd="fault", mode="clear")
        self.sim.ok(cmd="fault", mode="silent", count=1)
        self.port.write(b"AT\r\n")
        self.assertEqual(self.port.quiet(0.3), b"")
        self.assertEqual(self.port.command("AT"), b"\r\nOK\r\n")
        self.sim.ok(cmd="fault", mode="silent")
        self.port.write(b"ATE1\r\nAT\r\n")
        self.assertEqual(self.port.quiet(0.3), b"")
        self.sim.ok(cmd="fault", mode="clear")
        self.assertEqual(self.port.command("AT"), b"\r\nOK\r\n")  # swallowed ATE1 changed nothing
        self.assertEqual([c["line"] for c in self.sim.ok(cmd="log")["commands"]][-4:], ["AT", "ATE1", "AT", "AT"])

    def test_noise_between_listing_entries_and_while_idle(self):
        self.echo_off()
        self.sim.ok(cmd="fault", mode="prestore", count=3)
        self.sim.ok(cmd="fault", mode="signal", value=17)
        self.assertEqual(self.sim.ok(cmd="fault", mode="noise", every_ms=20, seed=7)["faults"]["noise_every_ms"], 20)
        noise = re.compile(rb"\r\n(\^RSSI: 17|\+CREG: 1)\r\n")
        said = self.port.command("AT+CMGL=4")
        self.assertRegex(said, rb"[0-9A-F]\r\n\r\n(\^RSSI: 17|\+CREG: 1)\r\n\+CMGL: ")
        pdus = [m["pdu"].encode() for m in self.sim.ok(cmd="storage")["messages"]]
        self.assertEqual(noise.sub(b"", said), b"\r\n" + b"".join(b"+CMGL: %d,0,,%d\r\n%s\r\n" % (
            i, tpdu_length(p.decode()), p) for i, p in enumerate(pdus, start=1)) + b"\r\nOK\r\n")
        idle = self.port.quiet(0.3)
        self.assertGreaterEqual(len(noise.findall(idle)), 3)
        self.assertEqual(noise.sub(b"", idle), b"")
        self.sim.ok(cmd="fault", mode="noise", on=False)
        self.port.quiet(0.1)
        self.assertEqual(self.port.quiet(0.2), b"")

    def test_delay_for_one_command(self):
        faults = self.sim.ok(cmd="fault", mode="delay", command="+cpin", ms=500)["faults"]
        self.assertEqual(faults["command_delays"], {"+CPIN": 500})
        started = time.monotonic()
        self.port.write(b"AT+CPIN?\r")
        self.port.read_until(b"AT+CPIN?\r", 0.3)  # echo at once
        self.assertEqual(self.port.read_until(b"OK\r\n"), b"\r\n+CPIN: READY\r\n\r\nOK\r\n")
        self.assertGreaterEqual(time.monotonic() - started, 0.5)
        self.echo_off()
        started = time.monotonic()
        self.port.command("AT")
        self.assertLess(time.monotonic() - started, 0.3)
        # "AT" names the bare command only.
        self.sim.ok(cmd="fault", mode="delay", command="+CPIN", ms=0)
        self.sim.ok(cmd="fault", mode="delay", command="AT", ms=400)
        for line, slow in (("AT", True), ("AT+CSQ", False), ("AT+CPIN?", False)):
            started = time.monotonic()
            self.port.command(line)
            self.assertEqual(time.monotonic() - started >= 0.4, slow, line)
        self.assertEqual(self.sim.ok(cmd="fault", mode="clear")["faults"]["command_delays"], {})

    def test_startup_faults(self):
        self.echo_off()
        self.sim.ok(cmd="fault", mode="signal", value=99)
        self.sim.ok(cmd="fault", mode="sim_not_ready")
        self.sim.ok(cmd="fault", mode="registration", status=2, with_ok=False)
        self.assertEqual(self.port.command("AT+CSQ"), b"\r\n+CSQ: 99,99\r\n\r\nOK\r\n")
        self.assertEqual(self.port.command("AT+CPIN?", b"10\r\n"), b"\r\n+CME ERROR: 10\r\n")
        self.port.write(b"AT+CREG?\r\n")
        self.assertEqual(self.port.quiet(0.3), b"\r\n+CREG: 0,2\r\n")
        self.sim.ok(cmd="fault", mode="registration", status=5)
        self.assertEqual(self.port.command("AT+CREG=2"), b"\r\nOK\r\n")
        self.assertEqual(self.port.command("AT+CREG?"), b"\r\n+CREG: 2,5,\"1A2B\",\"01C3\"\r\n\r\nOK\r\n")

    def test_reset_forgets_everything(self):
        self.echo_off()
        self.sim.ok(cmd="fault", mode="prestore", count=3)
        self.sim.ok(cmd="fault", mode="signal", value=5)
        self.assertEqual(self.port.command("AT+CPMS=\"ME\""), b"\r\n+CPMS: 3,50,3,50,3,50\r\n\r\nOK\r\n")
        self.sim.ok(cmd="reset")
        self.assertEqual(self.sim.ok(cmd="storage")["messages"], [])
        self.assertEqual(self.sim.ok(cmd="log")["commands"], [])
        self.port.write(b"AT+CSQ\r")
        self.assertEqual(self.port.read_until(b"OK\r\n"), b"AT+CSQ\r\r\n+CSQ: 23,99\r\n\r\nOK\r\n")


class NewMessageIndications(SimTestCase):
    def inject(self):
        return self.sim.ok(cmd="inject", text="hi", **{"from": "8613800138000"})["slots"][0]

    def during_a_command(self):
        """What comes back for AT when a message is stored while its late reply waits."""
        self.sim.ok(cmd="fault", mode="delay", ms=300)
        self.port.write(b"AT\r\n")
        slot = self.inject()
        said = self.port.quiet(0.6)
        self.sim.ok(cmd="fault", mode="delay", ms=0)
        return slot, said

    def test_routed_as_the_mode_says(self):
        self.echo_off()
        self.inject()
        self.assertEqual(self.port.quiet(0.2), b"")  # none at power-up
        self.assertEqual(self.port.command("AT+CNMI=2,1,0,0,0"), b"\r\nOK\r\n")
        self.assertEqual(self.port.command("AT+CNMI?"), b"\r\n+CNMI: 2,1,0,0,0\r\n\r\nOK\r\n")
        slot = self.inject()
        self.assertEqual(self.port.read_until(b"\r\n", 1) + self.port.quiet(0.2),
                         b"\r\n+CMTI: \"SM\",%d\r\n" % slot)
        # Mode 2 holds one back until the reply is out; mode 1 drops it.
        slot, said = self.during_a_command()
        self.assertEqual(said, b"\r\nOK\r\n\r\n+CMTI: \"SM\",%d\r\n" % slot)
        self.port.command("AT+CNMI=1,1,0,0,0")
        self.assertEqual(self.during_a_command()[1], b"\r\nOK\r\n")

    def test_faults_refuse_the_command_send_them_inside_replies_or_drop_them(self):
        self.echo_off()
        self.sim.ok(cmd="fault", mode="error", command="indications", count=1)
        self.assertEqual(self.port.command("AT+CNMI=2,1,0,0,0", b"ERROR\r\n"), b"\r\nERROR\r\n")
        self.assertEqual(self.port.command("AT+CNMI=2,1,0,0,0"), b"\r\nOK\r\n")
        self.sim.ok(cmd="fault", mode="indications", value="at_once")
        slot, said = self.during_a_command()
        self.assertEqual(said, b"\r\n+CMTI: \"SM\",%d\r\n\r\nOK\r\n" % slot)
        self.sim.ok(cmd="fault", mode="indications", value="dropped")
        self.inject()
        self.assertEqual(self.port.quiet(0.2), b"")


class PowerAndRadio(SimTestCase):
    def test_reboot_is_deaf_then_ready_at_power_up_with_storage_kept(self):
        self.sim.ok(cmd="fault", mode="prestore", count=1)
        self.echo_off()
        self.assertEqual(self.port.command("AT+CREG=2"), b"\r\nOK\r\n")
        self.sim.ok(cmd="fault", mode="delay", ms=300)
        self.port.write(b"AT\r\n")
        self.sim.ok(cmd="reboot", seconds=1)  # the late OK is lost
        self.sim.ok(cmd="fault", mode="delay", ms=0)
        time.sleep(0.5)
        started = time.monotonic()
        self.sim.ok(cmd="reboot", seconds=1)  # counts again from here
        self.port.write(b"AT+CMGD=1,4\r\n")
        self.assertEqual(self.port.read_until(b"RDY\r\n", 3), b"\r\nRDY\r\n")
        self.assertGreaterEqual(time.monotonic() - started, 0.95)
        self.port.write(b"AT+CREG?\r")
        self.assertEqual(self.port.read_until(b"OK\r\n"), b"AT+CREG?\r\r\n+CREG: 0,1\r\n\r\nOK\r\n")
        self.assertEqual(len(self.sim.ok(cmd="storage")["messages"]), 1)
        transcript = self.sim.ok(cmd="transcript")["transcript"]
        self.assertIn(b"AT+CMGD=1,4\r\n", b"".join(e["bytes"].encode() for e in transcript if e["from"] == "host"))
        # A reset ends a reboot at once, without RDY.
        self.sim.ok(cmd="reboot", seconds=600)
        self.sim.ok(cmd="reset")
        self.port.write(b"AT\r")
        self.assertEqual(self.port.read_until(b"OK\r\n"), b"AT\r\r\nOK\r\n")

    def test_sends_need_network_service(self):
        self.echo_off()
        self.sim.ok(cmd="fault", mode="registration", status=2)
        self.send(b"\r\n+CMS ERROR: 304\r\n", 23)  # the length is checked first
        self.send(b"\r\n+CMS ERROR: 331\r\n")
        self.sim.ok(cmd="fault", mode="registration", status=5)
        self.sim.ok(cmd="fault", mode="error", command="send", count=1)
        self.assertEqual(self.port.command("AT+CFUN=0"), b"\r\nOK\r\n")
        self.assertEqual(self.port.command("AT+CFUN?"), b"\r\n+CFUN: 0\r\n\r\nOK\r\n")
        self.assertEqual(self.port.command("AT+CREG?"), b"\r\n+CREG: 0,0\r\n\r\nOK\r\n")
        self.assertEqual(self.port.command("AT+CSQ"), b"\r\n+CSQ: 99,99\r\n\r\nOK\r\n")
        self.send(b"\r\n+CMS ERROR: 331\r\n")  # the error fault is still to come
        self.assertEqual(self.port.command("AT+CFUN=1,0"), b"\r\nOK\r\n")
        self.send(b"\r\nERROR\r\n")
        self.send(b"\r\n+CMGS: 1\r\n\r\nOK\r\n")
        self.assertEqual(len(self.sim.ok(cmd="sent")["sent"]), 1)

    def test_wedged_until_the_radio_is_switched_off_and_on(self):
        self.echo_off()
        self.assertTrue(self.sim.ok(cmd="fault", mode="wedged")["faults"]["wedged"])
        self.send(b"\r\nERROR\r\n")
        self.assertEqual(self.port.command("AT+CREG?"), b"\r\n+CREG: 0,1\r\n\r\nOK\r\n")
        self.reboot(0)
        self.echo_off()
        self.assertEqual(self.port.command("AT+CFUN=1"), b"\r\nOK\r\n")  # on while on: no cycle
        self.send(b"\r\nERROR\r\n")
        self.port.command("AT+CFUN=4")
        self.send(b"\r\n+CMS ERROR: 331\r\n")
        self.port.command("AT+CFUN=1")
        self.send(b"\r\n+CMGS: 1\r\n\r\nOK\r\n")
        self.assertFalse(self.sim.ok(cmd="fault", mode="signal", value=23)["faults"]["wedged"])


class Control(SimTestCase):
    storage = 4

    def test_bad_requests_are_answered_not_fatal(self):
        for line in (b"not json\n", b"[1]\n", b'{"cmd":"nope"}\n', b'{"cmd":"inject","text":"x"}\n',
                     b'{"cmd":"fault","mode":"error","command":"dial"}\n', b'{"cmd":"inject_pdu","pdu":"0G"}\n'):
            self.sim.sock.sendall(line)
            reply = json.loads(self.sim.replies.readline())
            self.assertFalse(reply["ok"], line)
            self.assertTrue(reply["error"], line)
        self.assertTrue(self.sim.ok(cmd="storage")["ok"])

    def test_numbers_that_do_not_fit_and_an_empty_order_are_refused(self):
        for request, error in ((dict(mode="delay", ms=1e10), '"ms" must be an integer'),
                               (dict(mode="delay", ms=4294967596), '"ms" is out of range'),
                               (dict(mode="signal", value=2**32 + 5), '"value" is out of range'),
                               (dict(mode="noise", every_ms=60001), '"every_ms" must be 0..60000')):
            reply = self.sim.control(cmd="fault", **request)
            self.assertEqual(reply, {"ok": False, "error": error})
        self.assertEqual(self.sim.control(cmd="reboot", seconds=601),
                         {"ok": False, "error": '"seconds" must be 0..600'})
        for order in ([], [1, 4294967298], [2, 1.0]):
            reply = self.sim.control(cmd="inject", parts=2, order=order, **{"from": "10086", "text": "abcdef"})
            self.assertFalse(reply["ok"], order)
            self.assertIn('"order"', reply["error"])
        faults = self.sim.ok(cmd="fault", mode="sim_not_ready", on=False)["faults"]
        self.assertEqual((faults["delay_ms"], faults["signal"]), (0, 23))
        self.assertEqual(self.sim.ok(cmd="storage")["messages"], [])

    def test_full_storage_stores_nothing(self):
        self.sim.ok(cmd="fault", mode="prestore", count=2)
        reply = self.sim.control(cmd="inject", parts=3, **{"from": "10086", "text": "abcdef"})
        self.assertFalse(reply["ok"])
        self.assertIn("full", reply["error"])
        self.assertEqual(len(self.sim.ok(cmd="storage")["messages"]), 2)
        self.assertEqual(self.sim.ok(cmd="inject_pdu", pdu=SUBMIT.lower())["slot"], 3)


class Encoding(unittest.TestCase):
    """What inject stores, as libgammu decodes it."""

    @classmethod
    def setUpClass(cls):
        cls.sim = ModemSim(storage=200)

    @classmethod
    def tearDownClass(cls):
        cls.sim.stop()

    def inject(self, text, **options):
        self.sim.ok(cmd="reset")
        reply = self.sim.ok(cmd="inject", text=text, **{"from": "8613800138000", **options})
        return [decode(p) for p in reply["pdus"]], reply

    def joined(self, parts):
        return "".join(p["Text"] for p in sorted(parts, key=lambda p: p["UDH"]["PartNumber"]))

    def test_order_stores_parts_in_that_order(self):
        text = "part one, " * 30
        parts, reply = self.inject(text, parts=3, order=[2, 3, 1])
        self.assertEqual(reply["slots"], [1, 2, 3])
        stored = [decode(m["pdu"]) for m in self.sim.ok(cmd="storage")["messages"]]
        self.assertEqual([p["UDH"]["PartNumber"] for p in stored], [2, 3, 1])
        self.assertEqual({(p["UDH"]["Type"], p["UDH"]["ID8bit"], p["UDH"]["AllParts"]) for p in stored},
                         {("ConcatenatedMessages", reply["ref"], 3)})
        self.assertEqual(self.joined(stored), text)

    def test_split_points_per_coding(self):
        cases = [  # text, options, expected text length of each part
            ("a" * 160, {}, [160]),
            ("a" * 161, {}, [153, 8]),
            ("a" * 161, {"ref16": True}, [152, 9]),
            ("a" * 152 + "€" + "b" * 10, {}, [152, 11]),  # an escaped character is never cut
            ("汉" * 70, {"coding": "ucs2"}, [70]),
            ("汉" * 71, {"coding": "ucs2"}, [67, 4]),
            ("汉" * 71, {"coding": "ucs2", "ref16": True}, [66, 5]),
            ("x" * 141, {"coding": "8bit"}, [134, 7]),
            ("ab", {"parts": 1}, [2]),
        ]
        for text, options, lengths in cases:
            with self.subTest(text=text[:3], n=len(text), **options):
                parts, _ = self.inject(text, **options)
                texts = [p["Text"] for p in parts]
                if options.get("coding") == "8bit":
                    texts = [t.decode("ascii") for t in texts]
                self.assertEqual(len(texts), len(lengths))
                offset = 0
                for got, n in zip(texts, lengths):
                    self.assertEqual(got[:n], text[offset:offset + n])
                    if "€" not in got:  # see test_gsm_alphabet_and_refusals
                        self.assertEqual(len(got), n)
                    offset += n
                self.assertEqual(offset, len(text))
                concatenated = len(lengths) > 1 or "parts" in options
                udh = "ConcatenatedMessages16bit" if options.get("ref16") else "ConcatenatedMessages"
                self.assertEqual({p["UDH"]["Type"] for p in parts}, {udh if concatenated else "NoUDH"})

    def test_sixteen_bit_reference_and_sender_forms(self):
        parts, reply = self.inject("x" * 200, ref16=True, ref=0x1234)
        self.assertEqual({p["UDH"]["ID16bit"] for p in parts}, {0x1234})
        parts, _ = self.inject("hi", **{"from": "+8613912345678"})
        self.assertEqual(parts[0]["Number"], "+8613912345678")
        parts, _ = self.inject("hi", **{"from": "Bank"})
        self.assertEqual(parts[0]["Number"], "Bank")
        self.assertEqual(parts[0]["SMSC"]["Number"], "+8613800200500")

    def test_gsm_alphabet_and_refusals(self):
        text = "@£$_ {[~]}|\\^€ èÄ"
        # The binding returns as many characters as the PDU has septets, so
        # each escaped character leaves one character of junk at the end.
        self.assertEqual(self.inject(text)[0][0]["Text"][:len(text)], text)
        for options in ({"text": "汉"}, {"text": "abc", "parts": 4}, {"text": "é", "coding": "latin1"}):
            reply = self.sim.control(cmd="inject", **{"from": "1", **options})
            self.assertFalse(reply["ok"], options)


class Timestamp(unittest.TestCase):
    def test_local_time_with_zone_in_quarter_hours(self):
        # POSIX TZ offsets count west: "CST-8" is UTC+8 (32 quarters), "XYZ+3" UTC-3.
        for tz, hours, zone_octet in (("CST-8", 8, "23"), ("XYZ+3", -3, "29")):
            sim = ModemSim(env={"TZ": tz})
            try:
                pdu = sim.ok(cmd="inject", text="t", **{"from": "1"})["pdus"][0]
            finally:
                sim.stop()
            now = datetime.datetime.now(datetime.timezone.utc).replace(tzinfo=None)
            drift = decode(pdu)["DateTime"] - (now + datetime.timedelta(hours=hours))
            self.assertLess(abs(drift.total_seconds()), 60, tz)
            # Centre part 9 octets, first octet, address 01 91 F1, PID, DCS, then 7 octets of time.
            self.assertEqual(pdu[42:44], zone_octet, tz)


class Lifecycle(unittest.TestCase):
    def test_stale_link_replaced_and_link_removed_on_sigterm(self):
        with tempfile.TemporaryDirectory() as folder:
            link = os.path.join(folder, "COM3")
            os.symlink("/dev/pts/nonexistent", link)
            sim = ModemSim(device_dir=folder)
            self.assertTrue(os.path.exists(link))  # the link now leads to a terminal
            self.assertEqual(sim.stop(), 0)
            self.assertFalse(os.path.lexists(link))

if __name__ == "__main__":
    unittest.main()
