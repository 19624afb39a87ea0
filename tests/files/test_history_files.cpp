// History files: the workbook (all 1001 rows) and the CSV file (numbered rows
// only), their dialogs, status texts and progress, and the refusals.

#include <QtTest>

#include "../history/history_records.h"
#include "app/file_buttons.h"
#include "core/gbk.h"
#include "files_fixture.h"
#include "office/history_files.h"
#include "office/workbook.h"

using office::Workbook;

namespace {

// Grid rows 1..n as a read followed by a filter leaves them: record numbers
// in column 1, the rest of the grid only serials.
void fillRows(TextGrid& grid, int n) {
    QVector<QStringList> rows;
    for (int r = 1; r <= n; ++r)
        rows << QStringList{QString::number(r),
                            QString::number(300 + r),
                            "2024-03-09",
                            "14:05:00",
                            "Telephone",
                            "Relay ON",
                            "+123",
                            "Door"};
    grid.setRows(1, rows);
}

}  // namespace

class TestHistoryFiles : public QObject {
    Q_OBJECT
    FilesFixture fx;

private slots:
    void init() { fx.reset(); }

    void dialogs_data();
    void dialogs();
    void workbook_fresh1001Rows();
    void workbook_afterFilter();
    void workbook_statusAndProgress();
    void workbook_xlsName();
    void csv_lines_data();
    void csv_lines();
    void csv_noNumberedRows_emptyFile();
    void csv_afterFilter_statusAndProgress();
    void anyContentBytes_keptInBothFiles();
    void csv_unencodable_refused();
    void csv_unwritable_reported();
};

void TestHistoryFiles::dialogs_data() {
    QTest::addColumn<bool>("workbook");
    QTest::addColumn<QString>("filter");
    QTest::addColumn<QString>("proposed");
    QTest::newRow("Export.XLS") << true << "EXCEL file|*.xlsx;*.xls|(*.*)|*.*"
                                << "hisinf_R2024-05-17_08-30-00";
    QTest::newRow("Export.CSV") << false << "CVS file|*.cvs;*.cvs|(*.*)|*.*"
                                << "hisinf_CSV2024-05-17_08-30-00.cvs";
}

void TestHistoryFiles::dialogs() {
    QFETCH(bool, workbook);
    QFETCH(QString, filter);
    QFETCH(QString, proposed);
    fillRows(fx.session->history, 3);
    Tcustomstringgrid_his his(*fx.session);
    his.clock = fixedNow;
    workbook ? his.ExportHistoryWorkbook() : his.ExportHistoryCsv();  // cancelled
    QCOMPARE(fx.shownKinds(), QStringList{"save"});
    QCOMPARE(fx.prompts.shown[0].text, filter);
    QCOMPARE(fx.prompts.shown[0].dir, fx.session->ConfigDir);
    QCOMPARE(fx.prompts.shown[0].proposed, proposed);
    QVERIFY(fx.files().isEmpty());
}

void TestHistoryFiles::workbook_fresh1001Rows() {
    const hisfiles::Outcome out = hisfiles::exportWorkbook(fx.session->history, fx.path("h"));
    QVERIFY2(out.ok, qPrintable(out.text));
    QCOMPARE(out.path, fx.path("h.xlsx"));
    Workbook book;
    office::ReadLimits limits;
    limits.maxRows = 2000;
    QVERIFY2(book.open(out.path, limits), qPrintable(book.errorText()));
    const QStringList headers = {"Serial", "No.",    "Date",      "Time",
                                 "From",   "Action", "Executant", "Content"};
    for (int c = 1; c <= 8; ++c) QCOMPARE(book.value(1, c), headers[c - 1]);
    for (int r = 2; r <= 1001; ++r) {
        QCOMPARE(book.value(r, 1), QString::number(r - 1));
        for (int c = 2; c <= 8; ++c) QCOMPARE(book.cell(r, c).kind, office::CellKind::Empty);
    }
    QCOMPARE(book.cell(1002, 1).kind, office::CellKind::Empty);
}

void TestHistoryFiles::workbook_afterFilter() {
    fillRows(fx.session->history, 5);
    fx.session->history.setText(7, 2, "=1+1");  // stays a text
    const hisfiles::Outcome out = hisfiles::exportWorkbook(fx.session->history, fx.path("h.xlsx"));
    QVERIFY(out.ok);
    Workbook book;
    QVERIFY(book.open(out.path, {}));
    for (int r = 2; r <= 6; ++r)
        for (int c = 1; c <= 8; ++c)
            QCOMPARE(book.value(r, c), fx.session->history.text(c - 1, r - 1));
    QCOMPARE(book.cell(3, 8).kind, office::CellKind::String);
    QCOMPARE(book.value(3, 8), QString("=1+1"));
    QCOMPARE(book.value(7, 1), QString("6"));
    QCOMPARE(book.value(7, 2), QString());
}

void TestHistoryFiles::workbook_statusAndProgress() {
    fx.prompts.fileNames << fx.path("h");
    Tcustomstringgrid_his(*fx.session).ExportHistoryWorkbook();
    QCOMPARE(fx.files(), QStringList{"h.xlsx"});
    QCOMPARE(fx.shownKinds(), QStringList{"save"});
    QCOMPARE(fx.statuses.size(), 1001);
    QCOMPARE(fx.statuses.first(), QString("historical information records:0/1000"));
    QCOMPARE(fx.statuses.last(), QString("historical information records:1000/1000"));
    QCOMPARE(fx.bars.first(), qMakePair(1, true));  // rows 1..9 give 0: no change
    QCOMPARE(fx.bars.last(), qMakePair(100, false));
}

void TestHistoryFiles::workbook_xlsName() {
    fx.prompts.fileNames << fx.path("h.xls");
    Tcustomstringgrid_his(*fx.session).ExportHistoryWorkbook();
    QCOMPARE(fx.files(), QStringList{"h.xlsx"});
    QCOMPARE(fx.shownKinds(), (QStringList{"save", "inform"}));
    QVERIFY(fx.prompts.last().contains("h.xlsx"));
}

void TestHistoryFiles::csv_lines_data() {
    QTest::addColumn<QString>("content");
    QTest::addColumn<QByteArray>("line");
    QTest::newRow("plain") << "Door"
                           << QByteArray(
                                  "3,300,2024-03-09,14:05:00,Telephone,Relay ON,+123,Door,,");
    QTest::newRow("comma in content quoted")
        << "Door 1,2"
        << QByteArray("3,300,2024-03-09,14:05:00,Telephone,Relay ON,+123,\"Door 1,2\",,");
    QTest::newRow("quote in content")
        << "say \"hi\""
        << QByteArray("3,300,2024-03-09,14:05:00,Telephone,Relay ON,+123,\"say \"\"hi\"\"\",,");
    QTest::newRow("GBK content") << QString::fromUtf8("门禁报警")
                                 << QByteArray(
                                        "3,300,2024-03-09,14:05:00,Telephone,Relay ON,+123,"
                                        "\xc3\xc5\xbd\xfb\xb1\xa8\xbe\xaf,,");
    QTest::newRow("empty content")
        << "" << QByteArray("3,300,2024-03-09,14:05:00,Telephone,Relay ON,+123,,,");
}

void TestHistoryFiles::csv_lines() {
    QFETCH(QString, content);
    QFETCH(QByteArray, line);
    fx.session->history.setRows(
        3, {{"3", "300", "2024-03-09", "14:05:00", "Telephone", "Relay ON", "+123", content}});
    QString error;
    const auto bytes = hisfiles::csvBytes(fx.session->history, &error);
    QVERIFY2(bytes, qPrintable(error));
    QCOMPARE(*bytes, line + "\r\n");
}

void TestHistoryFiles::csv_noNumberedRows_emptyFile() {
    fx.prompts.fileNames << fx.path("h.cvs");
    Tcustomstringgrid_his(*fx.session).ExportHistoryCsv();
    QCOMPARE(fx.files(), QStringList{"h.cvs"});
    QCOMPARE(QFileInfo(fx.path("h.cvs")).size(), 0);
    QVERIFY(fx.statuses.isEmpty());
}

void TestHistoryFiles::csv_afterFilter_statusAndProgress() {
    fillRows(fx.session->history, 5);
    fx.prompts.fileNames << fx.path("h.cvs");
    Tcustomstringgrid_his(*fx.session).ExportHistoryCsv();
    const QList<QByteArray> lines = crlfLines(readAll(fx.path("h.cvs")));
    QCOMPARE(lines.size(), 5);
    for (int r = 1; r <= 5; ++r) {
        QCOMPARE(lines[r - 1].split(',').size(), 10);
        QVERIFY(lines[r - 1].startsWith(QByteArray::number(r) + "," + QByteArray::number(300 + r) +
                                        ","));
        QVERIFY(lines[r - 1].endsWith(",,"));
    }
    QCOMPARE(fx.statuses,
             (QStringList{"Export.csv:0/1000", "Export.csv:1/1000", "Export.csv:2/1000",
                          "Export.csv:3/1000", "Export.csv:4/1000"}));
    // r * 100 / 1001 for r = 1..5 is 0: the bar is not touched.
    QVERIFY(fx.bars.isEmpty());
}

// Random content bytes, as a device's SMS texts hold them (cut double-byte
// characters, bad trail bytes, 0x80, control bytes), come out of the CSV
// file as the same bytes and out of the workbook as texts that encode back
// to them.
void TestHistoryFiles::anyContentBytes_keptInBothFiles() {
    QRandomGenerator random(1403);
    QVector<QStringList> rows;
    QList<QByteArray> contents;
    QByteArray expected;
    for (int r = 1; r <= hisfiles::Rows; ++r) {
        QByteArray content(1 + random.bounded(historyrec::ContentMax), '\0');
        for (char& b : content) b = char(random.bounded(0x01, 0xFF));  // 0x00, 0xFF end it
        testrec::Event e;
        e.number = r;
        e.content = content;
        rows << QStringList{QString::number(r)} + testrec::decoded(testrec::record(e));
        contents << content;
        QByteArray field = content;
        if (field.contains(',') || field.contains('"') || field.contains('\r') ||
            field.contains('\n'))
            field = '"' + field.replace("\"", "\"\"") + '"';
        expected += QByteArray::number(r) + "," + QByteArray::number(r) +
                    ",2024-03-09,14:05:00,Telephone,Relay ON,+123," + field + ",,\r\n";
    }
    fx.session->history.setRows(1, rows);

    QString error;
    const auto csv = hisfiles::csvBytes(fx.session->history, &error);
    QVERIFY2(csv, qPrintable(error));
    QCOMPARE(*csv, expected);

    const hisfiles::Outcome out = hisfiles::exportWorkbook(fx.session->history, fx.path("h"));
    QVERIFY2(out.ok, qPrintable(out.text));
    Workbook book;
    QVERIFY2(book.open(out.path), qPrintable(book.errorText()));
    for (int r = 1; r <= hisfiles::Rows; ++r)
        QCOMPARE(gbk::encode(book.value(r + 1, 8)).value_or("(unencodable)"), contents[r - 1]);
}

void TestHistoryFiles::csv_unencodable_refused() {
    fillRows(fx.session->history, 5);
    // No device byte gives this character: only a text from elsewhere can.
    fx.session->history.setText(7, 4, QString(QChar(0xFFFD)));
    Tcustomstringgrid_his(*fx.session).ExportHistoryCsv();
    QCOMPARE(fx.shownKinds(), QStringList{"message"});
    QVERIFY2(fx.prompts.last().contains("row 4"), qPrintable(fx.prompts.last()));
    QVERIFY(fx.files().isEmpty());
}

void TestHistoryFiles::csv_unwritable_reported() {
    fillRows(fx.session->history, 2);
    fx.prompts.fileNames << fx.path("missing/h.cvs");
    Tcustomstringgrid_his(*fx.session).ExportHistoryCsv();
    QCOMPARE(fx.shownKinds(), (QStringList{"save", "message"}));
    QVERIFY(fx.prompts.last().contains("h.cvs"));
    QVERIFY(fx.files().isEmpty());
}

QTEST_GUILESS_MAIN(TestHistoryFiles)
#include "test_history_files.moc"
