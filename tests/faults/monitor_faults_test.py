#!/usr/bin/python3
"""The platform's terminal information service down, then back, under the
running monitor (it polls every 10 s)."""
import time
import unittest

from fault_matrix import Installation, line_after, sent_messages, wait_for_sent, wait_until

INSTALLATION_ALERT = "已有60个终端离线，占总数的60%，具体终端列表可联系系统管理员查询。"


class MonitorFaults(unittest.TestCase):
    def test_information_service_down_then_back_alerts_once_from_what_it_then_reads(self):
        site = Installation(self, vigimon=True)
        vigimon, bcsim = site.vigimon, site.bcsim
        seen = len(vigimon.lines)
        bcsim.ok(cmd="info_down")
        self.assertTrue(line_after(vigimon, seen, "status 1: 系统连接错误", 15), "\n".join(vigimon.lines))
        # What changes meanwhile cannot be read; a failed poll is no reason to alert.
        # One whole poll interval passes, so that a poll fails after the change.
        for terminal in range(1, 61):
            bcsim.ok(cmd="set_terminal", id=terminal, online=False)
        time.sleep(11)
        down = vigimon.lines[seen:]
        self.assertFalse([line for line in down if line.startswith("sms ")], "\n".join(down))

        back = len(vigimon.lines)
        bcsim.ok(cmd="info_up")
        self.assertTrue(line_after(vigimon, back, "status 1: 系统连接正常", 15), "\n".join(vigimon.lines))
        self.assertTrue(line_after(vigimon, back, "status 2: 离线终端数量：60", 5), "\n".join(vigimon.lines))
        sent = wait_for_sent(site.quillon, 4)
        self.assertIn(("+8613900000001", INSTALLATION_ALERT), sent)
        self.assertEqual(sorted(number for number, _ in sent),
                         ["+8613800000001", "+8613800000002", "+8613900000001", "+8613900000002"])
        accepted = lambda: [line for line in vigimon.lines[back:] if line.startswith("sms accepted by the service: ")]
        self.assertTrue(wait_until(lambda: len(accepted()) == 4, 5), "\n".join(vigimon.lines[back:]))
        # The next poll finds nothing new: no alert twice.
        polled = len(vigimon.lines)
        time.sleep(11)
        self.assertEqual(len(sent_messages(site.quillon)), 4, "\n".join(vigimon.lines[polled:]))
        self.assertTrue(vigimon.proc.poll() is None)


    def test_alerts_waiting_for_the_modem_outlive_a_killed_monitor_and_go_out_once(self):
        site = Installation(self, vigimon=True)
        vigimon, quillon = site.vigimon, site.quillon
        quillon.sim.ok(cmd="unplug")  # the modem away: the alerts wait
        self.assertTrue(line_after(vigimon, 0, "status 0: 短信猫正在连接...", 15), "\n".join(vigimon.lines))
        seen = len(vigimon.lines)
        for terminal in range(1, 61):
            site.bcsim.ok(cmd="set_terminal", id=terminal, online=False)
        queued = lambda: [line for line in vigimon.lines[seen:] if line.startswith("sms queued: ")]
        self.assertTrue(wait_until(lambda: len(queued()) == 4, 20), "\n".join(vigimon.lines))
        vigimon.kill_and_restart()
        quillon.sim.ok(cmd="replug")
        sent = wait_for_sent(quillon, 4, 60)
        self.assertIn(("+8613900000001", INSTALLATION_ALERT), sent)
        self.assertEqual(sorted(number for number, _ in sent),
                         ["+8613800000001", "+8613800000002", "+8613900000001", "+8613900000002"],
                         "\n".join(vigimon.lines))
        # Its baselines were kept with the alerts: the restarted monitor does not raise them again.
        self.assertTrue(line_after(vigimon, 0, "status 2: 离线终端数量：60", 20), "\n".join(vigimon.lines))
        time.sleep(11)
        self.assertEqual(len(sent_messages(quillon)), 4, "\n".join(vigimon.lines))


if __name__ == "__main__":
    unittest.main()
