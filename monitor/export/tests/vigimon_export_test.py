#!/usr/bin/python3
"""`Vigimon --export` against bcsim: the workbook it writes holds every
terminal of the platform, as xlrd reads it; bad arguments and an
unreachable platform are told apart by the exit status."""
import os
import shutil
import subprocess
import sys
import tempfile
import unittest

import xlrd

SOURCE = os.environ.get("QUILLON_SOURCE_DIR", os.path.join(os.path.dirname(__file__), "..", "..", ".."))
BIN = os.environ.get("QUILLON_BIN_DIR", "build/bin")
sys.path.insert(0, os.path.join(SOURCE, "sim", "broadcast", "bcsim", "tests"))
from bcsim_harness import BcSim, free_port  # noqa: E402

SCENARIO = {
    "generate": {"terminals": 40, "areas": 2},
    # Listed out of order, one offline with a fault, one that never got a name.
    "terminals": [{"id": 5000, "name": ""}, {"id": 700, "name": "东楼广场"}, {"id": 12, "online": False, "fault": 3}],
}


class VigimonExport(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.bcsim = BcSim(SCENARIO)
        cls.home = tempfile.mkdtemp(prefix="vigimon-export-")

    @classmethod
    def tearDownClass(cls):
        cls.bcsim.stop()
        shutil.rmtree(cls.home)

    def export(self, *args, info_port=None):
        env = dict(os.environ, VIGIMON_HOME=self.home,
                   QUILLON_INFO_PORT=str(info_port or self.bcsim.info_port))
        return subprocess.run([os.path.join(BIN, "Vigimon"), *args], env=env, capture_output=True, text=True,
                              timeout=60)

    def test_workbook_holds_every_terminal_in_ascending_order(self):
        path = os.path.join(self.home, "终端及故障对照表.xls")
        done = self.export("--export", path)
        self.assertEqual(done.returncode, 0, done.stdout + done.stderr)
        self.assertEqual(done.stdout, "导出到文件 %s 成功！\n" % path)
        sheet = xlrd.open_workbook(path).sheet_by_name("终端及故障对照表")
        expected = [(i, "终端%03d" % i) for i in range(1, 41)] + [(700, "东楼广场"), (5000, "")]
        self.assertEqual(sheet.nrows, 1 + len(expected))
        read = [(sheet.cell(r, 0), sheet.cell(r, 1)) for r in range(1, sheet.nrows)]
        self.assertEqual([(int(i.value), n.value) for i, n in read], expected)
        self.assertTrue(all(i.ctype == xlrd.XL_CELL_NUMBER for i, _ in read))
        self.assertEqual(sheet.col_values(3, 0, 8), ["故障代码", "A", "B", "C", "D", "E", "F", "G"])

    def test_failures_are_told_apart_by_the_exit_status(self):
        for args in (["--export"], ["--export", ""], ["--export", "a.xls", "b.xls"], ["--exports", "a.xls"]):
            with self.subTest(args=args):
                self.assertEqual(self.export(*args).returncode, 2)

        # A platform that does not answer gives no file rather than an empty table.
        unreachable = os.path.join(self.home, "unreachable.xls")
        done = self.export("--export", unreachable, info_port=free_port())
        self.assertEqual(done.returncode, 1, done.stdout + done.stderr)
        self.assertFalse(os.path.exists(unreachable))


if __name__ == "__main__":
    unittest.main()
