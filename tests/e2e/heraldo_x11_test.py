"""The windowed gateway on a real X server: one running copy per user, its
window in front and drawn with Chinese text."""
import os
import shutil
import subprocess
import sys
import tempfile
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from quillon_harness import BIN, write_gbk_ini  # noqa: E402
from x_display import XDisplay  # noqa: E402

TITLE = "短信接入网关"


class SingleWindowOnX(unittest.TestCase):
    def setUp(self):
        self.x = XDisplay()
        self.addCleanup(self.x.close)
        self.home = tempfile.mkdtemp(prefix="heraldo-x11-")
        self.addCleanup(shutil.rmtree, self.home, True)
        write_gbk_ini(os.path.join(self.home, "SMS.ini"), {"COM": {"Port": 3, "Rate": 19200}})
        self.env = dict(self.x.env, HERALDO_HOME=self.home)

    def start(self):
        return subprocess.Popen([os.path.join(BIN, "Heraldo")], env=self.env, stdout=subprocess.PIPE,
                                stderr=subprocess.STDOUT)

    def test_second_start_brings_the_first_window_forward_and_ends(self):
        first = self.start()
        self.addCleanup(first.kill)
        self.assertTrue(self.x.wait_for(lambda: len(self.x.windows_named(TITLE)) == 1, 15), "no window")
        window = self.x.windows_named(TITLE)[0]
        self.assertEqual(self.x.window_title(window), TITLE)
        self.assertTrue(self.x.wait_for(lambda: self.x.managed(window), 10), "the window manager did not take it")

        self.assertTrue(self.x.minimise(window, TITLE), "not minimised")
        second = self.start()
        self.assertEqual(second.wait(15), 0, second.stdout.read().decode())

        self.assertTrue(self.x.wait_for(lambda: self.x.windows_named(TITLE) == [window], 10),
                        "the first window was not restored")
        self.assertTrue(self.x.wait_for(lambda: self.x.active_window() == window, 10), "not in front")
        self.assertIsNone(first.poll())

        shot = self.x.screenshot(os.path.join(self.home, "window.png"), window)
        self.assertGreater(self.x.colours(shot), 16, "the window looks blank")
        first.terminate()
        self.assertEqual(first.wait(15), 0)


if __name__ == "__main__":
    unittest.main()
