#!/usr/bin/python3
"""The exported workbook read back by other programs: xlrd reads the sheet
name and every cell with its type, and LibreOffice converts the same files
to CSV with the same content. Files come from terminal_table_writer, whose
generated installation is rebuilt here."""
import csv
import os
import shutil
import subprocess
import tempfile
import unittest

import xlrd

BIN = os.environ.get("QUILLON_BIN_DIR", "build/bin")
WRITER = os.path.join(BIN, "..", "tests", "terminal_table_writer")
LEGEND = [("A", "市电异常"), ("B", "电源异常"), ("C", "解码异常"), ("D", "功放异常"), ("E", "喇叭异常"),
          ("F", "网络断开"), ("G", "SD卡异常")]
COUNTS = (0, 5, 65535)


def terminals(count):
    """(id, name) as the writer generates them."""
    rows = []
    for i in range(count):
        terminal = 2147483647 if i + 1 == count and count >= 2 else 1000 + 2 * i
        rows.append((terminal, "" if i % 7 == 3 else "终端%05d" % (i + 1)))
    return rows


def expected_rows(count):
    """Each row as five cells, None where the cell is absent."""
    rows = [["终端代码", "终端名称", None, "故障代码", "故障名称"]]
    listed = terminals(count)
    for r in range(1, max(len(listed), len(LEGEND)) + 1):
        row = [None] * 5
        if r <= len(listed):
            row[0], row[1] = listed[r - 1]
        if r <= len(LEGEND):
            row[3], row[4] = LEGEND[r - 1]
        rows.append(row)
    return rows


class ExportedWorkbookReadBack(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.folder = tempfile.mkdtemp(prefix="terminal-table-")
        cls.paths = {}
        for count in COUNTS:
            path = os.path.join(cls.folder, "终端及故障对照表%d.xls" % count)
            done = subprocess.run([WRITER, path, str(count)], capture_output=True, text=True, timeout=60)
            assert done.returncode == 0, done.stdout + done.stderr
            assert done.stdout == "导出到文件 %s 成功！\n" % path, done.stdout
            cls.paths[count] = path

    @classmethod
    def tearDownClass(cls):
        shutil.rmtree(cls.folder)

    def test_xlrd_reads_the_sheet_name_and_every_cell_with_its_type(self):
        for count in COUNTS:
            with self.subTest(terminals=count):
                book = xlrd.open_workbook(self.paths[count])
                self.assertEqual(book.sheet_names(), ["终端及故障对照表"])
                sheet = book.sheet_by_index(0)
                expected = expected_rows(count)
                self.assertEqual((sheet.nrows, sheet.ncols), (len(expected), 5))
                for r, row in enumerate(expected):
                    for c, value in enumerate(row):
                        cell = sheet.cell(r, c)
                        if value is None:
                            self.assertEqual(cell.ctype, xlrd.XL_CELL_EMPTY, (r, c))
                        elif isinstance(value, int):
                            self.assertEqual((cell.ctype, cell.value), (xlrd.XL_CELL_NUMBER, float(value)), (r, c))
                        else:
                            # A terminal that never answered has a text cell with no text.
                            self.assertEqual((cell.ctype, cell.value), (xlrd.XL_CELL_TEXT, value), (r, c))

    def test_libreoffice_converts_the_same_content_to_csv(self):
        out = os.path.join(self.folder, "csv")
        profile = tempfile.mkdtemp(prefix="lo-profile-")
        self.addCleanup(shutil.rmtree, profile)
        # One start of LibreOffice for all three files: it is slow to start.
        subprocess.run(["libreoffice", "-env:UserInstallation=file://" + profile, "--headless", "--convert-to",
                        "csv:Text - txt - csv (StarCalc):44,34,76,1", "--outdir", out] +
                       [self.paths[c] for c in COUNTS],
                       env=dict(os.environ, HOME=profile), capture_output=True, timeout=240, check=True)
        for count in COUNTS:
            with self.subTest(terminals=count):
                name = os.path.splitext(os.path.basename(self.paths[count]))[0] + ".csv"
                with open(os.path.join(out, name), encoding="utf-8", newline="") as f:
                    read = list(csv.reader(f))
                expected = [["" if v is None else str(v) for v in row] for row in expected_rows(count)]
                self.assertEqual(len(read), len(expected))
                self.assertEqual(read, expected)


if __name__ == "__main__":
    unittest.main()
