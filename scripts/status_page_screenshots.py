#!/usr/bin/python3
"""The three programs' status pages, on the simulated installation with a
little traffic, rendered by headless Chromium into docs/screenshots/.

usage: scripts/status_page_screenshots.py [OUT_DIR]   (after make build)"""
import os
import shutil
import subprocess
import sys
import tempfile
import time

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.join(HERE, "..")
os.environ.setdefault("QUILLON_BIN_DIR", os.path.join(ROOT, "build", "bin"))
os.environ.setdefault("QUILLON_SOURCE_DIR", ROOT)
sys.path.insert(0, os.path.join(ROOT, "tests", "e2e"))
sys.path.insert(0, os.path.join(ROOT, "sim", "broadcast", "bcsim", "tests"))

from bcsim_harness import BcSim  # noqa: E402
from heraldo_gateway_test import Heraldo  # noqa: E402
from modemsim_harness import free_port  # noqa: E402
from quillon_harness import Quillon  # noqa: E402
from vigimon_monitor_test import Vigimon  # noqa: E402

AUTHORISED = "13911112222"


def snap(url, path):
    profile = tempfile.mkdtemp(prefix="chromium-")
    subprocess.run(["chromium", "--headless", "--no-sandbox", "--disable-gpu", "--hide-scrollbars",
                    "--user-data-dir=" + profile, "--window-size=900,760", "--screenshot=" + path, url],
                   check=True, capture_output=True, timeout=60)


def main():
    if shutil.which("chromium") is None:
        sys.exit("status_page_screenshots: needs Debian's chromium (apt install chromium)")
    out = os.path.abspath(sys.argv[1] if len(sys.argv) > 1 else os.path.join(ROOT, "docs", "screenshots"))
    ports = {"quillon": free_port(), "heraldo": free_port(), "vigimon": free_port()}
    metrics = {job: ("--metrics", "127.0.0.1:%d" % port) for job, port in ports.items()}
    quillon = Quillon(options=metrics["quillon"])
    bcsim = BcSim({"generate": {"terminals": 12, "areas": 3}}, data_port=15001)
    heraldo = vigimon = None
    try:
        heraldo = Heraldo(quillon, bcsim, 0, {AUTHORISED: "3,7,"}, extra_args=metrics["heraldo"])
        vigimon = Vigimon(quillon, bcsim, extra_args=metrics["vigimon"])
        heraldo.wait_for_line("modem: 短信猫已连接")
        for terminal in (4, 5, 9):
            bcsim.ok(cmd="set_terminal", id=terminal, online=False)
        for text in ("三号楼今天下午停水，请提前储水。", "消防演练将于十点开始，请听从指挥有序撤离。"):
            quillon.sim.ok(cmd="inject", **{"from": "86" + AUTHORISED}, text=text, coding="ucs2")
            heraldo.wait_for_line(text + " [短信播放完成]", 60)
        quillon.sim.ok(cmd="inject", **{"from": "8613700001111"}, text="未授权的号码发来的短信", coding="ucs2")
        quillon.quillonctl("send", "--centre", "8613800100500", "--to", "13900000001", "--text", "值班提醒：设备巡检")
        time.sleep(12)  # a poll of the monitor, and the refused message's row
        for job, port in ports.items():
            snap("http://127.0.0.1:%d/" % port, os.path.join(out, "%s-status-page.png" % job))
            print(os.path.join(out, "%s-status-page.png" % job))
    finally:
        for program in (vigimon, heraldo):
            if program:
                program.stop()
        bcsim.stop()
        quillon.stop()


if __name__ == "__main__":
    main()
