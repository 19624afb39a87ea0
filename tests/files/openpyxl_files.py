#!/usr/bin/python3
"""Workbooks of the tool's layouts as openpyxl writes them, for the file tests.

  openpyxl_files.py numbers FILE      a number list typed into a spreadsheet:
                                      serials and some telephone numbers as
                                      numbers, validity windows as date and
                                      time cells, inline strings
  openpyxl_files.py badnumbers FILE   the same with numbers that cannot be
                                      telephone numbers in slots 7, 9 and 11
  openpyxl_files.py profile FILE      a settings profile with numbers in the
                                      password and choice cells

Reading our own workbooks is tests/office/openpyxl_probe.py's job ("read").
Exit code 3 means openpyxl is not installed (the test then skips).
"""
import datetime
import sys

try:
    import openpyxl
except ImportError:
    sys.exit(3)

HEADERS = ["Serial", "Authorized number", "Start Date", "Start Time ",
           "End Date", "End Time", "Always(V)", "Delete(V)"]


def number_list(path, bad=False):
    wb = openpyxl.Workbook()
    ws = wb.active
    ws.append(HEADERS)
    for s in range(1, 3001):
        ws.append([s, None, None, None, None, None, "no", "no"])
    # slot: number, start date, start time, end date, end time, Always, Delete
    rows = {
        1: (13800138000, datetime.date(2024, 5, 17), datetime.time(8, 30),
            datetime.date(2025, 1, 2), datetime.time(18, 5), "no", "no"),
        2: ("+8613800138000", "2024/05/17", "08:30", "2025-01-02", "18:05", "no", "no"),
        3: (5550100, None, None, None, None, "yes", "no"),
        4: ("0012", datetime.date(2024, 12, 31), datetime.time(0, 0),
            datetime.date(2099, 12, 31), datetime.time(23, 59), "no", "no"),
        5: (123456789012345, None, None, None, None, "yes", "no"),
        6: ("1234567890123456789012", None, None, None, None, "no", "yes"),
    }
    if bad:
        rows[7] = (1234567890123456, None, None, None, None, "yes", "no")
        rows[9] = (2.5, None, None, None, None, "yes", "no")
        rows[11] = (-5, None, None, None, None, "yes", "no")
    for slot, values in rows.items():
        for col, value in enumerate(values, start=2):
            ws.cell(row=slot + 1, column=col, value=value)
    wb.save(path)


def profile(path):
    wb = openpyxl.Workbook()
    ws = wb.active
    ws.append(["Items", "Content", "Description"])
    for r in range(1, 23):
        ws.append(["%d.Setting" % r, "text %d" % r, "description %d" % r])
    ws["B2"] = 5729            # password typed as a number
    ws["B3"] = "0012345678901234567890"
    ws["B4"] = 0               # cbb1 as a bare number
    ws["B5"] = "1:NO"
    ws["B9"] = 1               # cbb4
    ws["B10"] = "0:All number can call to control the Relay"
    ws["B12"] = 2.0            # cbb10, a number with a fraction part of zero
    ws["B13"] = "3:Admin Number;Caller Number"
    ws["B6"] = "门禁报警"
    wb.save(path)


if __name__ == "__main__":
    if len(sys.argv) != 3:
        sys.exit(__doc__)
    what, path = sys.argv[1], sys.argv[2]
    if what == "numbers":
        number_list(path)
    elif what == "badnumbers":
        number_list(path, bad=True)
    elif what == "profile":
        profile(path)
    else:
        sys.exit(__doc__)
