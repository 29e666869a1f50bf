#!/usr/bin/python3
"""Prints an .xls workbook as xlrd reads it, as JSON: each sheet's name and
every cell's type and value, row by row.

  xls_cells.py FILE.xls"""
import json
import sys

import xlrd

book = xlrd.open_workbook(sys.argv[1])
print(json.dumps([{"name": sheet.name,
                   "rows": [[[cell.ctype, cell.value] for cell in sheet.row(r)] for r in range(sheet.nrows)]}
                  for sheet in book.sheets()], ensure_ascii=False))
