#!/usr/bin/python3
"""Writes the legacy-format (BIFF8) fixtures into a folder:
  legacy.xls          texts, numbers, dates, times, Chinese, two sheets
  max-dimension.xls   a cell in the last row and column a legacy sheet has

Run by hand with python3-xlwt installed; the output is committed so the
tests need no writer for the old format:
  /usr/bin/python3 tests/office/make_xls_fixture.py tests/data/office
"""
import os
import datetime
import sys

import xlwt

book = xlwt.Workbook(encoding="utf-8")
sheet = book.add_sheet("Numbers")
dates = xlwt.easyxf(num_format_str="yyyy/mm/dd")
times = xlwt.easyxf(num_format_str="hh:mm")
stamps = xlwt.easyxf(num_format_str="yyyy-mm-dd hh:mm:ss")
rows = [
    ("Serial", "Authorized number"),
    ("0012", datetime.date(2024, 5, 17), dates),
    (12345, datetime.time(8, 30), times),
    (2.5, datetime.datetime(2024, 5, 17, 8, 30, 59), stamps),
    (13800138000, "门禁 控制器"),
    (-5, True),
    ("+8613800138000", "=1+1"),
]
for r, row in enumerate(rows):
    style = row[2] if len(row) > 2 else None
    sheet.write(r, 0, row[0])
    if style is not None:
        sheet.write(r, 1, row[1], style)
    else:
        sheet.write(r, 1, row[1])
sheet.write(9, 3, "D10")  # a cell beyond the others, after an empty row
book.add_sheet("Second").write(0, 0, "not the first sheet")
book.save(os.path.join(sys.argv[1], "legacy.xls"))

book = xlwt.Workbook(encoding="utf-8")
sheet = book.add_sheet("Far")
sheet.write(0, 0, "Serial")
sheet.write(65535, 255, "far")
book.save(os.path.join(sys.argv[1], "max-dimension.xls"))
