"""Time from starting Heraldo to its window shown on an X server (Xvfb with a
window manager): the median and the worst of several starts.

    python3 bench/heraldo_window_bench.py [STARTS]
"""
import os
import shutil
import subprocess
import sys
import tempfile
import time

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, "..", "tests", "e2e"))
from quillon_harness import BIN, write_gbk_ini  # noqa: E402
from x_display import XDisplay  # noqa: E402

TITLE = "短信接入网关"


def one_start(x, home):
    env = dict(x.env, HERALDO_HOME=home)
    start = time.monotonic()
    heraldo = subprocess.Popen([os.path.join(BIN, "Heraldo")], env=env, stdout=subprocess.DEVNULL,
                               stderr=subprocess.DEVNULL)
    try:
        # Mapped and viewable, as xdotool sees it: the window is on the screen.
        while not x.windows_named(TITLE):
            if time.monotonic() - start > 30:
                raise RuntimeError("no window within 30 s")
            time.sleep(0.002)
        return time.monotonic() - start
    finally:
        heraldo.terminate()
        heraldo.wait(15)


def main():
    starts = int(sys.argv[1]) if len(sys.argv) > 1 else 10
    x = XDisplay()
    home = tempfile.mkdtemp(prefix="heraldo-bench-")
    try:
        write_gbk_ini(os.path.join(home, "SMS.ini"), {"COM": {"Port": 3, "Rate": 19200}})
        one_start(x, home)  # the first start also warms the file cache
        times = sorted(one_start(x, home) for _ in range(starts))
        print("Heraldo start to window shown, %d starts: median %.0f ms, min %.0f ms, max %.0f ms"
              % (starts, 1000 * times[len(times) // 2], 1000 * times[0], 1000 * times[-1]))
    finally:
        shutil.rmtree(home, True)
        x.close()


if __name__ == "__main__":
    main()
