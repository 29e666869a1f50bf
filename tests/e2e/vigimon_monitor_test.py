#!/usr/bin/python3
"""The monitor end to end: modemsim, Quillon, bcsim with 100 terminals in
three areas, and Vigimon --headless; alerts and reports arrive at modemsim
as UCS2 SMS that gammu decodes."""
import binascii
import datetime
import os
import sys
import tempfile
import time
import unittest

import gammu

from quillon_harness import BIN, SOURCE, HeadlessProgram, Quillon, write_gbk_ini

sys.path.insert(0, os.path.join(SOURCE, "sim", "broadcast", "bcsim", "tests"))
from bcsim_harness import BcSim  # noqa: E402


class Vigimon(HeadlessProgram):
    def __init__(self, quillon, bcsim, report_times=(), extra_args=(), extra_keys=None):
        self.home = tempfile.mkdtemp(prefix="vigimon-")
        sections = {
            "SMS": {"COM": 3, "Baudrate": 19200, "SMCenter": "8613800100500"},
            "UI": {"Interval": 10},
            "SendSMTime": {"Count": len(report_times)},
            "OfflineThreshold": {"TrmPercent": 50},
            "TotalArea": {"Name": "大面积离线", "Count": 2, "Contacts1": "值班长", "PhoneNum1": "13900000001",
                          "Contacts2": "工程师", "PhoneNum2": "13900000002", "AreaCount": 3},
        }
        for i, at in enumerate(report_times, start=1):
            sections["SendSMTime"]["Name%d" % i] = "报告%d" % i
            sections["SendSMTime"]["Time%d" % i] = at
        for area in (1, 2, 3):
            sections["Area%d" % area] = {"ID": area, "Name": "区域%d" % area, "Count": 1,
                                          "Contacts1": "区长%d" % area, "PhoneNum1": "1380000000%d" % area}
        for section, keys in (extra_keys or {}).items():
            sections.setdefault(section, {}).update(keys)
        write_gbk_ini(os.path.join(self.home, "Vigimon.ini"), sections)
        env = dict(quillon.env, VIGIMON_HOME=self.home, QUILLON_INFO_PORT=str(bcsim.info_port))
        super().__init__([os.path.join(BIN, "Vigimon"), "--headless", *extra_args], env)


class MonitorEndToEnd(unittest.TestCase):
    def start(self, report_times=()):
        self.quillon = Quillon()
        self.addCleanup(self.quillon.stop)
        self.bcsim = BcSim({"generate": {"terminals": 100, "areas": 3}})
        self.addCleanup(self.bcsim.stop)
        self.vigimon = Vigimon(self.quillon, self.bcsim, report_times)
        self.addCleanup(self.vigimon.stop)
        self.assertTrue(self.vigimon.wait_for_line("status 0: 短信猫已连接"), "\n".join(self.vigimon.lines))
        self.assertTrue(self.vigimon.wait_for_line("status 2: 离线终端数量：0"), "\n".join(self.vigimon.lines))

    def received(self, count, timeout=30):
        """(number, text) of the SMS the modem sent, once `count` have come."""
        deadline = time.time() + timeout
        while time.time() < deadline:
            sent = self.quillon.sim.ok(cmd="sent")["sent"]
            if len(sent) >= count:
                break
            time.sleep(0.3)
        messages = []
        for entry in self.quillon.sim.ok(cmd="sent")["sent"]:
            sms = gammu.DecodePDU(binascii.unhexlify(entry["pdu"]), True)
            self.assertEqual(sms["Coding"], "Unicode_No_Compression")
            messages.append((sms["Number"], sms["Text"]))
        return messages

    def test_sixty_offline_alert_the_installation_and_the_areas(self):
        self.start()
        for terminal in range(1, 61):
            self.bcsim.ok(cmd="set_terminal", id=terminal, online=False)
        messages = self.received(2 + 3)
        installation = "已有60个终端离线，占总数的60%，具体终端列表可联系系统管理员查询。"
        self.assertIn(("+8613900000001", installation), messages)
        self.assertIn(("+8613900000002", installation), messages)
        area_alerts = {number: text for number, text in messages if number.startswith("+86138")}
        self.assertEqual(area_alerts["+8613800000001"], "已有33个终端离线，占区域总数的100%，具体终端列表可联系系统管理员查询。")
        self.assertEqual(area_alerts["+8613800000002"], "已有27个终端离线，占区域总数的81%，具体终端列表可联系系统管理员查询。")

    def test_report_time_sends_each_area_its_report(self):
        due = (datetime.datetime.now() + datetime.timedelta(seconds=8)).strftime("%H:%M:%S")
        self.start(report_times=[due])
        self.bcsim.ok(cmd="set_terminal", id=67, online=False)
        self.assertTrue(self.vigimon.wait_for_line("report due", timeout=20), "\n".join(self.vigimon.lines))
        messages = dict(self.received(3))
        self.assertTrue(messages["+8613800000001"].startswith("区域1区域：33个终端在线，0个终端离线，离线率：0%"))
        self.assertTrue(messages["+8613800000003"].startswith("区域3区域："), messages)

    def test_unreachable_platform_at_report_time_warns_the_installation_contacts(self):
        due = (datetime.datetime.now() + datetime.timedelta(seconds=20)).strftime("%H:%M:%S")
        self.start(report_times=[due])
        self.bcsim.ok(cmd="info_down")  # the next poll fails; the reload at report time fails too
        self.assertTrue(self.vigimon.wait_for_line("status 1: 系统连接错误", timeout=15), "\n".join(self.vigimon.lines))
        self.assertTrue(self.vigimon.wait_for_line("report due", timeout=25), "\n".join(self.vigimon.lines))
        messages = self.received(2)
        self.assertEqual(sorted(messages), [("+8613900000001", "系统服务状态错误！"), ("+8613900000002", "系统服务状态错误！")])


if __name__ == "__main__":
    unittest.main()
