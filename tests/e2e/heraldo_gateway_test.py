#!/usr/bin/python3
"""The gateway end to end: an SMS stored in modemsim goes through Quillon to
the headless Heraldo, becomes speech and MP3, and plays through a session on
bcsim. The modem runs ten times faster, and sound twenty times faster, than
in service."""
import binascii
import csv
import datetime
import io
import os
import re
import subprocess
import sys
import tempfile
import time
import unittest

import gammu

from quillon_harness import BIN, SOURCE, HeadlessProgram, Quillon, write_gbk_ini

sys.path.insert(0, os.path.join(SOURCE, "sim", "broadcast", "bcsim", "tests"))
from bcsim_harness import BcSim  # noqa: E402

AUTHORISED = "13911112222"


def ffmpeg_loudness(path):
    """Integrated loudness and true peak as ffmpeg's own EBU R128 meter reads them."""
    out = subprocess.run(["ffmpeg", "-nostats", "-i", path, "-af", "ebur128=peak=true", "-f", "null", "-"],
                         capture_output=True, text=True, check=True).stderr
    summary = out[out.rindex("Summary:"):]
    integrated = float(re.search(r"I:\s+(-?[\d.]+) LUFS", summary).group(1))
    peak = float(re.search(r"Peak:\s+(-?[\d.]+) dBFS", summary).group(1))
    return integrated, peak


class Heraldo(HeadlessProgram):
    """Heraldo --headless in a scratch program directory; its output lines are collected."""

    def __init__(self, quillon, bcsim, regular, pat=None, delay=2, relative_home=False, extra_args=(), extra=None):
        self.home = os.path.realpath(tempfile.mkdtemp(prefix="heraldo-"))
        for name in ("OneSecond.mp3", "liblame_enc.so"):
            os.symlink(os.path.abspath(os.path.join(BIN, name)), os.path.join(self.home, name))
        pat = pat or {}
        sections = {"COM": {"Port": 3, "Rate": 19200}, "Power": {"Delay": delay},
                    "PhoneAndTerm": {"Regular": regular, "PhoneCount": len(pat)}}
        for i, (number, ids) in enumerate(sorted(pat.items()), start=1):
            sections["PAT%d" % i] = {"Number": number, "IDs": ids}
        for name, keys in (extra or {}).items():
            sections.setdefault(name, {}).update(keys)
        write_gbk_ini(os.path.join(self.home, "SMS.ini"), sections)
        write_gbk_ini(os.path.join(self.home, "SMServer.ini"), {"Config": {"ZarnSvrAddr": "127.0.0.1",
                                                                     "ZarnCmdPort": bcsim.cmd_port}})
        # A relative home is named from the directory Heraldo starts in.
        home, cwd = (os.path.basename(self.home), os.path.dirname(self.home)) if relative_home else (self.home, None)
        env = dict(quillon.env, HERALDO_HOME=home, QUILLON_INFO_PORT=str(bcsim.info_port),
                   QUILLON_PLAYBACK_SPEED="20")
        self.env = env
        super().__init__([os.path.join(BIN, "Heraldo"), "--headless", *extra_args], env, cwd)


class GatewayEndToEnd(unittest.TestCase):
    def start(self, regular, pat=None, delay=2, relative_home=False, extra=None):
        self.quillon = Quillon()
        self.addCleanup(self.quillon.stop)
        self.bcsim = BcSim({"generate": {"terminals": 12, "areas": 3}}, data_port=15001)
        self.addCleanup(self.bcsim.stop)
        self.heraldo = Heraldo(self.quillon, self.bcsim, regular, pat, delay, relative_home, extra=extra)
        self.addCleanup(self.heraldo.stop)
        self.assertTrue(self.heraldo.wait_for_line("modem: 短信猫已连接"), "\n".join(self.heraldo.lines))

    def inject(self, sender, text):
        self.quillon.sim.ok(cmd="inject", **{"from": sender}, text=text, coding="ucs2")

    def sent(self, count, timeout=30):
        """(number, text) of the SMS the modem sent, decoded by gammu, once `count` have come."""
        deadline = time.time() + timeout
        while time.time() < deadline and len(self.quillon.sim.ok(cmd="sent")["sent"]) < count:
            time.sleep(0.3)
        return [(sms["Number"], sms["Text"]) for sms in
                (gammu.DecodePDU(binascii.unhexlify(entry["pdu"]), True)
                 for entry in self.quillon.sim.ok(cmd="sent")["sent"])]

    def test_authorised_sms_plays_on_its_terminals_and_finishes(self):
        self.start(regular=0, pat={AUTHORISED: "3,7,"}, delay=2, relative_home=True)
        self.inject("86" + AUTHORISED, "请注意：三号楼停电检修。")
        self.assertTrue(self.heraldo.wait_for_line("[短信播放完成]"), "\n".join(self.heraldo.lines))
        self.assertTrue(any(line.startswith("row added: %s 20" % AUTHORISED) for line in self.heraldo.lines))
        deadline = time.time() + 10
        while time.time() < deadline and self.bcsim.session(1)["state"] != "removed":
            time.sleep(0.2)
        session = self.bcsim.session(1)
        self.assertEqual(session["state"], "removed")
        self.assertEqual(session["terminals"], [3, 7])
        self.assertEqual(session["name"], AUTHORISED + "3,7,")
        paths = [f["path"] for f in session["received"]["files"]]
        files = [os.path.basename(path) for path in paths]
        self.assertEqual(files[:2], ["OneSecond.mp3", "OneSecond.mp3"])
        self.assertEqual(len(files), 3)
        self.assertTrue(files[2].startswith(AUTHORISED) and files[2].endswith(".mp3"))
        home = self.heraldo.home
        self.assertEqual([os.path.dirname(path) for path in paths], [home, home, os.path.join(home, "temp")])
        self.assertTrue(os.path.exists(paths[2]))
        self.assertTrue(all(f["ended"] and f["frames"] > 0 for f in session["received"]["files"]))
        self.assertGreater(session["received"]["files"][2]["duration_us"], 1e6)  # the spoken message
        integrated, peak = ffmpeg_loudness(paths[2])
        self.assertLess(abs(integrated + 16), 1.0, integrated)
        self.assertLessEqual(peak, -1.0)
        self.assertEqual(self.heraldo.stop(), 0)
        with open(os.path.join(self.heraldo.home, "log.txt"), "rb") as log:
            self.assertIn("短信播放完成".encode("gbk"), log.read())
        self.assertEqual(self.sent(0), [], "without [Reply] the gateway sends nothing, as it always did")

    def test_unauthorised_sender_gets_no_audio(self):
        self.start(regular=0, pat={AUTHORISED: "3"})
        self.inject("8613000000000", "not allowed")
        self.assertTrue(self.heraldo.wait_for_line("[非授权号码]"), "\n".join(self.heraldo.lines))
        time.sleep(1.5)
        temp = os.path.join(self.heraldo.home, "temp")
        self.assertEqual([f for f in os.listdir(temp) if f.startswith("13000000000")], [])
        self.assertIsNone(self.bcsim.session(1))

    def test_a_message_with_nothing_to_speak_is_refused_and_not_broadcast(self):
        self.start(regular=1, delay=1)
        self.inject("8613500000000", "😀😀！？")
        self.assertTrue(self.heraldo.wait_for_line("[短信播放失败]"), "\n".join(self.heraldo.lines))
        self.assertIsNone(self.bcsim.session(1))
        self.assertEqual(self.heraldo.stop(), 0)
        with open(os.path.join(self.heraldo.home, "log.txt"), "rb") as log:
            self.assertIn(b"the message holds nothing to speak, it is not broadcast", log.read())
        temp = os.path.join(self.heraldo.home, "temp")
        self.assertEqual(os.listdir(temp), [], "no silent or broken file is left to play")

    def test_regular_one_uses_the_whole_terminal_list_but_never_for_a_named_sender(self):
        self.start(regular=1, delay=0)
        # A service's sender name (alphanumeric): shown as it reads, never played.
        self.quillon.sim.ok(cmd="inject", **{"from": "InternetSMS"}, text="Your bill: 20 EUR, pay @ shop")
        self.inject("8613500000000", "全体广播测试")
        self.assertTrue(self.heraldo.wait_for_line("[短信播放完成]"), "\n".join(self.heraldo.lines))
        named = [line for line in self.heraldo.lines if line.startswith("row state: InternetSMS 20")]
        self.assertEqual(len(named), 1, "\n".join(self.heraldo.lines))
        self.assertTrue(named[0].endswith(" Your bill: 20 EUR, pay @ shop [非授权号码]"), named[0])
        session = self.bcsim.session(1)
        self.assertEqual(session["terminals"], list(range(1, 13)))
        self.assertEqual(session["name"], "13500000000")
        self.assertIsNone(self.bcsim.session(2))

    def test_senders_hear_the_outcome_a_pin_guards_the_number_and_every_decision_is_audited(self):
        self.start(regular=0, pat={AUTHORISED: "3,7,"}, delay=0,
                   extra={"PAT1": {"Pin": "2468"}, "Reply": {"Confirm": 1, "Refused": 1, "Centre": "8613800100500"}})
        self.inject("86" + AUTHORISED, "2468 请注意：三号楼停电检修。")
        self.assertTrue(self.heraldo.wait_for_line("[短信播放完成]"), "\n".join(self.heraldo.lines))
        self.assertEqual(self.sent(1), [("+86" + AUTHORISED, "已播放：请注意：三号楼停电检…（2个终端）")])
        self.assertEqual(self.bcsim.session(1)["terminals"], [3, 7])

        self.inject("86" + AUTHORISED, "1357 猜一个")
        self.inject("8613000000000", '=HYPERLINK("http://x","点这里")')
        refusal = "您的号码无权广播。"
        self.assertEqual(sorted(self.sent(3)[1:]), [("+8613000000000", refusal), ("+86" + AUTHORISED, refusal)])
        self.assertTrue(any(line.endswith("**** 猜一个 [非授权号码]") for line in self.heraldo.lines),
                        "\n".join(self.heraldo.lines))
        self.assertIsNone(self.bcsim.session(2))
        self.assertEqual(self.heraldo.stop(), 0)

        today = datetime.date.today().isoformat()
        audit = subprocess.run([os.path.join(BIN, "Heraldo"), "--audit", today, today], env=self.heraldo.env,
                               capture_output=True, timeout=20)
        self.assertEqual(audit.returncode, 0, audit.stderr)
        rows = list(csv.reader(io.StringIO(audit.stdout.decode("utf-8-sig"))))
        self.assertEqual(rows[0], ["time", "number", "terminals", "text", "decision", "reason"])
        self.assertEqual([row[1:] for row in rows[1:]], [
            [AUTHORISED, "3,7", "请注意：三号楼停电检修。", "played", ""],
            [AUTHORISED, "", "**** 猜一个", "refused", "wrong or missing PIN"],
            ["13000000000", "", '\'=HYPERLINK("http://x","点这里")', "refused", "number not authorised"],
        ])
        with open(os.path.join(self.heraldo.home, "log.txt"), "rb") as log:
            text = log.read()
        self.assertNotIn(b"2468", text)
        self.assertNotIn(b"1357", text)
        bad = subprocess.run([os.path.join(BIN, "Heraldo"), "--audit", "yesterday", today], env=self.heraldo.env,
                             capture_output=True, text=True, timeout=20)
        self.assertEqual(bad.returncode, 2)
        self.assertIn('"yesterday" is not a date', bad.stderr)


if __name__ == "__main__":
    unittest.main()
