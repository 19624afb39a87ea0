// Workbooks exchanged with other programs: openpyxl reads what we write and
// writes what we read; a legacy .xls file (BIFF8, made by xlwt) imports.

#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

#include "office/workbook.h"
#include "openpyxl_runner.h"

using office::CellKind;
using office::Workbook;

namespace {

const QString kProbe = QStringLiteral(OFFICE_TEST_DIR "/openpyxl_probe.py");

}  // namespace

class TestOfficeInterop : public QObject {
    Q_OBJECT
private:
    QTemporaryDir dir_;

private slots:
    void ourWorkbook_openpyxlSeesTextCells();
    void openpyxlWorkbook_readsAsShown_data();
    void openpyxlWorkbook_readsAsShown();
    void legacyXls_reads_data();
    void legacyXls_reads();
    void legacyXls_cutShort_refused();
};

void TestOfficeInterop::ourWorkbook_openpyxlSeesTextCells() {
    // openpyxl keeps _xHHHH_ escapes in the values it reads; its own
    // unescaping must give back every text, control characters included.
    const QStringList texts{"Serial",
                            "0012",
                            "+8613800138000",
                            "=1+1",
                            "@x",
                            "-5",
                            "2024/05/17",
                            "08:30",
                            QString::fromUtf8("门禁控制器"),
                            "1e5",
                            " x ",
                            QString(QChar(0)) + "cmnet",
                            QString("p") + QChar(0) + "w\r\x01\x1f",
                            QString("a") + QChar(0xF780) + QChar(0xF7FF),
                            "_x0041_ and _x005F_ stay",
                            QString("_x1234") + QChar(1)};
    Workbook book;
    const double widths[] = {4, 20, 16, 16, 16, 16};
    for (int c = 1; c <= 6; ++c) book.setColumnWidth(c, widths[c - 1]);
    for (int i = 0; i < texts.size(); ++i) {
        book.setTextFormat(i + 1, 2);
        book.setText(i + 1, 2, texts[i]);
    }
    book.setTextFormat(2, 3);  // a text cell left empty
    const QString file = dir_.filePath("ours.xlsx");
    QVERIFY2(book.saveAs(file), qPrintable(book.errorText()));

    QByteArray json;
    RUN_PY(json, kProbe, "read", file);
    const QJsonObject root = QJsonDocument::fromJson(json).object();
    const QJsonObject cells = root["cells"].toObject();
    for (int i = 0; i < texts.size(); ++i) {
        const QJsonObject cell = cells[QStringLiteral("B%1").arg(i + 1)].toObject();
        QCOMPARE(cell["unescaped"].toString(), texts[i]);
        QCOMPARE(cell["type"].toString(), QString("s"));
        QCOMPARE(cell["format"].toString(), QString("@"));
    }
    QVERIFY(cells["C2"].toObject()["value"].isNull());
    QCOMPARE(cells["C2"].toObject()["format"].toString(), QString("@"));
    QCOMPARE(cells.size(), texts.size() + 1);
    // Widths are stored with the spreadsheet's cell padding added.
    const QJsonObject stored = root["widths"].toObject();
    const char* letters[] = {"A", "B", "C", "D", "E", "F"};
    for (int c = 0; c < 6; ++c) {
        const double w = stored[letters[c]].toDouble();
        QVERIFY2(w >= widths[c] && w < widths[c] + 1, qPrintable(QString::number(w)));
    }
}

void TestOfficeInterop::openpyxlWorkbook_readsAsShown_data() {
    QTest::addColumn<QString>("system");  // "write" (1900) or "write1904"
    QTest::addColumn<QString>("ref");
    QTest::addColumn<int>("row");
    QTest::addColumn<int>("column");
    QTest::addColumn<int>("kind");
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("phone");  // usable as a telephone number
    struct Row {
        int r, c;
        CellKind kind;
        const char* text;
        bool phone;
    };
    const Row rows[] = {
        {1, 1, CellKind::String, "Serial", true},
        {2, 1, CellKind::Number, "12345", true},
        {3, 1, CellKind::Number, "13800138000", true},
        {4, 1, CellKind::Number, "0.1", false},
        {5, 1, CellKind::Number, "-5", false},
        {6, 1, CellKind::Number, "12345678901234570", false},  // digits already lost
        {7, 1, CellKind::Number, "2.5", false},
        {2, 2, CellKind::Date, "2024/05/17", false},
        {3, 2, CellKind::Date, "08:30", false},
        {4, 2, CellKind::Date, "2024/05/17 08:30", false},
        {5, 2, CellKind::Bool, "TRUE", false},
        {6, 2, CellKind::Bool, "FALSE", false},
        {7, 2, CellKind::String, "门禁 控制器", true},
        {8, 2, CellKind::Number, "3.14159", false},
        {9, 2, CellKind::Date, "2024/12/07", false},
        {11, 2, CellKind::String, "0012", true},
        {12, 2, CellKind::Date, "2025/01/02", false},  // date-time at midnight
        {1, 3, CellKind::Empty, "", true},             // formula without a computed value
        {20, 1, CellKind::String, "shared 0012", true},
        {20, 2, CellKind::String, "rich text", true},
    };
    for (const char* system : {"write", "write1904"})
        for (const Row& r : rows)
            QTest::addRow("%s %c%d", system, 'A' + r.c - 1, r.r)
                << system << "" << r.r << r.c << int(r.kind) << QString::fromUtf8(r.text)
                << r.phone;
    // The raw serial 45000 under a date format names another day in each system.
    QTest::addRow("write B10") << "write"
                               << "" << 10 << 2 << int(CellKind::Date) << "2023/03/15" << false;
    QTest::addRow("write1904 B10") << "write1904"
                                   << "" << 10 << 2 << int(CellKind::Date) << "2027/03/16" << false;
}

void TestOfficeInterop::openpyxlWorkbook_readsAsShown() {
    QFETCH(QString, system);
    QFETCH(int, row);
    QFETCH(int, column);
    QFETCH(int, kind);
    QFETCH(QString, text);
    QFETCH(bool, phone);
    const QString file = dir_.filePath(system + ".xlsx");
    if (!QFileInfo::exists(file)) {
        QByteArray ignored;
        RUN_PY(ignored, kProbe, system, file);
    }
    Workbook book;
    QVERIFY2(book.open(file), qPrintable(book.errorText()));
    const auto cell = book.cell(row, column);
    QCOMPARE(cell.text, text);
    QCOMPARE(int(cell.kind), kind);
    QCOMPARE(book.shownText(row, column), text);
    QCOMPARE(office::usableAsPhoneNumber(cell), phone);
}

void TestOfficeInterop::legacyXls_reads_data() {
    QTest::addColumn<int>("row");
    QTest::addColumn<int>("column");
    QTest::addColumn<int>("kind");
    QTest::addColumn<QString>("text");
    QTest::newRow("A1 header") << 1 << 1 << int(CellKind::String) << "Serial";
    QTest::newRow("B1 header") << 1 << 2 << int(CellKind::String) << "Authorized number";
    QTest::newRow("A2 text zeros") << 2 << 1 << int(CellKind::String) << "0012";
    QTest::newRow("B2 date") << 2 << 2 << int(CellKind::Date) << "2024/05/17";
    QTest::newRow("A3 whole") << 3 << 1 << int(CellKind::Number) << "12345";
    QTest::newRow("B3 time") << 3 << 2 << int(CellKind::Date) << "08:30";
    QTest::newRow("A4 fraction") << 4 << 1 << int(CellKind::Number) << "2.5";
    QTest::newRow("B4 date-time") << 4 << 2 << int(CellKind::Date) << "2024/05/17 08:30";
    QTest::newRow("A5 telephone") << 5 << 1 << int(CellKind::Number) << "13800138000";
    QTest::newRow("B5 chinese") << 5 << 2 << int(CellKind::String)
                                << QString::fromUtf8("门禁 控制器");
    QTest::newRow("A6 negative") << 6 << 1 << int(CellKind::Number) << "-5";
    QTest::newRow("A7 plus") << 7 << 1 << int(CellKind::String) << "+8613800138000";
    QTest::newRow("B7 formula-like") << 7 << 2 << int(CellKind::String) << "=1+1";
    QTest::newRow("C8 empty") << 8 << 3 << int(CellKind::Empty) << "";
    QTest::newRow("D10 after gap") << 10 << 4 << int(CellKind::String) << "D10";
}

void TestOfficeInterop::legacyXls_reads() {
    QFETCH(int, row);
    QFETCH(int, column);
    QFETCH(int, kind);
    QFETCH(QString, text);
    // Named .xlsx on purpose: the content decides how it is read.
    const QString file = dir_.filePath("legacy-named.xlsx");
    if (!QFileInfo::exists(file)) QVERIFY(QFile::copy(OFFICE_DATA_DIR "/legacy.xls", file));
    Workbook book;
    QVERIFY2(book.open(file), qPrintable(book.errorText()));
    QCOMPARE(book.value(row, column), text);
    QCOMPARE(int(book.cell(row, column).kind), kind);
}

void TestOfficeInterop::legacyXls_cutShort_refused() {
    QFile fixture(OFFICE_DATA_DIR "/legacy.xls");
    QVERIFY(fixture.open(QIODevice::ReadOnly));
    const QByteArray bytes = fixture.readAll();
    for (const qsizetype keep : {qsizetype(512), bytes.size() / 2, bytes.size() - 100}) {
        Workbook book;
        QVERIFY2(!book.openBytes(bytes.left(keep), "cut.xls"), qPrintable(QString::number(keep)));
        QVERIFY2(book.errorText().startsWith("\"cut.xls\" cannot be read as a workbook: "),
                 qPrintable(book.errorText()));
    }
}

QTEST_GUILESS_MAIN(TestOfficeInterop)
#include "test_office_interop.moc"
