#pragma once
// Builds zip archives and small .xlsx packages in memory for the office
// tests (through QuaZip), so hand-made and hostile workbooks need no files
// in the repository.

#include <quazip/quazip.h>
#include <quazip/quazipfile.h>
#include <quazip/quazipnewinfo.h>
#include <zlib.h>

#include <QBuffer>
#include <QByteArray>
#include <QList>
#include <QString>

namespace office_test {

struct Part {
    QString name;
    QByteArray head;       // written first
    QByteArray fill = {};  // then written `repeat` times (large parts without large buffers)
    qint64 repeat = 0;
    QByteArray tail = {};
};

inline QByteArray makeZip(const QList<Part>& parts) {
    QBuffer buffer;
    buffer.open(QIODevice::ReadWrite);
    QuaZip zip(&buffer);
    zip.setAutoClose(false);
    if (!zip.open(QuaZip::mdCreate)) return {};
    for (const Part& p : parts) {
        QuaZipFile file(&zip);
        if (!file.open(QIODevice::WriteOnly, QuaZipNewInfo(p.name), nullptr, 0, Z_DEFLATED, 9))
            return {};
        file.write(p.head);
        for (qint64 i = 0; i < p.repeat; ++i) file.write(p.fill);
        file.write(p.tail);
        file.close();
    }
    zip.close();
    return buffer.data();
}

inline const QByteArray kMainNs =
    "xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\" "
    "xmlns:r=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships\"";

inline QByteArray workbookXml(bool date1904 = false) {
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?><workbook " + kMainNs + ">" +
           (date1904 ? QByteArray("<workbookPr date1904=\"1\"/>") : QByteArray()) +
           "<sheets><sheet name=\"S\" sheetId=\"1\" r:id=\"rId1\"/></sheets></workbook>";
}

inline QByteArray relsXml(const QByteArray& sheetTarget = "worksheets/sheet1.xml") {
    const QByteArray base = "http://schemas.openxmlformats.org/officeDocument/2006/relationships/";
    return "<Relationships xmlns=\"http://schemas.openxmlformats.org/package/2006/relationships\">"
           "<Relationship Id=\"rId1\" Type=\"" +
           base + "worksheet\" Target=\"" + sheetTarget +
           "\"/>"
           "<Relationship Id=\"rId2\" Type=\"" +
           base +
           "styles\" Target=\"styles.xml\"/>"
           "<Relationship Id=\"rId3\" Type=\"" +
           base +
           "sharedStrings\" Target=\"sharedStrings.xml\"/>"
           "</Relationships>";
}

inline QByteArray sheetXml(const QByteArray& rows, const QByteArray& before = {}) {
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?><worksheet " + kMainNs + ">" + before +
           "<sheetData>" + rows + "</sheetData></worksheet>";
}

inline QByteArray sstXml(const QByteArray& items, const QByteArray& counts = {}) {
    return "<sst " + kMainNs + " " + counts + ">" + items + "</sst>";
}

// Styles with cell formats 0 General, 1 a date (built-in 14), 2 a time
// (built-in 20), 3 a custom date-time, 4 a custom number format, 5 text.
inline QByteArray stylesXml() {
    return "<styleSheet " + kMainNs +
           "><numFmts count=\"2\">"
           "<numFmt numFmtId=\"164\" formatCode=\"yyyy/mm/dd hh:mm\"/>"
           "<numFmt numFmtId=\"165\" formatCode=\"0.000\"/></numFmts>"
           "<cellStyleXfs count=\"1\"><xf numFmtId=\"14\"/></cellStyleXfs>"
           "<cellXfs count=\"6\"><xf numFmtId=\"0\"/><xf numFmtId=\"14\"/><xf numFmtId=\"20\"/>"
           "<xf numFmtId=\"164\"/><xf numFmtId=\"165\"/><xf "
           "numFmtId=\"49\"/></cellXfs></styleSheet>";
}

// A small .xlsx around `rows` (the inside of <sheetData>).
inline QByteArray xlsx(const QByteArray& rows, const QByteArray& sharedStrings = {},
                       bool date1904 = false) {
    QList<Part> parts{{"xl/workbook.xml", workbookXml(date1904)},
                      {"xl/_rels/workbook.xml.rels", relsXml()},
                      {"xl/styles.xml", stylesXml()},
                      {"xl/worksheets/sheet1.xml", sheetXml(rows)}};
    if (!sharedStrings.isEmpty()) parts.append({"xl/sharedStrings.xml", sharedStrings});
    return makeZip(parts);
}

}  // namespace office_test
