// Number list files: the workbook export and import with every check and its
// message, the CSV lines byte for byte, the three buttons' dialogs, status
// texts and progress, and the failures that must leave the grid alone.

#include <QtTest>

#include "app/file_buttons.h"
#include "core/gbk.h"
#include "files_fixture.h"
#include "numbers/number_record.h"
#include "office/number_files.h"
#include "office/workbook.h"

using numfiles::Outcome;
using office::Workbook;

namespace {

const QString kReportHead = QStringLiteral(
    "Wrong information on the profile,please correct it and then import again,error:");

// "slot|number|start date|start time|end date|end time|Always|Delete"
QStringList fields(const QString& spec) {
    return spec.split(QLatin1Char('|'));
}

// A number list workbook as a fresh export would give it, with `rows`
// written over it.
bool writeListBook(const QString& path, const QStringList& rows, const QString& a1 = "Serial") {
    TextGrid grid(8, 3001);
    numrec::fillStartContents(grid);
    Workbook book;
    numfiles::fillWorkbook(grid, book);
    book.setText(1, 1, a1);
    for (const QString& spec : rows) {
        const QStringList f = fields(spec);
        const int slot = f[0].toInt();
        for (int c = 1; c < f.size(); ++c) book.setText(slot + 1, c + 1, f[c]);
    }
    return book.saveAs(path);
}

// Fills every slot of `grid` with texts that pass the import checks, with
// leading zeros, long numbers, both date separators, and both flags.
void fillFullList(TextGrid& grid) {
    QVector<QStringList> rows;
    for (int s = 1; s <= 3000; ++s) {
        QString number;
        switch (s % 5) {
            case 0:
                number = QStringLiteral("00%1").arg(s);
                break;
            case 1:
                number = QStringLiteral("+86138%1").arg(s, 8, 10, QLatin1Char('0'));
                break;
            case 2:
                number =
                    QStringLiteral("1234567890123456789%1").arg(s % 1000, 3, 10, QLatin1Char('0'));
                break;
            case 3:
                number = QString();
                break;
            case 4:
                number = QStringLiteral("0");
                break;
        }
        const bool always = s % 7 == 0;
        const QString sep = s % 2 ? "/" : "-";
        const QString start = always ? QString()
                                     : QStringLiteral("2024%1%2%1%3")
                                           .arg(sep)
                                           .arg(1 + s % 12, 2, 10, QLatin1Char('0'))
                                           .arg(1 + s % 28, 2, 10, QLatin1Char('0'));
        const QString time = always ? QString()
                                    : QStringLiteral("%1:%2")
                                          .arg(s % 24, 2, 10, QLatin1Char('0'))
                                          .arg(s % 60, 2, 10, QLatin1Char('0'));
        rows << QStringList{number,
                            start,
                            time,
                            always ? QString() : QStringLiteral("2025/12/31"),
                            always ? QString() : QStringLiteral("23:59"),
                            always ? "yes" : "no",
                            s % 11 == 0 ? "yes" : "no"};
    }
    grid.setRows(1, rows, numrec::Number);
}

}  // namespace

class TestNumberFiles : public QObject {
    Q_OBJECT
    FilesFixture fx;

private slots:
    void init() { fx.reset(); }

    void proposedNames();
    void buttonDialogs_data();
    void buttonDialogs();

    void exportFresh_headersSerialsFlags();
    void roundTrip_fullList();
    void roundTrip_throughButtons();
    void exportNames_data();
    void exportNames();
    void exportUnwritable_reported();

    void slotReport_data();
    void slotReport();
    void importChecks_data();
    void importChecks();
    void importRefused_gridUnchanged_data();
    void importRefused_gridUnchanged();
    void importButton_statusAndProgress();

    void csvLines_data();
    void csvLines();
    void csvFreshGrid_3000Lines();
    void csvButton_writesBuiltBytes();
    void csvUnencodable_refusedBeforeDialog();
    void csvWorkbookName_getsCsvExtension();
};

void TestNumberFiles::proposedNames() {
    QCOMPARE(numfiles::workbookProposedName(fixedNow()), QString("telinf_R2024-05-17_08-30-00"));
    QCOMPARE(numfiles::csvProposedName(fixedNow()), QString("telinf_CSV2024-05-17_08-30-00.cvs"));
    // Hours run 00..23; two exports in the same second propose the same name.
    const QDateTime evening(QDate(2026, 12, 7), QTime(21, 4, 5));
    QCOMPARE(numfiles::workbookProposedName(evening), QString("telinf_R2026-12-07_21-04-05"));
    QCOMPARE(numfiles::workbookProposedName(evening), numfiles::workbookProposedName(evening));
}

void TestNumberFiles::buttonDialogs_data() {
    QTest::addColumn<int>("button");  // 15, 14, 3
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QString>("filter");
    QTest::addColumn<QString>("proposed");
    QTest::newRow("Export .XLS") << 15 << "save"
                                 << "EXCEL file|*.xlsx;*.xls|(*.*)|*.*"
                                 << "telinf_R2024-05-17_08-30-00";
    QTest::newRow("Import .XLS") << 14 << "open"
                                 << "EXCEL file|*.xls;*.xlsx|(*.*)|*.*"
                                 << "";
    QTest::newRow("Export .CSV") << 3 << "save"
                                 << "CVS file|*.cvs;*.cvs|(*.*)|*.*"
                                 << "telinf_CSV2024-05-17_08-30-00.cvs";
}

void TestNumberFiles::buttonDialogs() {
    QFETCH(int, button);
    QFETCH(QString, kind);
    QFETCH(QString, filter);
    QFETCH(QString, proposed);
    const auto before = fx.session->numbers.snapshot();
    NumberFiles files(*fx.session);
    files.clock = fixedNow;
    // The dialog is cancelled (the recorder answers an empty name).
    if (button == 15) files.btn15Click();
    if (button == 14) files.btn14Click();
    if (button == 3) files.btn3Click();
    QCOMPARE(fx.prompts.shown.size(), 1);
    const auto& d = fx.prompts.shown.first();
    QCOMPARE(d.kind, kind);
    QCOMPARE(d.text, filter);
    QCOMPARE(d.dir, fx.session->ConfigDir);
    QCOMPARE(d.proposed, proposed);
    QVERIFY(fx.files().isEmpty());  // nothing written
    QCOMPARE(fx.session->numbers.snapshot(), before);
}

void TestNumberFiles::exportFresh_headersSerialsFlags() {
    const Outcome out = numfiles::exportWorkbook(fx.session->numbers, fx.path("fresh"));
    QVERIFY2(out.ok(), qPrintable(out.text));
    QCOMPARE(out.path, fx.path("fresh.xlsx"));
    QVERIFY(out.text.isEmpty());
    Workbook book;
    QVERIFY2(book.open(out.path), qPrintable(book.errorText()));
    const QStringList headers = {"Serial",   "Authorized number", "Start Date", "Start Time ",
                                 "End Date", "End Time",          "Always(V)",  "Delete(V)"};
    for (int c = 1; c <= 8; ++c) QCOMPARE(book.value(1, c), headers[c - 1]);
    for (int s = 1; s <= 3000; ++s) {
        QCOMPARE(book.cell(s + 1, 1).kind, office::CellKind::String);
        QCOMPARE(book.value(s + 1, 1), QString::number(s));
        for (int c = 2; c <= 6; ++c) QCOMPARE(book.cell(s + 1, c).kind, office::CellKind::Empty);
        QCOMPARE(book.value(s + 1, 7), QString("no"));
        QCOMPARE(book.value(s + 1, 8), QString("no"));
    }
    QCOMPARE(book.cell(3002, 1).kind, office::CellKind::Empty);

    // Importing it passes every check and leaves the grid as it was.
    const auto before = fx.session->numbers.snapshot();
    const Outcome in = numfiles::importWorkbook(fx.session->numbers, out.path);
    QVERIFY2(in.ok(), qPrintable(in.text));
    QCOMPARE(fx.session->numbers.snapshot(), before);
}

void TestNumberFiles::roundTrip_fullList() {
    TextGrid& source = fx.session->numbers;
    fillFullList(source);
    source.setText(1, 17, QString::fromUtf8("门禁 0012,\"x\""));  // any text comes back
    const Outcome out = numfiles::exportWorkbook(source, fx.path("full.xlsx"));
    QVERIFY2(out.ok(), qPrintable(out.text));

    TextGrid target(8, 3001);
    numrec::fillStartContents(target);
    target.setText(7, 5, "yes");  // Delete(V) is never taken from a file
    const Outcome in = numfiles::importWorkbook(target, out.path);
    QVERIFY2(in.ok(), qPrintable(in.text));
    for (int r = 0; r <= 3000; ++r) {
        for (int c = 0; c <= 6; ++c) QCOMPARE(target.text(c, r), source.text(c, r));
    }
    QCOMPARE(target.text(7, 5), QString("yes"));
    QCOMPARE(target.text(7, 11), QString("no"));
}

void TestNumberFiles::roundTrip_throughButtons() {
    fillFullList(fx.session->numbers);
    const auto exported = fx.session->numbers.snapshot();
    NumberFiles files(*fx.session);
    fx.prompts.fileNames << fx.path("list");
    files.btn15Click();
    QVERIFY(fx.files().contains("list.xlsx"));
    QVERIFY(fx.prompts.texts().isEmpty());

    // Into a fresh session: the same grid apart from Delete(V).
    RecordingPrompts prompts2;
    DeviceSession other(prompts2);
    prompts2.fileNames << fx.path("list.xlsx");
    NumberFiles(other).btn14Click();
    QVERIFY2(prompts2.texts().isEmpty(), qPrintable(prompts2.texts().join(" / ")));
    for (int r = 0; r <= 3000; ++r)
        for (int c = 0; c <= 6; ++c)
            QCOMPARE(other.numbers.text(c, r), fx.session->numbers.text(c, r));
    QCOMPARE(fx.session->numbers.snapshot(), exported);
}

void TestNumberFiles::exportNames_data() {
    QTest::addColumn<QString>("chosen");
    QTest::addColumn<QString>("written");
    QTest::addColumn<bool>("note");
    QTest::newRow("proposed name, no extension") << "telinf_R2024-05-17_08-30-00"
                                                 << "telinf_R2024-05-17_08-30-00.xlsx" << false;
    QTest::newRow(".xlsx kept") << "list.xlsx"
                                << "list.xlsx" << false;
    QTest::newRow(".XLSX kept") << "list.XLSX"
                                << "list.XLSX" << false;
    QTest::newRow(".xls written as .xlsx") << "list.xls"
                                           << "list.xlsx" << true;
    QTest::newRow("other extension gets .xlsx") << "list.csv"
                                                << "list.csv.xlsx" << false;
}

void TestNumberFiles::exportNames() {
    QFETCH(QString, chosen);
    QFETCH(QString, written);
    QFETCH(bool, note);
    NumberFiles files(*fx.session);
    fx.prompts.fileNames << fx.path(chosen);
    files.btn15Click();
    QCOMPARE(fx.files(), QStringList{written});
    QVERIFY(readAll(fx.path(written)).startsWith("PK\x03\x04"));  // .xlsx content
    if (note) {
        QCOMPARE(fx.prompts.shown.last().kind, QString("inform"));
        QVERIFY(fx.prompts.last().contains(written));
    } else {
        QVERIFY(fx.prompts.texts().isEmpty());
    }
}

void TestNumberFiles::exportUnwritable_reported() {
    NumberFiles files(*fx.session);
    fx.prompts.fileNames << fx.path("no such folder/list.xlsx");
    files.btn15Click();
    QCOMPARE(fx.shownKinds(), (QStringList{"save", "message"}));
    QVERIFY(fx.prompts.last().contains("list.xlsx"));
    QVERIFY(fx.files().isEmpty());
    QVERIFY(fx.session->feedback.bar.statusText().isEmpty());
    QVERIFY(!fx.session->feedback.bar.progressVisible());
}

void TestNumberFiles::slotReport_data() {
    QTest::addColumn<QVector<int>>("serials");
    QTest::addColumn<QString>("tail");
    QTest::newRow("one") << QVector<int>{4} << "1\rSerial: 4";
    QTest::newRow("two") << QVector<int>{3, 8} << "2\rSerial: 3,8";
    QTest::newRow("three") << QVector<int>{3, 8, 9} << "3\rSerial: 3,8,9";
    QTest::newRow("five") << QVector<int>{3, 8, 9, 20, 21} << "5\rSerial: 3,8,9,....";
}

void TestNumberFiles::slotReport() {
    QFETCH(QVector<int>, serials);
    QFETCH(QString, tail);
    QCOMPARE(numfiles::checkReport(serials), kReportHead + tail);
}

void TestNumberFiles::importChecks_data() {
    QTest::addColumn<QStringList>("rows");      // written over a fresh workbook
    QTest::addColumn<QString>("report");        // empty: the import goes through
    QTest::addColumn<QStringList>("expected");  // grid rows after a good import

    const QString good = "|2024/05/17|08:30|2025/01/02|18:05|no|no";
    QTest::newRow("valid window") << QStringList{"5|+5550100" + good} << ""
                                  << QStringList{"5|+5550100" + good};
    QTest::newRow("start date of 9 characters")
        << QStringList{"4|+1|2024/5/17|08:30|2025/01/02|18:05|no|no"} << "1\rSerial: 4"
        << QStringList{};
    QTest::newRow("five rows in error")
        << QStringList{"3|+3|x" + good.mid(11),
                       "8|+8|||||no|no",
                       "9|+9|2024/05/17|8:30|2025/01/02|18:05|no|no",
                       "20|+20|2024/05/17|08:30|2025/01/02|18:5|no|no",
                       "21|+21|2024/05/17|08:30|2025/1/02|18:05|no|no",
                       "22|+22" + good}
        << "5\rSerial: 3,8,9,...." << QStringList{};
    QTest::newRow("letters in the month")
        << QStringList{"6|+6|2024/ab/17|08:30|2025/01/02|18:05|no|no"} << "1\rSerial: 6"
        << QStringList{};
    QTest::newRow("signed day") << QStringList{"6|+6|2024/05/-7|08:30|2025/01/02|18:05|no|no"}
                                << "1\rSerial: 6" << QStringList{};
    QTest::newRow("letters in the minute")
        << QStringList{"6|+6|2024/05/17|08:30|2025/01/02|18:x5|no|no"} << "1\rSerial: 6"
        << QStringList{};
    QTest::newRow("empty end date")
        << QStringList{"6|+6|2024/05/17|08:30||18:05|no|no"} << "1\rSerial: 6" << QStringList{};
    QTest::newRow("date and time together")
        << QStringList{"6|+6|2024/05/17 08:30|08:30|2025/01/02|18:05|no|no"} << "1\rSerial: 6"
        << QStringList{};
    QTest::newRow("two and three rows")
        << QStringList{"3|+3|||||no|no", "8|+8|||||no|no"} << "2\rSerial: 3,8" << QStringList{};
    QTest::newRow("no range test, separators not read")
        << QStringList{"6|+6|2024.13.99|99x99|2025_00_00|00:00|no|no"} << ""
        << QStringList{"6|+6|2024.13.99|99x99|2025_00_00|00:00|no|no"};
    QTest::newRow("row without number not checked, copied")
        << QStringList{"6||junk|junk|||no|no"} << "" << QStringList{"6||junk|junk|||no|no"};
    QTest::newRow("Delete yes: skipped but copied, Delete kept")
        << QStringList{"7|+777|bad|bad|||yes|yes"} << "" << QStringList{"7|+777|bad|bad|||yes|no"};
    QTest::newRow("Always yes: skipped, flag copied")
        << QStringList{"8|+888|||||yes|no"} << "" << QStringList{"8|+888|||||yes|no"};
    QTest::newRow("Always other than yes reads no")
        << QStringList{"9|+999" + good.left(good.size() - 6) + "|YES|no"} << ""
        << QStringList{"9|+999" + good};
    QTest::newRow("last slot") << QStringList{"3000|0012|2024/05/17|08:30|2025/01/02|18:05|no|no"}
                               << ""
                               << QStringList{"3000|0012|2024/05/17|08:30|2025/01/02|18:05|no|no"};
}

void TestNumberFiles::importChecks() {
    QFETCH(QStringList, rows);
    QFETCH(QString, report);
    QFETCH(QStringList, expected);
    const QString file = fx.path("in.xlsx");
    QVERIFY(writeListBook(file, rows));
    TextGrid& grid = fx.session->numbers;
    grid.setText(1, 2, "+keep");  // slot 2 is empty in the file: cleared by a good import
    const auto before = grid.snapshot();

    fx.prompts.fileNames << file;
    NumberFiles(*fx.session).btn14Click();
    if (!report.isEmpty()) {
        QCOMPARE(fx.shownKinds(), (QStringList{"open", "inform"}));
        QCOMPARE(fx.prompts.last(), kReportHead + report);
        QCOMPARE(grid.snapshot(), before);
        return;
    }
    QCOMPARE(fx.shownKinds(), QStringList{"open"});
    QCOMPARE(grid.text(1, 2), QString());
    for (const QString& spec : expected) {
        const QStringList f = fields(spec);
        const int slot = f[0].toInt();
        QCOMPARE(grid.text(0, slot), QString::number(slot));
        for (int c = 1; c <= 7; ++c) QCOMPARE(grid.text(c, slot), f[c]);
    }
}

void TestNumberFiles::importRefused_gridUnchanged_data() {
    QTest::addColumn<QString>("kind");     // how the file is made
    QTest::addColumn<QString>("message");  // exact message, or a part of it
    QTest::newRow("A1 not Serial") << "items"
                                   << "=Wrong format of the setting profile";
    QTest::newRow("A1 empty") << "emptyA1"
                              << "=Wrong format of the setting profile";
    QTest::newRow("CSV text") << "csv"
                              << "cannot be read as a workbook";
    QTest::newRow("empty file") << "empty"
                                << "the file is empty";
    QTest::newRow("truncated workbook") << "truncated"
                                        << "cannot be read as a workbook";
    QTest::newRow("missing file") << "missing"
                                  << "cannot be read as a workbook";
}

void TestNumberFiles::importRefused_gridUnchanged() {
    QFETCH(QString, kind);
    QFETCH(QString, message);
    const QString file = fx.path("bad.xlsx");
    if (kind == "items") QVERIFY(writeListBook(file, {"5|+5"}, "Items"));
    if (kind == "emptyA1") QVERIFY(writeListBook(file, {"5|+5"}, ""));
    if (kind == "csv") QVERIFY(writeAll(file, "1,,,,,,no,no,,\r\n"));
    if (kind == "empty") QVERIFY(writeAll(file, ""));
    if (kind == "truncated") {
        QVERIFY(writeListBook(fx.path("whole.xlsx"), {"5|+5"}));
        const QByteArray whole = readAll(fx.path("whole.xlsx"));
        QVERIFY(writeAll(file, whole.left(whole.size() / 2)));
    }
    fillFullList(fx.session->numbers);
    const auto before = fx.session->numbers.snapshot();
    fx.prompts.fileNames << file;
    NumberFiles(*fx.session).btn14Click();
    QCOMPARE(fx.shownKinds(), (QStringList{"open", "message"}));
    if (message.startsWith('='))
        QCOMPARE(fx.prompts.last(), message.mid(1));
    else
        QVERIFY2(fx.prompts.last().contains(message), qPrintable(fx.prompts.last()));
    QCOMPARE(fx.session->numbers.snapshot(), before);
}

void TestNumberFiles::importButton_statusAndProgress() {
    const QString file = fx.path("in.xlsx");
    QVERIFY(writeListBook(file, {"5|+5550100|2024/05/17|08:30|2025/01/02|18:05|no|no"}));
    fx.prompts.fileNames << file;
    NumberFiles(*fx.session).btn14Click();
    QCOMPARE(fx.statuses, QStringList{"Import.xls"});
    // s * 100 / 3000 per slot: 0 for the first 29 slots, then 1 .. 100.
    QVERIFY(!fx.bars.isEmpty());
    QCOMPARE(fx.bars.first(), qMakePair(1, true));
    QCOMPARE(fx.bars.last(), qMakePair(100, false));
    QCOMPARE(fx.bars.size(), 100);
}

void TestNumberFiles::csvLines_data() {
    QTest::addColumn<QStringList>("row");  // grid columns 1..7 of slot 12
    QTest::addColumn<QByteArray>("line");
    QTest::newRow("filled slot") << QStringList{"+5550100", "2024/05/17", "08:30", "2025/01/02",
                                                "18:05",    "no",         "no"}
                                 << QByteArray(
                                        "12,+5550100,2024/05/17,08:30,2025/01/02,18:05,no,no,,");
    QTest::newRow("Always") << QStringList{"0012", "", "", "", "", "yes", "no"}
                            << QByteArray("12,0012,,,,,yes,no,,");
    QTest::newRow("comma quoted") << QStringList{"+1,2", "", "", "", "", "no", "no"}
                                  << QByteArray("12,\"+1,2\",,,,,no,no,,");
    QTest::newRow("quote doubled") << QStringList{"a\"b", "", "", "", "", "no", "no"}
                                   << QByteArray("12,\"a\"\"b\",,,,,no,no,,");
    QTest::newRow("line break quoted") << QStringList{"a\r\nb", "", "", "", "", "no", "no"}
                                       << QByteArray("12,\"a\r\nb\",,,,,no,no,,");
    QTest::newRow("GBK bytes") << QStringList{QString::fromUtf8("门禁"), "", "", "", "", "no", "no"}
                               << QByteArray("12,\xc3\xc5\xbd\xfb,,,,,no,no,,");
    QTest::newRow("blanks kept") << QStringList{" 1 ", "", "", "", "", "no", "no"}
                                 << QByteArray("12, 1 ,,,,,no,no,,");
}

void TestNumberFiles::csvLines() {
    QFETCH(QStringList, row);
    QFETCH(QByteArray, line);
    TextGrid& grid = fx.session->numbers;
    grid.setRows(12, {row}, numrec::Number);
    QString error;
    const auto bytes = numfiles::csvBytes(grid, &error);
    QVERIFY2(bytes, qPrintable(error));
    // The whole file: every other line stays exactly as it was.
    QByteArray expected;
    for (int s = 1; s <= 3000; ++s)
        expected += (s == 12 ? line : QByteArray::number(s) + ",,,,,,no,no,,") + "\r\n";
    QCOMPARE(*bytes, expected);
}

void TestNumberFiles::csvFreshGrid_3000Lines() {
    QString error;
    const auto bytes = numfiles::csvBytes(fx.session->numbers, &error);
    QVERIFY(bytes);
    const QList<QByteArray> lines = crlfLines(*bytes);
    QCOMPARE(lines.size(), 3000);
    for (int s = 1; s <= 3000; ++s) QCOMPARE(lines[s - 1], QByteArray::number(s) + ",,,,,,no,no,,");
    QVERIFY(bytes->endsWith(",,\r\n"));
    QVERIFY(lines[6] == "7,,,,,,no,no,,");
}

void TestNumberFiles::csvButton_writesBuiltBytes() {
    fillFullList(fx.session->numbers);
    QString error;
    const auto expected = numfiles::csvBytes(fx.session->numbers, &error);
    QVERIFY(expected);
    NumberFiles files(*fx.session);
    files.clock = fixedNow;
    fx.prompts.fileNames << fx.path("telinf_CSV2024-05-17_08-30-00.cvs");
    files.btn3Click();
    QCOMPARE(fx.shownKinds(), QStringList{"save"});
    QCOMPARE(readAll(fx.path("telinf_CSV2024-05-17_08-30-00.cvs")), *expected);
    // Export.csv:0/3000 first, 2999/3000 last; progress s*100/3001 stays below 100.
    QCOMPARE(fx.statuses.size(), 3000);
    QCOMPARE(fx.statuses.first(), QString("Export.csv:0/3000"));
    QCOMPARE(fx.statuses.last(), QString("Export.csv:2999/3000"));
    QCOMPARE(fx.bars.last(), qMakePair(99, true));

    // An existing file is replaced.
    fx.prompts.fileNames << fx.path("telinf_CSV2024-05-17_08-30-00.cvs");
    fx.session->numbers.setText(1, 1, "+1");
    files.btn3Click();
    QVERIFY(readAll(fx.path("telinf_CSV2024-05-17_08-30-00.cvs")).startsWith("1,+1,"));
    QCOMPARE(fx.files().size(), 1);
}

void TestNumberFiles::csvUnencodable_refusedBeforeDialog() {
    fx.session->numbers.setText(1, 12, QString::fromUtf8("+1😀"));
    NumberFiles(*fx.session).btn3Click();
    QCOMPARE(fx.shownKinds(), QStringList{"message"});
    QVERIFY2(fx.prompts.last().contains("slot 12"), qPrintable(fx.prompts.last()));
    QVERIFY(fx.prompts.last().contains(QString::fromUtf8("😀")));
    QVERIFY(fx.files().isEmpty());
    QString error;
    QVERIFY(!numfiles::exportCsv(fx.session->numbers, fx.path("x.cvs")).ok());
    QVERIFY(fx.files().isEmpty());
}

void TestNumberFiles::csvWorkbookName_getsCsvExtension() {
    fx.prompts.fileNames << fx.path("list.xlsx");
    NumberFiles(*fx.session).btn3Click();
    QCOMPARE(fx.files(), QStringList{"list.xlsx.cvs"});
    QCOMPARE(fx.shownKinds(), (QStringList{"save", "inform"}));
    QVERIFY(fx.prompts.last().contains("list.xlsx.cvs"));
    QString note;
    QCOMPARE(numfiles::csvFileName("a/b.cvs", &note), QString("a/b.cvs"));
    QVERIFY(note.isEmpty());
    QCOMPARE(numfiles::csvFileName("a/b", &note), QString("a/b"));
    QCOMPARE(numfiles::csvFileName("a/b.XLS", &note), QString("a/b.XLS.cvs"));
    QVERIFY(!note.isEmpty());
}

QTEST_GUILESS_MAIN(TestNumberFiles)
#include "test_number_files.moc"
