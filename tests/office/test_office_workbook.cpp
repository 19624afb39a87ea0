// Workbook: write/read round trips, saving, export names, the telephone
// number rule, and the value-to-text rules both readers share.

#include <cmath>
#include <QDir>
#include <QTemporaryDir>
#include <QtTest>

#include "office/cell_text.h"
#include "office/workbook.h"

using office::CellKind;
using office::CellValue;
using office::Workbook;
namespace detail = office::detail;

class TestOfficeWorkbook : public QObject {
    Q_OBJECT
private:
    QTemporaryDir dir_;
    QString path(const QString& name) const { return dir_.filePath(name); }

private slots:
    void roundTrip_textStaysExactly_data();
    void roundTrip_textStaysExactly();
    void roundTrip_numberListShape_allCellsBack();
    void roundTrip_emptyCellsStayEmpty();
    void open_chosenByContentNotName();

    void save_failure_reportsAndKeepsOldFile_data();
    void save_failure_reportsAndKeepsOldFile();
    void save_overExistingFile_replacesIt();
    void write_outsideSheet_refused_data();
    void write_outsideSheet_refused();

    void exportFileName_data();
    void exportFileName();
    void phoneNumberRule_data();
    void phoneNumberRule();

    void numberText_data();
    void numberText();
    void serialText_data();
    void serialText();
    void formatParts_data();
    void formatParts();
    void escapes_data();
    void escapes();
};

void TestOfficeWorkbook::roundTrip_textStaysExactly_data() {
    QTest::addColumn<QString>("text");
    QTest::newRow("leading zeros") << "0012";
    QTest::newRow("plus sign") << "+8613800138000";
    QTest::newRow("formula-like") << "=1+1";
    QTest::newRow("at sign") << "@x";
    QTest::newRow("minus number") << "-5";
    QTest::newRow("plus formula-like") << "+A1*2";
    QTest::newRow("date text") << "2024/05/17";
    QTest::newRow("time text") << "08:30";
    QTest::newRow("exponent-like") << "1e5";
    QTest::newRow("boolean-like") << "TRUE";
    QTest::newRow("16 digits") << "1234567890123456789";
    QTest::newRow("outer blanks") << "  spaced  ";
    QTest::newRow("line feed") << "line\nbreak";
    QTest::newRow("carriage return") << "cr\rlf";
    QTest::newRow("control character") << QString("a") + QChar(1) + "b";
    QTest::newRow("literal escape") << "_x0041_ stays";
    QTest::newRow("literal escaped underscore") << "_x005F_";
    QTest::newRow("xml specials") << "<a & \"b\" 'c'>";
    QTest::newRow("chinese (GBK)") << QString::fromUtf8("门禁控制器 报警");
    QTest::newRow("outside the BMP") << QString::fromUtf8("door \xF0\x9F\x9A\xAA");
    QTest::newRow("longest cell") << QString(Workbook::kMaxTextChars, QChar(u'7'));
    QTest::newRow("U+0000 first") << QString(QChar(0)) + "cmnet";
    QTest::newRow("U+0000 inside") << QString("p") + QChar(0) + "w";
    QTest::newRow("every control character") << [] {
        QString all;
        for (char16_t u = 0; u < 0x20; ++u) all += QChar(u);
        return all + QChar(0x7F) + QChar(0x9F);
    }();
    QTest::newRow("every device byte stand-in") << [] {
        QString all;
        for (char16_t u = 0xF700; u <= 0xF7FF; ++u) all += QChar(u);
        return all;
    }();
    QTest::newRow("literal escape before a control character") << QString("_x1234") + QChar(1);
    QTest::newRow("literal escape after a control character") << QString(QChar(2)) + "_x0041_";
    QTest::newRow("underscore x without hex") << "a_x_b _x12_ _X0041_";
}

void TestOfficeWorkbook::roundTrip_textStaysExactly() {
    QFETCH(QString, text);
    Workbook out;
    QVERIFY(out.setText(1, 1, "Items"));
    QVERIFY(out.setTextFormat(2, 2));
    QVERIFY(out.setText(2, 2, text));
    const QString file = path("roundtrip.xlsx");
    QVERIFY2(out.saveAs(file), qPrintable(out.errorText()));

    Workbook in;
    QVERIFY2(in.open(file), qPrintable(in.errorText()));
    QCOMPARE(in.shownText(1, 1), QString("Items"));
    const CellValue cell = in.cell(2, 2);
    QCOMPARE(cell.kind, CellKind::String);
    QCOMPARE(cell.text, text);
    QCOMPARE(in.value(2, 2), text);
    QCOMPARE(in.shownText(2, 2), text);
}

void TestOfficeWorkbook::roundTrip_numberListShape_allCellsBack() {
    auto textAt = [](int r, int c) -> QString {
        if (r == 1)
            return QStringList{"Serial",   "Authorized number", "Start Date", "Start Time ",
                               "End Date", "End Time",          "Always(V)",  "Delete(V)"}[c - 1];
        switch (c) {
            case 1:
                return QString::number(r - 1);
            case 2:
                return r % 7 == 0 ? QString() : QStringLiteral("+86%1").arg(13800000000LL + r);
            case 3:
            case 5:
                return QStringLiteral("2024/%1/17").arg(r % 12 + 1, 2, 10, QChar(u'0'));
            case 4:
            case 6:
                return QStringLiteral("%1:05").arg(r % 24, 2, 10, QChar(u'0'));
            default:
                return r % 2 ? QStringLiteral("yes") : QStringLiteral("no");
        }
    };
    Workbook out;
    const double widths[] = {4, 20, 16, 16, 16, 16};
    for (int c = 1; c <= 6; ++c) QVERIFY(out.setColumnWidth(c, widths[c - 1]));
    for (int r = 1; r <= 3001; ++r)
        for (int c = 1; c <= 8; ++c) {
            QVERIFY(out.setTextFormat(r, c));
            QVERIFY(out.setText(r, c, textAt(r, c)));
        }
    const QString file = path("numbers.xlsx");
    QVERIFY2(out.saveAs(file), qPrintable(out.errorText()));

    Workbook in;
    QVERIFY2(in.open(file, office::ReadLimits{3001, 8}), qPrintable(in.errorText()));
    for (int r = 1; r <= 3001; ++r)
        for (int c = 1; c <= 8; ++c)
            if (in.value(r, c) != textAt(r, c))
                QFAIL(qPrintable(QStringLiteral("row %1 column %2: '%3' instead of '%4'")
                                     .arg(r)
                                     .arg(c)
                                     .arg(in.value(r, c), textAt(r, c))));
    QCOMPARE(in.cell(7, 2).kind, CellKind::Empty);  // written empty
    QCOMPARE(in.value(3002, 1), QString());         // nothing beyond what was written
}

void TestOfficeWorkbook::roundTrip_emptyCellsStayEmpty() {
    Workbook out;
    out.setText(1, 1, "Serial");
    out.setTextFormat(2, 1);  // formatted, never written
    out.setText(2, 2, "");    // written empty
    out.setText(3, 3, "x");
    out.setText(3, 3, "");  // overwritten with nothing
    const QString file = path("empty.xlsx");
    QVERIFY2(out.saveAs(file), qPrintable(out.errorText()));
    Workbook in;
    QVERIFY2(in.open(file), qPrintable(in.errorText()));
    for (auto [r, c] : {std::pair{2, 1}, {2, 2}, {3, 3}, {5, 5}}) {
        QCOMPARE(in.cell(r, c).kind, CellKind::Empty);
        QCOMPARE(in.value(r, c), QString());
    }
    in.close();
    QCOMPARE(in.value(1, 1), QString());
}

void TestOfficeWorkbook::open_chosenByContentNotName() {
    Workbook out;
    out.setText(1, 1, "Serial");
    const QString misnamed = path("really-xlsx.xls");
    QVERIFY(out.saveAs(misnamed));
    Workbook in;
    QVERIFY2(in.open(misnamed), qPrintable(in.errorText()));
    QCOMPARE(in.value(1, 1), QString("Serial"));

    QFile csv(path("table.xlsx"));
    QVERIFY(csv.open(QIODevice::WriteOnly));
    csv.write("Serial,Authorized number\r\n1,+5550100\r\n");
    csv.close();
    QVERIFY(!in.open(csv.fileName()));
    QVERIFY2(in.errorText().contains("table.xlsx") &&
                 in.errorText().contains("neither an .xlsx nor an .xls"),
             qPrintable(in.errorText()));
    QCOMPARE(in.value(1, 1), QString());  // a failed open leaves nothing behind

    QVERIFY(!in.open(path("no-such-file.xlsx")));
    QVERIFY(in.errorText().contains("cannot be opened"));
}

void TestOfficeWorkbook::save_failure_reportsAndKeepsOldFile_data() {
    QTest::addColumn<QString>("target");  // relative to the test folder
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("reason");
    QTest::newRow("missing folder") << "no/such/folder/x.xlsx"
                                    << "a"
                                    << "could not be written";
    QTest::newRow("target is a folder") << "."
                                        << "a"
                                        << "is a folder";
    QTest::newRow("text too long") << "kept.xlsx" << QString(Workbook::kMaxTextChars + 1, u'x')
                                   << "more than 32767 characters";
    QTest::newRow("broken character") << "kept.xlsx" << QString(QChar(0xD800)) + "x"
                                      << "broken character";
    QTest::newRow("lone low surrogate") << "kept.xlsx" << QString("x") + QChar(0xDC00)
                                        << "B2 holds a broken character (a lone U+DC00)";
    QTest::newRow("U+FFFE") << "kept.xlsx" << QString("x") + QChar(0xFFFE)
                            << "U+FFFE, which a workbook cannot keep";
    QTest::newRow("U+FFFF") << "kept.xlsx" << QString(QChar(0xFFFF)) << "U+FFFF";
    QTest::newRow("too long once escaped")
        << "kept.xlsx" << QString(5000, QChar(1)) << "once its control characters are escaped";
}

void TestOfficeWorkbook::save_failure_reportsAndKeepsOldFile() {
    QFETCH(QString, target);
    QFETCH(QString, text);
    QFETCH(QString, reason);
    QTemporaryDir folder;
    Workbook old;
    old.setText(1, 1, "old content");
    QVERIFY(old.saveAs(folder.filePath("kept.xlsx")));
    const QStringList before = QDir(folder.path()).entryList(QDir::Files | QDir::Hidden);

    Workbook book;
    book.setText(1, 1, "Serial");
    book.setText(2, 2, text);
    QVERIFY(!book.saveAs(folder.filePath(target)));
    QVERIFY2(book.errorText().contains(reason) && book.errorText().contains("cannot be saved"),
             qPrintable(book.errorText()));
    // No half-written or temporary file is left, and the old file is intact.
    QCOMPARE(QDir(folder.path()).entryList(QDir::Files | QDir::Hidden), before);
    Workbook again;
    QVERIFY(again.open(folder.filePath("kept.xlsx")));
    QCOMPARE(again.value(1, 1), QString("old content"));
}

void TestOfficeWorkbook::save_overExistingFile_replacesIt() {
    const QString file = path("replace.xlsx");
    Workbook first;
    first.setText(1, 1, "first");
    first.setText(9, 9, "only in the first");
    QVERIFY(first.saveAs(file));
    Workbook second;
    second.setText(1, 1, "second");
    QVERIFY(second.saveAs(file));
    Workbook in;
    QVERIFY(in.open(file));
    QCOMPARE(in.value(1, 1), QString("second"));
    QCOMPARE(in.value(9, 9), QString());
    QCOMPARE(QFileInfo(file).permissions() & QFile::ReadOwner, QFile::ReadOwner);
}

void TestOfficeWorkbook::write_outsideSheet_refused_data() {
    QTest::addColumn<int>("row");
    QTest::addColumn<int>("column");
    QTest::newRow("row 0") << 0 << 1;
    QTest::newRow("column 0") << 1 << 0;
    QTest::newRow("past last row") << Workbook::kMaxRow + 1 << 1;
    QTest::newRow("past last column") << 1 << Workbook::kMaxColumn + 1;
}

void TestOfficeWorkbook::write_outsideSheet_refused() {
    QFETCH(int, row);
    QFETCH(int, column);
    Workbook book;
    QVERIFY(!book.setText(row, column, "x"));
    QVERIFY(!book.errorText().isEmpty());
    QVERIFY(!book.setTextFormat(row, column));
    QVERIFY(!book.setColumnWidth(column == 1 ? 0 : column, 10));
    QVERIFY(!book.setColumnWidth(1, 300));
    QCOMPARE(book.value(row, column), QString());
}

void TestOfficeWorkbook::exportFileName_data() {
    QTest::addColumn<QString>("chosen");
    QTest::addColumn<QString>("written");
    QTest::addColumn<bool>("noted");
    QTest::newRow("proposed name") << "/c/telinf_R2024-05-17_08-30-00"
                                   << "/c/telinf_R2024-05-17_08-30-00.xlsx" << false;
    QTest::newRow("xlsx kept") << "/c/a.xlsx"
                               << "/c/a.xlsx" << false;
    QTest::newRow("xlsx any case") << "/c/A.XLSX"
                                   << "/c/A.XLSX" << false;
    QTest::newRow("legacy xls corrected") << "/c/list.xls"
                                          << "/c/list.xlsx" << true;
    QTest::newRow("legacy XLS corrected") << "/c/list.XLS"
                                          << "/c/list.xlsx" << true;
    QTest::newRow("other extension") << "/c/list.csv"
                                     << "/c/list.csv.xlsx" << false;
    QTest::newRow("dotted folder") << "/c/v1.2/name"
                                   << "/c/v1.2/name.xlsx" << false;
    QTest::newRow("trailing dot") << "/c/name."
                                  << "/c/name.xlsx" << false;
}

void TestOfficeWorkbook::exportFileName() {
    QFETCH(QString, chosen);
    QFETCH(QString, written);
    QFETCH(bool, noted);
    QString note = "stale";
    QCOMPARE(office::exportFileName(chosen, &note), written);
    QCOMPARE(!note.isEmpty(), noted);
    if (noted) QVERIFY2(note.contains(QFileInfo(written).fileName()), qPrintable(note));
}

void TestOfficeWorkbook::phoneNumberRule_data() {
    QTest::addColumn<int>("kind");
    QTest::addColumn<double>("number");
    QTest::addColumn<bool>("usable");
    QTest::newRow("text") << int(CellKind::String) << 0.0 << true;
    QTest::newRow("empty") << int(CellKind::Empty) << 0.0 << true;
    QTest::newRow("11 digits") << int(CellKind::Number) << 13800138000.0 << true;
    QTest::newRow("15 digits") << int(CellKind::Number) << 999999999999999.0 << true;
    QTest::newRow("16 digits") << int(CellKind::Number) << 1000000000000000.0 << false;
    QTest::newRow("fraction") << int(CellKind::Number) << 1380013800.5 << false;
    QTest::newRow("negative") << int(CellKind::Number) << -5.0 << false;
    QTest::newRow("boolean") << int(CellKind::Bool) << 1.0 << false;
    QTest::newRow("date") << int(CellKind::Date) << 45429.0 << false;
}

void TestOfficeWorkbook::phoneNumberRule() {
    QFETCH(int, kind);
    QFETCH(double, number);
    QFETCH(bool, usable);
    CellValue cell{CellKind(kind), detail::numberText(number), number};
    QCOMPARE(office::usableAsPhoneNumber(cell), usable);
}

void TestOfficeWorkbook::numberText_data() {
    QTest::addColumn<double>("value");
    QTest::addColumn<QString>("text");
    QTest::newRow("zero") << 0.0 << "0";
    QTest::newRow("negative zero") << -0.0 << "0";
    QTest::newRow("telephone") << 13800138000.0 << "13800138000";
    QTest::newRow("negative whole") << -5.0 << "-5";
    QTest::newRow("tenth") << 0.1 << "0.1";
    QTest::newRow("third") << 1.0 / 3 << "0.3333333333333333";
    QTest::newRow("half") << 2.5 << "2.5";
    QTest::newRow("rounded 17 digits") << 12345678901234570.0 << "12345678901234570";
    QTest::newRow("huge") << 1e20 << "1e+20";
}

void TestOfficeWorkbook::numberText() {
    QFETCH(double, value);
    QFETCH(QString, text);
    QCOMPARE(detail::numberText(value), text);
}

void TestOfficeWorkbook::serialText_data() {
    QTest::addColumn<double>("serial");
    QTest::addColumn<int>("parts");
    QTest::addColumn<bool>("date1904");
    QTest::addColumn<QString>("text");  // "-" for: not a date
    QTest::newRow("date") << 45429.0 << int(detail::kDatePart) << false << "2024/05/17";
    QTest::newRow("date ignores time")
        << 45429.75 << int(detail::kDatePart) << false << "2024/05/17";
    QTest::newRow("time") << 0.3541666666666667 << int(detail::kTimePart) << false << "08:30";
    QTest::newRow("seconds not rounded up")
        << 0.3541666666666667 + 59.0 / 86400 << int(detail::kTimePart) << false << "08:30";
    QTest::newRow("date and time")
        << 45429.35484953703 << int(detail::kDateAndTime) << false << "2024/05/17 08:30";
    QTest::newRow("end of day rounds to next")
        << 45429.99999999999 << int(detail::kDateAndTime) << false << "2024/05/18";
    QTest::newRow("date and time at midnight")
        << 45659.0 << int(detail::kDateAndTime) << false << "2025/01/02";
    QTest::newRow("time alone at midnight")
        << 45659.0 << int(detail::kTimePart) << false << "00:00";
    QTest::newRow("first day") << 1.0 << int(detail::kDatePart) << false << "1900/01/01";
    QTest::newRow("before phantom day") << 59.0 << int(detail::kDatePart) << false << "1900/02/28";
    QTest::newRow("phantom 29 Feb 1900") << 60.0 << int(detail::kDatePart) << false << "1900/02/29";
    QTest::newRow("after phantom day") << 61.0 << int(detail::kDatePart) << false << "1900/03/01";
    QTest::newRow("1904 system") << 43967.0 << int(detail::kDatePart) << true << "2024/05/17";
    QTest::newRow("1904 first day") << 0.0 << int(detail::kDatePart) << true << "1904/01/01";
    QTest::newRow("last day") << 2958465.0 << int(detail::kDatePart) << false << "9999/12/31";
    QTest::newRow("past last day") << 2958466.0 << int(detail::kDatePart) << false << "-";
    QTest::newRow("negative") << -1.0 << int(detail::kDatePart) << false << "-";
    QTest::newRow("not a date format") << 45429.0 << int(detail::kNoDate) << false << "-";
}

void TestOfficeWorkbook::serialText() {
    QFETCH(double, serial);
    QFETCH(int, parts);
    QFETCH(bool, date1904);
    QFETCH(QString, text);
    const auto got = detail::serialText(serial, detail::DateParts(parts), date1904);
    QCOMPARE(got.value_or("-"), text);
}

void TestOfficeWorkbook::formatParts_data() {
    QTest::addColumn<QString>("code");
    QTest::addColumn<int>("parts");
    QTest::newRow("iso date") << "yyyy-mm-dd" << int(detail::kDatePart);
    QTest::newRow("us date") << "m/d/yy" << int(detail::kDatePart);
    QTest::newRow("month name") << "mmm-yy" << int(detail::kDatePart);
    QTest::newRow("time") << "h:mm:ss" << int(detail::kTimePart);
    QTest::newRow("minutes seconds") << "mm:ss" << int(detail::kTimePart);
    QTest::newRow("elapsed hours") << "[h]:mm" << int(detail::kTimePart);
    QTest::newRow("date and time") << "yyyy-mm-dd h:mm:ss" << int(detail::kDateAndTime);
    QTest::newRow("locale and am/pm") << "[$-409]m/d/yy h:mm AM/PM" << int(detail::kDateAndTime);
    QTest::newRow("chinese date") << "yyyy\"年\"m\"月\"d\"日\"" << int(detail::kDatePart);
    QTest::newRow("general") << "General" << int(detail::kNoDate);
    QTest::newRow("text") << "@" << int(detail::kNoDate);
    QTest::newRow("decimals") << "0.00" << int(detail::kNoDate);
    QTest::newRow("scientific") << "0.00E+00" << int(detail::kNoDate);
    QTest::newRow("colour") << "[Red]#,##0" << int(detail::kNoDate);
    QTest::newRow("quoted letters") << "0 \"days\"" << int(detail::kNoDate);
    QTest::newRow("escaped letter") << "0\\d" << int(detail::kNoDate);
}

void TestOfficeWorkbook::formatParts() {
    QFETCH(QString, code);
    QFETCH(int, parts);
    QCOMPARE(int(detail::customFormatParts(code)), parts);
}

void TestOfficeWorkbook::escapes_data() {
    QTest::addColumn<QString>("stored");
    QTest::addColumn<QString>("text");
    QTest::newRow("carriage return") << "a_x000D_b"
                                     << "a\rb";
    QTest::newRow("lower-case hex") << "_x00e9_" << QString(QChar(0xE9));
    QTest::newRow("escaped underscore") << "_x005F_x000D_"
                                        << "_x000D_";
    QTest::newRow("too short") << "_x00D_"
                               << "_x00D_";
    QTest::newRow("not hex") << "_xZZZZ_"
                             << "_xZZZZ_";
    QTest::newRow("unterminated") << "_x000D"
                                  << "_x000D";
    QTest::newRow("plain") << "no escapes"
                           << "no escapes";
    QTest::newRow("U+0000") << "_x0000_" << QString(QChar(0));
    QTest::newRow("protected literal before an escape")
        << "_x005F_x1234_x0001_" << QString("_x1234") + QChar(1);
}

void TestOfficeWorkbook::escapes() {
    QFETCH(QString, stored);
    QFETCH(QString, text);
    QCOMPARE(detail::decodeEscapes(stored), text);
    QCOMPARE(detail::decodeEscapes(detail::protectEscapes(text)), text);
    QCOMPARE(detail::decodeEscapes(detail::protectEscapes(stored)), stored);
}

QTEST_GUILESS_MAIN(TestOfficeWorkbook)
#include "test_office_workbook.moc"
