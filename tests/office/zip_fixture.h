#pragma once
// Builds zip archives and small .xlsx packages in memory for the office
// tests (through minizip), so hand-made and hostile workbooks need no files
// in the repository.

#include <minizip/zip.h>

#include <algorithm>
#include <cstring>
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

// A growing byte array as a file for minizip's writer.
struct MemoryFile {
    QByteArray bytes;
    qint64 pos = 0;

    static voidpf ZCALLBACK open(voidpf opaque, const void*, int) { return opaque; }
    static uLong ZCALLBACK read(voidpf, voidpf s, void* buf, uLong size) {
        auto* f = static_cast<MemoryFile*>(s);
        const qint64 n = std::min<qint64>(qint64(size), f->bytes.size() - f->pos);
        if (n <= 0) return 0;
        std::memcpy(buf, f->bytes.constData() + f->pos, size_t(n));
        f->pos += n;
        return uLong(n);
    }
    static uLong ZCALLBACK write(voidpf, voidpf s, const void* buf, uLong size) {
        auto* f = static_cast<MemoryFile*>(s);
        if (f->pos + qint64(size) > f->bytes.size()) f->bytes.resize(f->pos + qint64(size));
        std::memcpy(f->bytes.data() + f->pos, buf, size);
        f->pos += qint64(size);
        return size;
    }
    static ZPOS64_T ZCALLBACK tell(voidpf, voidpf s) {
        return ZPOS64_T(static_cast<MemoryFile*>(s)->pos);
    }
    static long ZCALLBACK seek(voidpf, voidpf s, ZPOS64_T offset, int origin) {
        auto* f = static_cast<MemoryFile*>(s);
        const qint64 base = origin == ZLIB_FILEFUNC_SEEK_CUR   ? f->pos
                            : origin == ZLIB_FILEFUNC_SEEK_END ? f->bytes.size()
                                                               : 0;
        f->pos = base + qint64(offset);
        return 0;
    }
    static int ZCALLBACK close(voidpf, voidpf) { return 0; }
    static int ZCALLBACK error(voidpf, voidpf) { return 0; }
};

// A zip archive of `parts`, deflated at `level` (0: stored).
inline QByteArray makeZip(const QList<Part>& parts, int level = 9) {
    MemoryFile file;
    zlib_filefunc64_def io{
        &MemoryFile::open, &MemoryFile::read,  &MemoryFile::write, &MemoryFile::tell,
        &MemoryFile::seek, &MemoryFile::close, &MemoryFile::error, &file};
    zipFile zip = zipOpen2_64("memory", APPEND_STATUS_CREATE, nullptr, &io);
    if (!zip) return {};
    for (const Part& p : parts) {
        const QByteArray name = p.name.toUtf8();
        if (zipOpenNewFileInZip64(zip, name.constData(), nullptr, nullptr, 0, nullptr, 0, nullptr,
                                  level ? Z_DEFLATED : 0, level, 1) != ZIP_OK)
            return {};
        zipWriteInFileInZip(zip, p.head.constData(), unsigned(p.head.size()));
        for (qint64 i = 0; i < p.repeat; ++i)
            zipWriteInFileInZip(zip, p.fill.constData(), unsigned(p.fill.size()));
        zipWriteInFileInZip(zip, p.tail.constData(), unsigned(p.tail.size()));
        zipCloseFileInZip(zip);
    }
    zipClose(zip, nullptr);
    return file.bytes;
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
