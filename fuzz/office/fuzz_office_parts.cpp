// Feeds XML to the .xlsx reader's parts. The input is split at the byte
// 0x00 into up to five parts: worksheet, shared strings, styles, workbook,
// relationships; the harness packs them into an archive (stored, so the
// mutations reach the XML as they are) and reads it as a workbook.

#include <cstddef>
#include <cstdint>
#include <QByteArray>
#include <QList>

#include "office/workbook.h"
#include "zip_fixture.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QList<QByteArray> pieces =
        QByteArray::fromRawData(reinterpret_cast<const char*>(data), qsizetype(size)).split('\0');
    static const char* const names[] = {"xl/worksheets/sheet1.xml", "xl/sharedStrings.xml",
                                        "xl/styles.xml", "xl/workbook.xml",
                                        "xl/_rels/workbook.xml.rels"};
    QList<office_test::Part> parts;
    for (int i = 0; i < pieces.size() && i < 5; ++i)
        parts.append({QString::fromLatin1(names[i]), pieces[i]});
    const QByteArray archive = office_test::makeZip(parts, 0);
    if (archive.isEmpty()) return 0;
    office::ReadLimits limits;
    limits.maxInflatedBytes = 8 << 20;
    office::Workbook book;
    if (!book.openBytes(archive, QStringLiteral("fuzz.xlsx"), limits)) {
        if (book.errorText().isEmpty()) __builtin_trap();
        return 0;
    }
    qsizetype total = 0;
    for (int r = 1; r <= 20; ++r)
        for (int c = 1; c <= limits.maxColumns; ++c) total += book.cell(r, c).text.size();
    if (total < 0) __builtin_trap();
    return 0;
}
