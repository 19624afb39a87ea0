#!/usr/bin/python3
"""Cross-checks workbooks against openpyxl for the office tests.

  openpyxl_probe.py read FILE    prints every non-empty cell of the first sheet
                                 (its value, and for a text the value with
                                 openpyxl's own _xHHHH_ unescaping applied)
                                 and the column widths as JSON
  openpyxl_probe.py write FILE   writes the 1900-system fixture (see below)
  openpyxl_probe.py write1904 FILE   the same dates in the 1904 date system

Exit code 3 means openpyxl is not installed (the test then skips).
"""
import datetime
import json
import sys
import zipfile

try:
    import openpyxl
    from openpyxl.utils.datetime import CALENDAR_MAC_1904
    from openpyxl.utils.escape import unescape
except ImportError:
    sys.exit(3)


def read(path):
    wb = openpyxl.load_workbook(path)
    ws = wb.worksheets[0]
    cells = {}
    for row in ws.iter_rows():
        for c in row:
            if c.value is None and c.number_format == "General":
                continue
            cells[c.coordinate] = {
                "value": c.value if c.value is None or isinstance(c.value, str) else repr(c.value),
                "unescaped": unescape(c.value) if isinstance(c.value, str) else None,
                "type": c.data_type,
                "format": c.number_format,
            }
    widths = {k: v.width for k, v in ws.column_dimensions.items() if v.customWidth}
    json.dump({"cells": cells, "widths": widths}, sys.stdout, ensure_ascii=False)


def write(path, epoch=None):
    wb = openpyxl.Workbook()
    if epoch is not None:
        wb.epoch = epoch
    ws = wb.active
    ws["A1"] = "Serial"
    ws["A2"] = 12345
    ws["A3"] = 13800138000
    ws["A4"] = 0.1
    ws["A5"] = -5
    ws["A6"] = 12345678901234567
    ws["A7"] = 2.5
    ws["B2"] = datetime.date(2024, 5, 17)
    ws["B3"] = datetime.time(8, 30)
    ws["B4"] = datetime.datetime(2024, 5, 17, 8, 30, 59)
    ws["B5"] = True
    ws["B6"] = False
    ws["B7"] = "门禁 控制器"
    ws["B8"] = 3.14159
    ws["B8"].number_format = "0.00"
    ws["B9"] = datetime.date(2024, 12, 7)
    ws["B9"].number_format = 'yyyy"年"m"月"d"日"'
    ws["B10"] = 45000
    ws["B10"].number_format = "mm-dd-yy"
    ws["B11"] = "0012"
    ws["B12"] = datetime.datetime(2025, 1, 2, 0, 0)
    ws["B12"].number_format = "yyyy/mm/dd hh:mm"
    ws["C1"] = "=1+1"  # openpyxl stores a formula without a computed value
    wb.save(path)

    # openpyxl writes its strings inline; add a shared-string part with a
    # plain entry and a rich-text entry (with a phonetic run that is not
    # part of the value) the way Excel stores them, and cells using them.
    with zipfile.ZipFile(path) as z:
        parts = {n: z.read(n) for n in z.namelist()}
    ns = "http://schemas.openxmlformats.org/spreadsheetml/2006/main"
    parts["xl/sharedStrings.xml"] = (
        '<sst xmlns="%s" count="2" uniqueCount="2"><si><t>shared 0012</t></si>'
        '<si><r><rPr><b/></rPr><t xml:space="preserve">rich </t></r><r><t>text</t></r>'
        '<rPh sb="0" eb="1"><t>ruby</t></rPh></si></sst>' % ns).encode()
    rels = parts["xl/_rels/workbook.xml.rels"].decode()
    parts["xl/_rels/workbook.xml.rels"] = rels.replace(
        "</Relationships>",
        '<Relationship Type="http://schemas.openxmlformats.org/officeDocument/2006/'
        'relationships/sharedStrings" Target="sharedStrings.xml" Id="rId99"/>'
        "</Relationships>").encode()
    types = parts["[Content_Types].xml"].decode()
    parts["[Content_Types].xml"] = types.replace(
        "</Types>",
        '<Override PartName="/xl/sharedStrings.xml" ContentType="application/'
        'vnd.openxmlformats-officedocument.spreadsheetml.sharedStrings+xml"/></Types>').encode()
    sheet = parts["xl/worksheets/sheet1.xml"].decode()
    parts["xl/worksheets/sheet1.xml"] = sheet.replace(
        "</sheetData>",
        '<row r="20"><c r="A20" t="s"><v>0</v></c><c r="B20" t="s"><v>1</v></c></row>'
        "</sheetData>").encode()
    with zipfile.ZipFile(path, "w", zipfile.ZIP_DEFLATED) as z:
        for name, data in parts.items():
            z.writestr(name, data)

if __name__ == "__main__":
    if len(sys.argv) != 3:
        sys.exit(__doc__)
    if sys.argv[1] == "read":
        read(sys.argv[2])
    elif sys.argv[1] == "write":
        write(sys.argv[2])
    elif sys.argv[1] == "write1904":
        write(sys.argv[2], CALENDAR_MAC_1904)
    else:
        sys.exit(__doc__)
