// Hostile and broken workbooks: each one gives a clear error text or a
// bounded result; none crashes or takes unbounded memory. The corpus is made
// here at test time; inputs that once crashed the fuzzer live in
// tests/data/office/crashes/ and are replayed as well.

#include <sys/resource.h>

#include <QDir>
#include <QtTest>

#include "office/workbook.h"
#include "zip_fixture.h"

using office::CellKind;
using office::Workbook;
using namespace office_test;

namespace {

QByteArray repeated(const QByteArray& unit, int times) {
    QByteArray out;
    out.reserve(unit.size() * times);
    for (int i = 0; i < times; ++i) out += unit;
    return out;
}

QByteArray cellS(const char* ref, int index) {
    return QByteArray("<c r=\"") + ref + "\" t=\"s\"><v>" + QByteArray::number(index) + "</v></c>";
}

QByteArray withSheet(const QByteArray& sheetPart, const QByteArray& sst = {}) {
    QList<Part> parts{{"xl/workbook.xml", workbookXml()},
                      {"xl/_rels/workbook.xml.rels", relsXml()},
                      {"xl/worksheets/sheet1.xml", sheetPart}};
    if (!sst.isEmpty()) parts.append({"xl/sharedStrings.xml", sst});
    return makeZip(parts);
}

QByteArray fixture(const char* name) {
    QFile f(QStringLiteral(OFFICE_DATA_DIR "/") + QLatin1String(name));
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// The legacy fixture with its DIMENSION record (type 0x0200) claiming
// `rows` rows and `columns` columns.
QByteArray legacyClaiming(quint32 rows, quint16 columns) {
    QByteArray bytes = fixture("legacy.xls");
    const qsizetype at = bytes.indexOf(QByteArray("\x00\x02\x0e\x00", 4));
    if (at < 0) return {};
    for (int i = 0; i < 4; ++i) bytes[at + 8 + i] = char(rows >> (8 * i));
    for (int i = 0; i < 2; ++i) bytes[at + 14 + i] = char(columns >> (8 * i));
    return bytes;
}

const QByteArray kLaughs =
    "<?xml version=\"1.0\"?><!DOCTYPE lolz [<!ENTITY lol \"lol\">"
    "<!ENTITY lol2 \"&lol;&lol;&lol;&lol;&lol;&lol;&lol;&lol;&lol;&lol;\">"
    "<!ENTITY lol3 \"&lol2;&lol2;&lol2;&lol2;&lol2;&lol2;&lol2;&lol2;&lol2;&lol2;\">"
    "<!ENTITY lol4 \"&lol3;&lol3;&lol3;&lol3;&lol3;&lol3;&lol3;&lol3;&lol3;&lol3;\">"
    "<!ENTITY lol5 \"&lol4;&lol4;&lol4;&lol4;&lol4;&lol4;&lol4;&lol4;&lol4;&lol4;\">"
    "<!ENTITY lol6 \"&lol5;&lol5;&lol5;&lol5;&lol5;&lol5;&lol5;&lol5;&lol5;&lol5;\">"
    "<!ENTITY lol7 \"&lol6;&lol6;&lol6;&lol6;&lol6;&lol6;&lol6;&lol6;&lol6;&lol6;\">"
    "<!ENTITY lol8 \"&lol7;&lol7;&lol7;&lol7;&lol7;&lol7;&lol7;&lol7;&lol7;&lol7;\">"
    "<!ENTITY lol9 \"&lol8;&lol8;&lol8;&lol8;&lol8;&lol8;&lol8;&lol8;&lol8;&lol8;\">]>";

}  // namespace

class TestOfficeHostile : public QObject {
    Q_OBJECT
private slots:
    void refused_withClearReason_data();
    void refused_withClearReason();
    void bounded_readsOnlyWhatIsThere_data();
    void bounded_readsOnlyWhatIsThere();
    void inflateBudget_stopsEarly();
    void crashInputs_replayCleanly_data();
    void crashInputs_replayCleanly();
    void memory_stayedBounded();
};

void TestOfficeHostile::refused_withClearReason_data() {
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("reason");
    const QByteArray good =
        xlsx("<row r=\"1\"><c r=\"A1\" t=\"inlineStr\"><is><t>Serial</t></is></c></row>");

    QTest::newRow("empty file") << QByteArray() << "the file is empty";
    QTest::newRow("plain text") << QByteArray("Serial,Authorized number\r\n")
                                << "neither an .xlsx nor an .xls";
    QTest::newRow("binary garbage")
        << QByteArray("\x00\x01\x02\xff\xfe garbage", 13) << "neither an .xlsx nor an .xls";
    QTest::newRow("zip magic then garbage")
        << QByteArray("PK\x03\x04 not really a zip archive") << "not a complete zip archive";
    QTest::newRow("truncated zip") << good.left(good.size() / 2) << "not a complete zip archive";
    QTest::newRow("zip without workbook parts")
        << makeZip({{"readme.txt", "hello"}}) << "has no worksheet";
    QTest::newRow("missing sheet")
        << makeZip({{"xl/workbook.xml", workbookXml()},
                    {"xl/_rels/workbook.xml.rels", relsXml("worksheets/gone.xml")}})
        << "xl/worksheets/gone.xml is missing";
    QTest::newRow("billion laughs")
        << withSheet(kLaughs +
                     "<worksheet><sheetData><row><c "
                     "t=\"inlineStr\"><is><t>&lol9;</t></is></c></row></sheetData></worksheet>")
        << "document type declaration";
    QTest::newRow("external entity")
        << withSheet(
               "<?xml version=\"1.0\"?><!DOCTYPE w [<!ENTITY x SYSTEM "
               "\"file:///etc/passwd\">]><worksheet><sheetData><row><c "
               "t=\"inlineStr\"><is><t>&x;</t></is></c></row></sheetData></worksheet>")
        << "document type declaration";
    QTest::newRow("entity in shared strings")
        << withSheet(sheetXml("<row>" + cellS("A1", 0) + "</row>"),
                     kLaughs + "<sst><si><t>&lol9;</t></si></sst>")
        << "document type declaration";
    QTest::newRow("undeclared entity")
        << withSheet(sheetXml("<row><c t=\"inlineStr\"><is><t>&nope;</t></is></c></row>"))
        << "not valid XML";
    QTest::newRow("shared string index out of range")
        << xlsx("<row>" + cellS("A1", 0) + cellS("B1", 7) + "</row>",
                sstXml("<si><t>only</t></si>"))
        << "cell B1 refers to a shared string that does not exist (index 7)";
    QTest::newRow("negative shared string index")
        << xlsx("<row>" + cellS("A1", -1) + "</row>", sstXml("<si><t>x</t></si>"))
        << "cell A1 refers to a shared string that does not exist";
    QTest::newRow("shared string index not a number")
        << xlsx("<row><c r=\"A1\" t=\"s\"><v>zero</v></c></row>", sstXml("<si><t>x</t></si>"))
        << "shared string that does not exist";
    QTest::newRow("huge shared string index")
        << xlsx("<row>" + cellS("A1", 2147483647) + "</row>",
                sstXml("<si><t>x</t></si>", "count=\"2147483647\""))
        << "does not exist (index 2147483647)";
    QTest::newRow("shared strings part missing")
        << xlsx("<row>" + cellS("A1", 0) + "</row>") << "shared string that does not exist";
    QTest::newRow("deep nesting") << withSheet(sheetXml("<row><c t=\"inlineStr\"><is>" +
                                                        repeated("<r>", 100000) +
                                                        "</is></c></row>"))
                                  << "nested too deeply";
    QTest::newRow("binary garbage in xml")
        << withSheet(sheetXml(QByteArray("<row><c><v>\x01\x02\xff\xfe\x00</v></c></row>", 30)))
        << "not valid XML";
    QTest::newRow("encoding no parser knows")
        << withSheet(
               "<?xml version=\"1.0\" encoding=\"GB2312\"?><worksheet><sheetData/></worksheet>")
        << "not valid XML (line 1: unknown encoding)";
    QTest::newRow("cut-off xml") << withSheet(
                                        sheetXml("<row><c t=\"inlineStr\"><is><t>Ser").left(200))
                                 << "not valid XML";
    QTest::newRow("huge single cell")
        << withSheet(sheetXml("<row><c t=\"inlineStr\"><is><t>" + QByteArray(40000, 'x') +
                              "</t></is></c></row>"))
        << "cell A1 holds more than 32767 characters";
    QTest::newRow("huge shared string in use")
        << xlsx("<row>" + cellS("A1", 1) + "</row>",
                sstXml("<si><t>a</t></si><si><t>" + QByteArray(40000, 'y') + "</t></si>"))
        << "shared string 1 holds more than 32767 characters";
    QTest::newRow("row number zero")
        << xlsx("<row r=\"0\"><c><v>1</v></c></row>") << "row number \"0\" is not valid";
    QTest::newRow("row number past the sheet")
        << xlsx("<row r=\"99999999\"><c><v>1</v></c></row>") << "is not valid";
    QTest::newRow("bad cell reference") << xlsx("<row r=\"1\"><c r=\"ZZZZ1\"><v>1</v></c></row>")
                                        << "cell reference \"ZZZZ1\" is not valid";
    QTest::newRow("reference column past the sheet")
        << xlsx("<row r=\"1\"><c r=\"XFE1\"><v>1</v></c></row>") << "is not valid";
    QTest::newRow("malformed number") << xlsx("<row r=\"1\"><c r=\"A1\"><v>12abc</v></c></row>")
                                      << "cell A1 holds \"12abc\" where a number belongs";
    QTest::newRow("infinite number")
        << xlsx("<row r=\"1\"><c r=\"A1\"><v>inf</v></c></row>") << "where a number belongs";
    QTest::newRow("malformed boolean")
        << xlsx("<row r=\"1\"><c r=\"A1\" t=\"b\"><v>maybe</v></c></row>") << "true/false";
    QTest::newRow("dtd in styles") << makeZip({{"xl/workbook.xml", workbookXml()},
                                               {"xl/_rels/workbook.xml.rels", relsXml()},
                                               {"xl/styles.xml", kLaughs + "<styleSheet/>"},
                                               {"xl/worksheets/sheet1.xml", sheetXml("")}})
                                   << "xl/styles.xml contains a document type declaration";
    QTest::newRow("legacy magic then garbage")
        << QByteArray("\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1", 8) + repeated("garbage!", 100)
        << "cannot be read as a workbook: ";
    QTest::newRow("legacy dimension past the format")
        << legacyClaiming(0x7fffffff, 0xffff) << "cannot be read as a workbook: ";
    QTest::newRow("legacy header only")
        << QByteArray("\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1", 8) + QByteArray(504, '\0')
        << "cannot be read as a workbook: ";
    {
        // A single part packed about a thousand to one.
        const QByteArray bomb =
            makeZip({{"xl/workbook.xml", workbookXml()},
                     {"xl/_rels/workbook.xml.rels", relsXml()},
                     {"xl/worksheets/sheet1.xml", "<worksheet " + kMainNs + "><sheetData>",
                      QByteArray(1 << 20, ' '), 100, "</sheetData></worksheet>"}});
        QTest::newRow("zip bomb") << bomb << "zip bomb";
    }
    {
        // Damaged compressed data: flip bytes in the middle of the archive.
        QByteArray broken =
            xlsx("<row r=\"1\">" +
                 repeated("<c t=\"inlineStr\"><is><t>Serial number</t></is></c>", 400) + "</row>");
        for (int i = broken.size() / 3; i < broken.size() / 3 + 40; ++i)
            broken[i] = char(broken[i] ^ 0x5A);
        QTest::newRow("damaged compressed data") << broken << "cannot be read as a workbook: ";
    }
}

void TestOfficeHostile::refused_withClearReason() {
    QFETCH(QByteArray, bytes);
    QFETCH(QString, reason);
    QVERIFY(!bytes.isEmpty() || reason == "the file is empty");
    Workbook book;
    QVERIFY2(!book.openBytes(bytes, "hostile.xlsx"), "a hostile workbook was accepted");
    QVERIFY2(book.errorText().startsWith("\"hostile.xlsx\" cannot be read as a workbook: "),
             qPrintable(book.errorText()));
    QVERIFY2(book.errorText().contains(reason), qPrintable(book.errorText()));
    QVERIFY(book.errorText().endsWith('.'));
    QCOMPARE(book.value(1, 1), QString());
}

void TestOfficeHostile::bounded_readsOnlyWhatIsThere_data() {
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QStringList>("expected");  // "A1=text" entries; others must be empty
    QTest::newRow("huge dimension claim")
        << withSheet(
               sheetXml("<row r=\"1\"><c r=\"A1\" t=\"inlineStr\"><is><t>Serial</t></is></c></row>",
                        "<dimension ref=\"A1:XFD1048576\"/>"))
        << QStringList{"A1=Serial"};
    QTest::newRow("rows and cells without r")
        << xlsx(
               "<row><c t=\"inlineStr\"><is><t>a</t></is></c><c><v>2</v></c></row>"
               "<row><c/><c t=\"inlineStr\"><is><t>b</t></is></c></row>"
               "<row r=\"5\"><c "
               "r=\"C5\"><v>3</v></c><c><v>4</v></c></row><row><c><v>5</v></c></row>")
        << QStringList{"A1=a", "B1=2", "B2=b", "C5=3", "D5=4", "A6=5"};
    QTest::newRow("lying counts") << xlsx("<row r=\"1\">" + cellS("A1", 1) + cellS("B1", 0) +
                                              "</row>",
                                          sstXml("<si><t>zero</t></si><si><t>one</t></si>",
                                                 "count=\"999999999\" uniqueCount=\"-4\""))
                                  << QStringList{"A1=one", "B1=zero"};
    QTest::newRow("cells beyond the limits are dropped")
        << xlsx(
               "<row r=\"1\"><c r=\"A1\"><v>1</v></c><c r=\"K1\"><v>2</v></c></row>"
               "<row r=\"3002\"><c r=\"A3002\"><v>3</v></c></row>")
        << QStringList{"A1=1"};
    QTest::newRow("unused huge shared string is skipped")
        << xlsx("<row r=\"1\">" + cellS("A1", 0) + "</row>",
                sstXml("<si><t>first</t></si><si><t>" + QByteArray(100000, 'z') + "</t></si>"))
        << QStringList{"A1=first"};
    QTest::newRow("missing workbook part falls back to sheet1")
        << makeZip({{"xl/worksheets/sheet1.xml",
                     sheetXml("<row r=\"2\"><c r=\"B2\"><v>7</v></c></row>")}})
        << QStringList{"B2=7"};
    QTest::newRow("relationship leaving the archive is ignored")
        << makeZip({{"xl/workbook.xml", workbookXml()},
                    {"xl/_rels/workbook.xml.rels", relsXml("../../../etc/passwd")},
                    {"xl/worksheets/sheet1.xml",
                     sheetXml("<row r=\"1\"><c r=\"A1\"><v>1</v></c></row>")}})
        << QStringList{"A1=1"};
    QTest::newRow("later duplicate cell wins")
        << xlsx("<row r=\"1\">" + cellS("A1", 0) +
                    "<c r=\"A1\" t=\"inlineStr\"><is><t>second</t></is></c></row>",
                sstXml("<si><t>first</t></si>"))
        << QStringList{"A1=second"};
    QTest::newRow("style index out of range is general")
        << xlsx(
               "<row r=\"1\"><c r=\"A1\" s=\"99\"><v>45429</v></c><c r=\"B1\" s=\"-1\"><v>1</v></c>"
               "<c r=\"C1\" s=\"1\"><v>45429</v></c><c r=\"D1\" s=\"2\"><v>0.5</v></c>"
               "<c r=\"E1\" s=\"3\"><v>45429.5</v></c><c r=\"F1\" s=\"4\"><v>1.5</v></c></row>")
        << QStringList{"A1=45429", "B1=1", "C1=2024/05/17", "D1=12:00", "E1=2024/05/17 12:00",
                       "F1=1.5"};
    QTest::newRow("1904 dates and escapes")
        << xlsx(
               "<row r=\"1\"><c r=\"A1\" s=\"1\"><v>43967</v></c><c r=\"B1\" t=\"inlineStr\"><is>"
               "<t>a_x000D_b_x005F_x0041_</t></is></c><c r=\"C1\" "
               "t=\"d\"><v>2024-05-17T08:30:00</v></c>"
               "<c r=\"D1\" t=\"e\"><v>#N/A</v></c><c r=\"E1\" "
               "t=\"str\"><f>A1</f><v>calc</v></c></row>",
               {}, true)
        << QStringList{"A1=2024/05/17", "B1=a\rb_x0041_", "C1=2024/05/17 08:30", "D1=#N/A",
                       "E1=calc"};
    {
        // Three sheets; the workbook marks the second (activeTab 1) active,
        // or a chart sheet, or nothing.
        auto book = [](const QByteArray& view) {
            const QByteArray rel =
                "http://schemas.openxmlformats.org/officeDocument/2006/relationships/";
            return makeZip(
                {{"xl/workbook.xml",
                  "<workbook " + kMainNs + "><bookViews>" + view +
                      "</bookViews><sheets><sheet name=\"A\" sheetId=\"1\" r:id=\"rId1\"/>"
                      "<sheet name=\"B\" sheetId=\"2\" r:id=\"rId2\"/>"
                      "<sheet name=\"C\" sheetId=\"3\" r:id=\"rId3\"/></sheets></workbook>"},
                 {"xl/_rels/workbook.xml.rels",
                  "<Relationships><Relationship Id=\"rId1\" Type=\"" + rel +
                      "worksheet\" Target=\"worksheets/sheet1.xml\"/><Relationship Id=\"rId2\" "
                      "Type=\"" +
                      rel +
                      "worksheet\" Target=\"worksheets/sheet2.xml\"/><Relationship Id=\"rId3\" "
                      "Type=\"" +
                      rel + "chartsheet\" Target=\"chartsheets/sheet1.xml\"/></Relationships>"},
                 {"xl/worksheets/sheet1.xml",
                  sheetXml("<row r=\"1\"><c r=\"A1\"><v>1</v></c></row>")},
                 {"xl/worksheets/sheet2.xml",
                  sheetXml("<row r=\"1\"><c r=\"A1\"><v>2</v></c></row>")},
                 {"xl/chartsheets/sheet1.xml", "<chartsheet/>"}});
        };
        QTest::newRow("active sheet")
            << book("<workbookView activeTab=\"1\"/>") << QStringList{"A1=2"};
        QTest::newRow("no active sheet marked") << book("<workbookView/>") << QStringList{"A1=1"};
        QTest::newRow("active chart sheet")
            << book("<workbookView activeTab=\"2\"/>") << QStringList{"A1=1"};
        QTest::newRow("active tab past the sheets")
            << book("<workbookView activeTab=\"99\"/>") << QStringList{"A1=1"};
    }
    QTest::newRow("worksheet in UTF-16") << withSheet(QByteArray("\xff\xfe", 2) + [] {
        const QString xml =
            QString::fromUtf8(sheetXml("<row r=\"1\"><c r=\"A1\" t=\"inlineStr\"><is><t>门禁</t>"
                                       "</is></c></row>"))
                .replace("UTF-8", "UTF-16");
        return QByteArray(reinterpret_cast<const char*>(xml.utf16()), xml.size() * 2);
    }()) << QStringList{QString::fromUtf8("A1=门禁")};
    QTest::newRow("date-time at midnight")
        << xlsx(
               "<row r=\"1\"><c r=\"A1\" s=\"3\"><v>45659</v></c>"
               "<c r=\"B1\" s=\"3\" t=\"d\"><v>2025-01-02T00:00:00</v></c>"
               "<c r=\"C1\" s=\"3\"><v>45659.5</v></c><c r=\"D1\" s=\"2\"><v>45659</v></c></row>")
        << QStringList{"A1=2025/01/02", "B1=2025/01/02", "C1=2025/01/02 12:00", "D1=00:00"};
    QTest::newRow("escaped control characters")
        << xlsx(
               "<row r=\"1\"><c r=\"A1\" t=\"inlineStr\"><is><t>_x0000_cmnet</t></is></c>"
               "<c r=\"B1\" t=\"s\"><v>0</v></c></row>",
               sstXml("<si><t>p_x0000_w_x005F_x0041_</t></si>"))
        << QStringList{QString("A1=") + QChar(0) + "cmnet",
                       QString("B1=p") + QChar(0) + "w_x0041_"};
    QTest::newRow("largest legacy sheet")
        << fixture("max-dimension.xls") << QStringList{"A1=Serial"};
    QTest::newRow("many rows outside the limit")
        << xlsx(repeated("<row><c><v>1</v></c><c><v>2</v></c></row>", 100000)) << [] {
               QStringList all;
               for (int r = 1; r <= 3001; ++r)
                   all << QStringLiteral("A%1=1").arg(r) << QStringLiteral("B%1=2").arg(r);
               return all;
           }();
}

void TestOfficeHostile::bounded_readsOnlyWhatIsThere() {
    QFETCH(QByteArray, bytes);
    QFETCH(QStringList, expected);
    Workbook book;
    QVERIFY2(book.openBytes(bytes, "odd.xlsx"), qPrintable(book.errorText()));
    QHash<QString, QString> want;
    for (const QString& e : expected) want.insert(e.section('=', 0, 0), e.section('=', 1));
    for (int r = 1; r <= 3002; ++r)
        for (int c = 1; c <= 11; ++c) {
            const QString ref = QString(QChar(u'A' + c - 1)) + QString::number(r);
            if (book.value(r, c) != want.value(ref))
                QFAIL(qPrintable(QStringLiteral("%1: '%2' instead of '%3'")
                                     .arg(ref, book.value(r, c), want.value(ref))));
        }
}

void TestOfficeHostile::inflateBudget_stopsEarly() {
    // Parts that compress only moderately pass the ratio check; the budget
    // for the whole archive stops them (the text lies outside the kept
    // columns, so no cell limit stops it first).
    QByteArray noisy;
    for (int i = 0; i < 200000; ++i) noisy += QByteArray::number(quint32(i) * 2654435761u, 36);
    const QByteArray bytes =
        makeZip({{"xl/worksheets/sheet1.xml",
                  "<worksheet><sheetData><row><c r=\"Z1\" t=\"inlineStr\"><is><t>", noisy, 2,
                  "</t></is></c></row></sheetData></worksheet>"}});
    office::ReadLimits limits;
    limits.maxInflatedBytes = 1 << 20;
    Workbook book;
    QVERIFY(!book.openBytes(bytes, "big.xlsx", limits));
    QVERIFY2(book.errorText().contains("unpacks to more than 1 MiB"), qPrintable(book.errorText()));
    limits.maxFileBytes = 1024;
    QVERIFY(!book.openBytes(bytes, "big.xlsx", limits));
    QVERIFY2(book.errorText().contains("larger than"), qPrintable(book.errorText()));
}

void TestOfficeHostile::crashInputs_replayCleanly_data() {
    QTest::addColumn<QString>("file");
    const QDir dir(OFFICE_DATA_DIR "/crashes");
    const auto files = dir.entryInfoList(QDir::Files);
    if (files.isEmpty()) QTest::newRow("none") << QString();
    for (const QFileInfo& f : files) QTest::newRow(qPrintable(f.fileName())) << f.filePath();
}

void TestOfficeHostile::crashInputs_replayCleanly() {
    QFETCH(QString, file);
    if (file.isEmpty()) QSKIP("no recorded crash inputs");
    Workbook book;
    if (!book.open(file))
        QVERIFY2(book.errorText().contains("cannot be read as a workbook: "),
                 qPrintable(book.errorText()));
}

void TestOfficeHostile::memory_stayedBounded() {
    // Runs last: the peak of the whole corpus, zip bomb and entity bombs
    // included, stays far below what they would take if expanded.
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    const long peakMiB = usage.ru_maxrss / 1024;
    qInfo("peak resident memory: %ld MiB", peakMiB);
#if defined(__SANITIZE_ADDRESS__)
    const long limitMiB = 1536;  // AddressSanitizer's shadow memory and quarantine count too
#else
    const long limitMiB = 512;
#endif
    QVERIFY2(peakMiB < limitMiB, qPrintable(QString::number(peakMiB)));
}

QTEST_GUILESS_MAIN(TestOfficeHostile)
#include "test_office_hostile.moc"
