#!/usr/bin/python3
"""A real AT client, the gammu command-line tool, drives modemsim: it must
identify the modem, send an SMS through it and read injected ones back."""
import binascii
import os
import re
import subprocess
import tempfile
import unittest

import gammu

from modemsim_harness import ModemSim


class GammuDrivesTheModem(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.sim = ModemSim(com=7)
        cls.config = os.path.join(cls.sim.device_dir, "gammurc")
        cls.gammu_log = os.path.join(cls.sim.device_dir, "gammu.log")
        with open(cls.config, "w") as f:
            f.write("[gammu]\ndevice = %s\nconnection = at19200\nlogformat = textalldate\nlogfile = %s\n"
                    % (cls.sim.link, cls.gammu_log))

    @classmethod
    def tearDownClass(cls):
        if cls.sim.proc.poll() is None:
            cls.sim.stop()

    def gammu(self, *args):
        result = subprocess.run(["gammu", "-c", self.config, *args], capture_output=True, timeout=60,
                                cwd=tempfile.gettempdir())
        output = result.stdout.decode("utf-8", "replace")
        if result.returncode != 0:
            with open(self.gammu_log, errors="replace") as log:
                self.fail("gammu %s: %s\n%s\n...%s" % (args, output, result.stderr.decode(), log.read()[-4000:]))
        return output

    def test_1_identify(self):
        output = self.gammu("identify")
        self.assertRegex(output, r"Manufacturer\s*: MODEMSIM")
        self.assertRegex(output, r"IMEI\s*: 351234567890125")

    def test_2_sendsms_is_recorded(self):
        self.gammu("sendsms", "TEXT", "+8613912345678", "-text", "hello from gammu")
        sent = self.sim.ok(cmd="sent")["sent"]
        self.assertEqual(len(sent), 1)
        pdu = binascii.unhexlify(sent[0]["pdu"])
        self.assertEqual(sent[0]["length"], len(pdu) - (pdu[0] + 1))
        sms = gammu.DecodePDU(pdu, True)
        self.assertEqual((sms["Type"], sms["Number"], sms["Text"]), ("Submit", "+8613912345678", "hello from gammu"))

    def test_3_injected_messages_read_back(self):
        self.sim.ok(cmd="inject", text="Hello {network} @ 5€", **{"from": "8613800138000"})
        self.sim.ok(cmd="inject", text="你好，世界", coding="ucs2", **{"from": "+8613912345678"})
        self.sim.ok(cmd="inject", text="长消息" * 30, coding="ucs2", order=[2, 1], **{"from": "10086"})
        output = self.gammu("getallsms")
        received = re.findall(r'Remote number\s*: "([^"]*)".*?\n\n(.*?)\n\n', output, re.S)
        self.assertEqual(received[:2], [("+8613800138000", "Hello {network} @ 5€"), ("+8613912345678", "你好，世界")])
        # The parts come back as gammu lists them, in storage order.
        self.assertEqual([r[0] for r in received[2:]], ["+10086"] * 2)
        self.assertEqual(received[3][1] + received[2][1], "长消息" * 30)
        self.assertIn("part 2 of 2", output)
        statuses = {m["status"] for m in self.sim.ok(cmd="storage")["messages"]}
        self.assertEqual(statuses, {"read"})

    def test_4_sigterm_ends_it_and_removes_the_link(self):
        self.assertTrue(os.path.islink(self.sim.link))
        self.assertEqual(self.sim.stop(), 0)
        self.assertFalse(self.sim.link_left)


if __name__ == "__main__":
    unittest.main()
