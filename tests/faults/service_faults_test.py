#!/usr/bin/python3
"""Faults of the SMS service and its modem under the running gateway and
monitor: the modem silent or unplugged, the service restarted or stopped
while it sends, and clients that die in the middle of a request."""
import os
import signal
import socket
import subprocess
import time
import unittest

from fault_matrix import (BIN, CENTRE, MODEM_CLOSED, MODEM_READY, TP_SMS_SUBMIT_ACK, Installation,
                          line_after, modem_state, send, sent_messages, wait_for_sent, wait_until)

INSTALLATION_ALERT = "已有60个终端离线，占总数的60%，具体终端列表可联系系统管理员查询。"
AUTHORISED = "13911112222"


def open_descriptors(pid):
    return len(os.listdir("/proc/%d/fd" % pid))


class ServiceFaults(unittest.TestCase):
    def setUp(self):
        self.site = Installation(self, heraldo=True, vigimon=True, pat={AUTHORISED: "3,7,"})
        self.quillon = self.site.quillon

    def test_silent_then_unplugged_modem_comes_back_for_both_programs_and_holds_the_alerts(self):
        site = self.site
        quillon, heraldo, vigimon = site.quillon, site.heraldo, site.vigimon

        heard = len(heraldo.lines)
        quillon.sim.ok(cmd="fault", mode="silent")
        self.assertTrue(wait_until(lambda: modem_state(quillon.port) == MODEM_CLOSED, 15), quillon.output())
        self.assertIn("no reply from the modem within", quillon.output())
        self.assertTrue(line_after(heraldo, heard, "modem: 短信猫正在连接...", 5), "\n".join(heraldo.lines))
        quillon.sim.ok(cmd="fault", mode="clear")
        self.assertTrue(line_after(heraldo, heard, "modem: 短信猫已连接", 20), "\n".join(heraldo.lines))
        site.inject(AUTHORISED, "静默之后")
        self.assertTrue(site.played(AUTHORISED, "静默之后", heard), "\n".join(heraldo.lines))

        # Unplugged while the monitor raises its alerts: they wait for the modem.
        heard, seen = len(heraldo.lines), len(vigimon.lines)
        quillon.sim.ok(cmd="unplug")
        self.assertTrue(line_after(heraldo, heard, "modem: 短信猫正在连接...", 5), "\n".join(heraldo.lines))
        for terminal in range(1, 61):
            site.bcsim.ok(cmd="set_terminal", id=terminal, online=False)
        self.assertTrue(line_after(vigimon, seen, "status 2: 离线终端数量：60", 15), "\n".join(vigimon.lines))
        queued = [line.split(" ", 3)[2] for line in vigimon.lines[seen:] if line.startswith("sms queued: ")]
        quillon.sim.ok(cmd="replug")
        self.assertTrue(line_after(heraldo, heard, "modem: 短信猫已连接", 20), "\n".join(heraldo.lines))
        sent = wait_for_sent(quillon, 4, 20)
        dropped = [line.split(" ", 3)[2] for line in vigimon.lines[seen:] if line.startswith("sms dropped: ")]
        self.assertEqual(len(queued) + len(dropped), 4, "\n".join(vigimon.lines))
        self.assertEqual(sorted(number.lstrip("+") for number, _ in sent), sorted(queued),
                         "\n".join(vigimon.lines) + quillon.output())
        site.inject(AUTHORISED, "重新插上之后")
        self.assertTrue(site.played(AUTHORISED, "重新插上之后", heard), "\n".join(heraldo.lines))

    def test_a_restarted_service_is_found_again_and_the_alerts_queued_meanwhile_go_out(self):
        heraldo, vigimon = self.site.heraldo, self.site.vigimon
        heard, seen = len(heraldo.lines), len(vigimon.lines)
        self.quillon.end_program()
        self.assertTrue(line_after(heraldo, heard, "modem: 短信猫正在连接...", 10), "\n".join(heraldo.lines))
        # The monitor raises its alerts while the service is away.
        for terminal in range(1, 61):
            self.site.bcsim.ok(cmd="set_terminal", id=terminal, online=False)
        self.assertTrue(line_after(vigimon, seen, "status 2: 离线终端数量：60", 15), "\n".join(vigimon.lines))
        queued = [line.split(" ", 3)[2] for line in vigimon.lines[seen:] if line.startswith("sms queued: ")]
        self.assertEqual(len(queued), 4, "\n".join(vigimon.lines))

        self.quillon.launch()
        self.assertTrue(line_after(heraldo, heard, "modem: 短信猫已连接", 20), "\n".join(heraldo.lines))
        sent = wait_for_sent(self.quillon, 4)
        self.assertEqual(sorted(number.lstrip("+") for number, _ in sent), sorted(queued), self.quillon.output())
        self.assertIn(("+8613900000001", INSTALLATION_ALERT), sent)
        # The alerts waited in the outbox, so the monitor may never have seen the service gone: it ends connected.
        last_modem_status = lambda: [line for line in vigimon.lines if line.startswith("status 0: ")][-1]
        self.assertTrue(wait_until(lambda: last_modem_status() == "status 0: 短信猫已连接", 10),
                        "\n".join(vigimon.lines))

        start = len(heraldo.lines)
        self.site.inject(AUTHORISED, "重启之后的短信")
        self.assertTrue(self.site.played(AUTHORISED, "重启之后的短信", start), "\n".join(heraldo.lines))

    def test_sigterm_while_sending_ends_at_once_and_the_next_service_sends(self):
        self.quillon.sim.ok(cmd="fault", mode="error", command="send", count=30)
        self.assertEqual(send(self.quillon, "13900000100", "停止时正在发送"), 0)
        self.assertTrue(wait_until(lambda: "SMS to 8613900000100 not taken by the modem (ERROR); attempt 3 of 31"
                                   in self.quillon.output(), 10), self.quillon.output())
        start = time.time()
        self.quillon.proc.terminate()
        self.assertEqual(self.quillon.proc.wait(5), 0)
        self.assertLess(time.time() - start, 2.0)
        self.assertIn("Quillon stopped", self.quillon.output())

        # The port is free and the modem answers: nothing was left half-sent in it.
        self.quillon.sim.ok(cmd="fault", mode="clear")
        self.quillon.launch()
        self.assertEqual(send(self.quillon, "13900000199", "重启之后"), 0)
        self.assertTrue(wait_until(lambda: ("+8613900000199", "重启之后") in sent_messages(self.quillon), 20),
                        self.quillon.output())
        heraldo = self.site.heraldo
        start = len(heraldo.lines)
        self.site.inject(AUTHORISED, "停止之后的短信")
        self.assertTrue(self.site.played(AUTHORISED, "停止之后的短信", start), "\n".join(heraldo.lines))

    def test_sigterm_while_sending_sends_every_acknowledged_sms_after_the_restart(self):
        self.quillon.sim.ok(cmd="fault", mode="error", command="send", count=30)  # the first keeps the rest queued
        numbers = ["1390000020%d" % i for i in range(4)]
        for number in numbers:
            self.assertEqual(send(self.quillon, number, "确认过的短信"), 0)
        self.quillon.proc.terminate()
        self.quillon.proc.wait(5)
        self.quillon.sim.ok(cmd="fault", mode="clear")
        self.quillon.launch()
        self.quillon.open_ready()
        time.sleep(2)
        sent = [number.lstrip("+") for number, _ in sent_messages(self.quillon)]
        output = self.quillon.output()
        self.assertEqual([n for n in numbers if "86" + n not in sent], [], output)

    def test_clients_killed_mid_request_leave_the_service_to_the_others(self):
        port = self.quillon.port
        time.sleep(0.5)
        baseline = open_descriptors(self.quillon.proc.pid)
        submit = bytes.fromhex(subprocess.run(
            [os.path.join(BIN, "quillonctl"), "packet", "encode", "submit", "--smsc", CENTRE, "--to", "13900000300",
             "--dcs", "0", "--text", "half a request"], capture_output=True, text=True, check=True).stdout.strip())
        # A client dies after half a request, one in the middle of a fetch, one while it waits for the modem.
        half = subprocess.Popen(["/usr/bin/python3", "-c", "import socket, sys, time\n"
                                 "s = socket.create_connection(('127.0.0.1', %d))\n"
                                 "s.sendall(bytes.fromhex(sys.argv[1])); time.sleep(60)" % port,
                                 submit[:len(submit) // 2].hex()])
        fetching = subprocess.Popen([os.path.join(BIN, "quillonctl"), "fetch", "--com", "3", "--count", "5",
                                     "--timeout", "60"], env=self.quillon.env, stdout=subprocess.DEVNULL)
        opening = subprocess.Popen([os.path.join(BIN, "quillonctl"), "open", "--com", "3", "--wait", "60"],
                                   env=self.quillon.env, stdout=subprocess.DEVNULL)
        time.sleep(1.5)
        for client in (half, fetching, opening):
            client.send_signal(signal.SIGKILL)
            client.wait()

        self.assertIsNone(self.quillon.proc.poll())
        self.assertTrue(wait_until(lambda: open_descriptors(self.quillon.proc.pid) == baseline, 5),
                        "descriptors left open")
        self.assertEqual(modem_state(port), MODEM_READY)
        with socket.create_connection(("127.0.0.1", port), timeout=2) as s:
            s.sendall(submit)
            self.assertEqual(s.recv(4096)[2], TP_SMS_SUBMIT_ACK)
        self.assertIn(("+8613900000300", "half a request"), wait_for_sent(self.quillon, 1))
        # The half request was never taken for a whole one.
        self.assertEqual(len(sent_messages(self.quillon)), 1)
        heraldo = self.site.heraldo
        start = len(heraldo.lines)
        self.site.inject(AUTHORISED, "客户端退出之后")
        self.assertTrue(self.site.played(AUTHORISED, "客户端退出之后", start), "\n".join(heraldo.lines))


if __name__ == "__main__":
    unittest.main()
