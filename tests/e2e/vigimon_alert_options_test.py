#!/usr/bin/python3
"""The monitor's alert options end to end on one simulated installation
(modemsim, Quillon, bcsim with 100 terminals in three areas of 33, 33 and 34,
Vigimon --headless, all at a tenth of real time): a flapping area raises no
alert until its rise holds, an area still over the threshold a minute later
is told to the installation's contacts, and its recovery to its own; an
area in its quiet hours holds its alerts for one summary at their end."""
import binascii
import datetime
import os
import sys
import time
import unittest

import gammu

from quillon_harness import SOURCE, Quillon
from vigimon_monitor_test import Vigimon

sys.path.insert(0, os.path.join(SOURCE, "sim", "broadcast", "bcsim", "tests"))
from bcsim_harness import BcSim  # noqa: E402

AREA1 = "+8613800000001"
AREA2 = "+8613800000002"
INSTALLATION = ("+8613900000001", "+8613900000002")


class AlertOptions(unittest.TestCase):
    def setUp(self):
        self.quillon = Quillon()
        self.addCleanup(self.quillon.stop)
        self.bcsim = BcSim({"generate": {"terminals": 100, "areas": 3}})
        self.addCleanup(self.bcsim.stop)

    def start(self, keys):
        self.vigimon = Vigimon(self.quillon, self.bcsim, extra_keys=keys)
        self.addCleanup(self.vigimon.stop)
        self.assertTrue(self.vigimon.wait_for_line("status 0: 短信猫已连接"), self.log())
        self.assertTrue(self.vigimon.wait_for_line("status 2: 离线终端数量：0"), self.log())

    def log(self):
        return "\n".join(self.vigimon.lines)

    def set_online(self, terminals, online):
        for terminal in terminals:
            self.bcsim.ok(cmd="set_terminal", id=terminal, online=online)

    def polled(self, offline, times, timeout=20):
        """Waits until a poll has seen `offline` terminals for the `times`-th time."""
        line = "status 2: 离线终端数量：%d" % offline
        deadline = time.time() + timeout
        while time.time() < deadline:
            if sum(entry == line for entry in self.vigimon.lines) >= times:
                return
            time.sleep(0.05)
        self.fail("no poll saw %d offline %d times:\n%s" % (offline, times, self.log()))

    def sent(self):
        """(number, text) of every SMS the modem has sent so far."""
        messages = []
        for entry in self.quillon.sim.ok(cmd="sent")["sent"]:
            sms = gammu.DecodePDU(binascii.unhexlify(entry["pdu"]), True)
            messages.append((sms["Number"], sms["Text"]))
        return messages

    def wait_sent(self, count, timeout=30):
        deadline = time.time() + timeout
        while time.time() < deadline and len(self.sent()) < count:
            time.sleep(0.3)
        return self.sent()

    def test_flap_damping_escalation_and_recovery(self):
        self.start({"Alert": {"ConfirmPolls": 4, "Recovery": 1, "EscalateMinutes": 1}})
        # 20 of area 1's 33 terminals (60 %) drop out and come back, each
        # time seen by a poll or two but never by four in a row.
        for flap in range(1, 4):
            self.set_online(range(1, 21), False)
            self.polled(20, flap)
            self.set_online(range(1, 21), True)
            self.polled(0, flap + 1)
        self.assertFalse([line for line in self.vigimon.lines if "sms queued" in line], self.log())
        # Then they stay out: the alert comes once the rise has held.
        self.set_online(range(1, 21), False)
        area_alert = (AREA1, "已有20个终端离线，占区域总数的60%，具体终端列表可联系系统管理员查询。")
        self.assertEqual(self.wait_sent(1), [area_alert])
        # A nominal minute later, still over 50 %: the installation's contacts hear of it.
        escalation = "区域1区域已有20个终端离线，占区域总数的60%，已持续1分钟，具体终端列表可联系系统管理员查询。"
        messages = self.wait_sent(3)
        self.assertEqual(messages[0], area_alert)
        self.assertEqual(sorted(messages[1:]), [(number, escalation) for number in INSTALLATION])
        # 9 left offline is half of 20 or less: area 1's contact is told once.
        self.set_online(range(1, 12), True)
        messages = self.wait_sent(4)
        self.assertEqual(messages[3], (AREA1, "区域1区域已恢复：9个终端离线。"))
        self.polled(9, 1)
        time.sleep(3)  # a few more polls and well past another minute: nothing repeats
        self.assertEqual(len(self.sent()), 4, self.sent())

    def test_quiet_hours_hold_alerts_for_one_summary(self):
        # A window that began a minute ago and ends shortly after start-up.
        begins = datetime.datetime.now() - datetime.timedelta(minutes=1)
        ends = datetime.datetime.now() + datetime.timedelta(seconds=18)
        self.start({"Area2": {"Quiet": "%s-%s" % (begins.strftime("%H:%M:%S"), ends.strftime("%H:%M:%S"))}})
        # Area 2 (34 to 66) alerts twice inside the window: 20 of 33, back, then 27.
        self.set_online(range(34, 54), False)
        self.polled(20, 1)
        self.set_online(range(34, 54), True)
        self.polled(0, 2)
        self.set_online(range(34, 61), False)
        self.polled(27, 1)
        self.assertLess(datetime.datetime.now(), ends, "the machine was too slow to reach both alerts in the window")
        self.assertFalse([line for line in self.vigimon.lines if "sms queued" in line], self.log())
        summary = (AREA2, "区域2区域静默时段内告警2次，最多27个终端离线，现有27个终端离线。")
        self.assertEqual(self.wait_sent(1, timeout=40), [summary])
        self.assertGreaterEqual(datetime.datetime.now(), ends)
        time.sleep(2)
        self.assertEqual(self.sent(), [summary])


if __name__ == "__main__":
    unittest.main()
