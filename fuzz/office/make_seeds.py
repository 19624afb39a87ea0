#!/usr/bin/python3
"""Writes seed inputs for the workbook fuzzers into two folders.

  make_seeds.py WORKBOOK_SEEDS PARTS_SEEDS

Whole-file seeds: the committed legacy .xls and small .xlsx files, stored
(uncompressed) so that mutations reach the XML. Part seeds: worksheet,
shared strings, styles, workbook and relationships joined by a 0x00 byte,
the layout fuzz_office_parts expects.
"""
import os
import sys
import zipfile

here = os.path.dirname(os.path.abspath(__file__))
whole, parts = sys.argv[1], sys.argv[2]
os.makedirs(whole, exist_ok=True)
os.makedirs(parts, exist_ok=True)

NS = ('xmlns="http://schemas.openxmlformats.org/spreadsheetml/2006/main" '
      'xmlns:r="http://schemas.openxmlformats.org/officeDocument/2006/relationships"')
REL = "http://schemas.openxmlformats.org/officeDocument/2006/relationships/"
workbook = '<workbook %s><workbookPr date1904="0"/><sheets><sheet name="S" sheetId="1" r:id="rId1"/></sheets></workbook>' % NS
rels = ('<Relationships xmlns="http://schemas.openxmlformats.org/package/2006/relationships">'
        '<Relationship Id="rId1" Type="%sworksheet" Target="worksheets/sheet1.xml"/>'
        '<Relationship Id="rId2" Type="%sstyles" Target="styles.xml"/>'
        '<Relationship Id="rId3" Type="%ssharedStrings" Target="sharedStrings.xml"/></Relationships>') % (REL, REL, REL)
styles = ('<styleSheet %s><numFmts><numFmt numFmtId="164" formatCode="yyyy/mm/dd hh:mm"/></numFmts>'
          '<cellXfs><xf numFmtId="0"/><xf numFmtId="14"/><xf numFmtId="20"/><xf numFmtId="164"/><xf numFmtId="49"/></cellXfs></styleSheet>') % NS
sst = ('<sst %s count="3" uniqueCount="3"><si><t>Serial</t></si><si><r><t>rich </t></r><r><t>text</t></r>'
       '<rPh><t>x</t></rPh></si><si><t>a_x000D_b</t></si></sst>') % NS
sheets = [
    '<worksheet %s><dimension ref="A1:H3"/><sheetData><row r="1"><c r="A1" t="s"><v>0</v></c><c r="B1" t="s"><v>1</v></c></row>'
    '<row r="2"><c r="A2" s="1"><v>45429</v></c><c r="B2" s="2"><v>0.5</v></c><c r="C2" s="3"><v>45429.25</v></c>'
    '<c r="D2" t="b"><v>1</v></c><c r="E2" t="inlineStr"><is><t>0012</t></is></c><c r="F2"><v>13800138000</v></c></row>'
    '<row><c t="s"><v>2</v></c><c t="str"><f>A1</f><v>x</v></c><c t="e"><v>#N/A</v></c><c t="d"><v>2024-05-17T08:30:00</v></c></row>'
    '</sheetData></worksheet>' % NS,
    '<worksheet %s><sheetData><row r="3001"><c r="H3001" t="inlineStr"><is><t>no</t></is></c></row></sheetData></worksheet>' % NS,
]
for i, sheet in enumerate(sheets):
    with open(os.path.join(parts, "seed%d" % i), "wb") as f:
        f.write(b"\0".join(x.encode() for x in (sheet, sst, styles, workbook, rels)))
    with zipfile.ZipFile(os.path.join(whole, "seed%d.xlsx" % i), "w", zipfile.ZIP_STORED) as z:
        z.writestr("xl/workbook.xml", workbook)
        z.writestr("xl/_rels/workbook.xml.rels", rels)
        z.writestr("xl/styles.xml", styles)
        z.writestr("xl/sharedStrings.xml", sst)
        z.writestr("xl/worksheets/sheet1.xml", sheet)
legacy = os.path.join(here, "..", "..", "tests", "data", "office", "legacy.xls")
with open(legacy, "rb") as src, open(os.path.join(whole, "legacy.xls"), "wb") as dst:
    dst.write(src.read())
