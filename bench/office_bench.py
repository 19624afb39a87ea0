#!/usr/bin/python3
"""openpyxl doing the office benchmark's work, for comparison.

  office_bench.py ROUNDS FOLDER

Each round exports a 3001 x 8 text sheet in the number-list shape (every
cell a text with number format "@", widths A 4, B 20, C-F 16) and imports
it again reading every cell. Prints "export_ms import_ms export_cpu_ms
import_cpu_ms" of the best round (wall-clock and processor time).
Exit code 3: openpyxl is not installed.
"""
import os
import sys
import time

try:
    import openpyxl
except ImportError:
    sys.exit(3)

HEAD = ["Serial", "Authorized number", "Start Date", "Start Time ", "End Date", "End Time",
        "Always(V)", "Delete(V)"]


def text(r, c):
    if r == 1:
        return HEAD[c - 1]
    return [str(r - 1), "+86%d" % (13800000000 + r), "2024/05/17", "08:30", "2025/01/02",
            "18:05", "no", "yes" if r % 2 else "no"][c - 1]


def main():
    rounds, folder = int(sys.argv[1]), sys.argv[2]
    path = os.path.join(folder, "openpyxl_bench.xlsx")
    best_export = best_import = best_export_cpu = best_import_cpu = float("inf")
    for _ in range(rounds):
        t0, c0 = time.perf_counter(), time.process_time()
        wb = openpyxl.Workbook()
        ws = wb.active
        for col, width in zip("ABCDEF", (4, 20, 16, 16, 16, 16)):
            ws.column_dimensions[col].width = width
        for r in range(1, 3002):
            for c in range(1, 9):
                cell = ws.cell(row=r, column=c, value=text(r, c))
                cell.number_format = "@"
        wb.save(path)
        t1, c1 = time.perf_counter(), time.process_time()
        wb = openpyxl.load_workbook(path)
        ws = wb.worksheets[0]
        total = 0
        for row in ws.iter_rows(min_row=1, max_row=3001, max_col=8):
            for cell in row:
                total += len(str(cell.value))
        t2, c2 = time.perf_counter(), time.process_time()
        assert total > 0
        best_export = min(best_export, (t1 - t0) * 1000)
        best_import = min(best_import, (t2 - t1) * 1000)
        best_export_cpu = min(best_export_cpu, (c1 - c0) * 1000)
        best_import_cpu = min(best_import_cpu, (c2 - c1) * 1000)
    print("%.1f %.1f %.1f %.1f" % (best_export, best_import, best_export_cpu, best_import_cpu))


main()
