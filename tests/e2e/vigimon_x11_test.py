"""The windowed monitor on a real X server: it lives in the notification
area, a double click on its icon shows the window, one copy runs per user,
and SIGTERM ends it as "退出" does. Without a notification area the window
shows itself."""
import os
import shutil
import subprocess
import sys
import tempfile
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from quillon_harness import BIN, free_port, write_gbk_ini  # noqa: E402
from x_display import XDisplay  # noqa: E402

TITLE = "终端故障监控"


class MonitorOnX(unittest.TestCase):
    def setUp(self):
        self.x = XDisplay()
        self.addCleanup(self.x.close)
        self.home = tempfile.mkdtemp(prefix="vigimon-x11-")
        self.addCleanup(shutil.rmtree, self.home, True)
        self.ini = os.path.join(self.home, "Vigimon.ini")
        write_gbk_ini(self.ini, {"UI": {"Interval": 30}})
        # Neither the platform nor the SMS service answers: the window opens all the same.
        self.env = dict(self.x.env, VIGIMON_HOME=self.home, QUILLON_INFO_PORT=str(free_port()),
                        QUILLON_SERVICE_PORT=str(free_port()))

    def start(self):
        process = subprocess.Popen([os.path.join(BIN, "Vigimon")], env=self.env, stdout=subprocess.PIPE,
                                   stderr=subprocess.PIPE)
        self.addCleanup(process.kill)
        return process

    def test_lives_in_the_tray_shows_on_double_click_and_runs_once(self):
        self.x.start_tray_host()
        first = self.start()
        self.assertTrue(self.x.wait_for(lambda: len(self.x.tray_icons("Vigimon")) == 1, 15), "no tray icon")
        icon = self.x.tray_icons("Vigimon")[0]
        self.assertFalse(self.x.wait_for(lambda: self.x.windows_named(TITLE), 2), "the window showed at start")

        self.x.double_click(icon)
        self.assertTrue(self.x.wait_for(lambda: len(self.x.windows_named(TITLE)) == 1, 10), "no window")
        window = self.x.windows_named(TITLE)[0]
        shot = self.x.screenshot(os.path.join(self.home, "window.png"), window)
        self.assertGreater(self.x.colours(shot), 16, "the window looks blank")

        second = self.start()
        self.assertEqual(second.wait(15), 0, second.stderr.read().decode())
        self.assertFalse(self.x.wait_for(lambda: len(self.x.tray_icons("Vigimon")) > 1, 2), "a second tray icon")
        self.assertEqual(self.x.windows_named(TITLE), [window])
        self.assertIsNone(first.poll())

        # SIGTERM closes as "退出" does: the settings are written back in full.
        first.terminate()
        self.assertEqual(first.wait(15), 0, first.stderr.read().decode())
        with open(self.ini, encoding="gbk") as saved:
            self.assertIn("[OfflineThreshold]", saved.read())

    def test_without_a_notification_area_the_window_shows_and_says_why(self):
        process = self.start()
        self.assertTrue(self.x.wait_for(lambda: len(self.x.windows_named(TITLE)) == 1, 15), "no window")
        process.terminate()
        self.assertEqual(process.wait(15), 0)
        self.assertIn("no notification area on this display; showing the window instead",
                      process.stderr.read().decode())


if __name__ == "__main__":
    unittest.main()
