// The file layouts against openpyxl: openpyxl reads the workbooks we write
// and sees exactly the grid's texts as text cells; workbooks openpyxl writes,
// with numbers, date and time cells and inline strings, import correctly.

#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QtTest>

#include "app/file_buttons.h"
#include "files_fixture.h"
#include "numbers/number_record.h"
#include "office/history_files.h"
#include "office/number_files.h"
#include "office/settings_profile.h"
#include "office/workbook.h"
#include "openpyxl_runner.h"

namespace {

const QString kProbe = QStringLiteral(OFFICE_TEST_DIR "/openpyxl_probe.py");  // read FILE
const QString kWriter =
    QStringLiteral(FILES_TEST_DIR "/openpyxl_files.py");  // numbers|badnumbers|profile FILE

QString cellRef(int row, int col) {
    return QChar(u'A' + col - 1) + QString::number(row);
}

// Every grid cell must come back from openpyxl as a text cell "@" with the
// grid's text (empty cells: no value, still "@"), and nothing else is there.
void compareCells(const QJsonObject& cells, const TextGrid& grid, int rows, int cols) {
    for (int r = 0; r < rows; ++r)
        for (int c = 0; c < cols; ++c) {
            const QString ref = cellRef(r + 1, c + 1);
            const QJsonObject cell = cells[ref].toObject();
            const QString text = grid.text(c, r);
            QVERIFY2(cells.contains(ref), qPrintable(ref));
            QCOMPARE(cell["format"].toString(), QString("@"));
            if (text.isEmpty()) {
                QVERIFY2(cell["value"].isNull(), qPrintable(ref));
            } else {
                QCOMPARE(cell["value"].toString(), text);
                QCOMPARE(cell["type"].toString(), QString("s"));
            }
        }
    QCOMPARE(cells.size(), rows * cols);
}

void compareWidths(const QJsonObject& widths, const QList<double>& expected) {
    for (int c = 0; c < expected.size(); ++c) {
        const QString letter(QChar(u'A' + c));
        if (expected[c] == 0) {
            QVERIFY2(!widths.contains(letter), qPrintable(letter));
            continue;
        }
        // Stored with the spreadsheet's cell padding added.
        const double w = widths[letter].toDouble();
        QVERIFY2(w >= expected[c] && w < expected[c] + 1,
                 qPrintable(letter + " " + QString::number(w)));
    }
}

}  // namespace

class TestFilesInterop : public QObject {
    Q_OBJECT
    FilesFixture fx;

private slots:
    void init() { fx.reset(); }

    void ourNumberList_openpyxlSeesTexts();
    void ourHistory_openpyxlSeesTexts();
    void ourProfile_openpyxlSeesTexts();
    void openpyxlNumberList_imports();
    void openpyxlNumberList_inexactNumbers_refused();
    void openpyxlProfile_imports();
};

void TestFilesInterop::ourNumberList_openpyxlSeesTexts() {
    TextGrid& grid = fx.session->numbers;
    grid.setRows(1,
                 {{"0012", "2024/05/17", "08:30", "2025-01-02", "18:05", "no", "no"},
                  {"+8613800138000", "", "", "", "", "yes", "no"},
                  {"1234567890123456789012", "", "", "", "", "yes", "yes"},
                  {QString::fromUtf8("门禁"), "", "", "", "", "yes", "no"}},
                 numrec::Number);
    const numfiles::Outcome out = numfiles::exportWorkbook(grid, fx.path("list"));
    QVERIFY2(out.ok(), qPrintable(out.text));
    QByteArray json;
    RUN_PY(json, kProbe, "read", out.path);
    const QJsonObject root = QJsonDocument::fromJson(json).object();
    compareCells(root["cells"].toObject(), grid, 3001, 8);
    compareWidths(root["widths"].toObject(), {4, 20, 16, 16, 16, 16, 0, 0});
}

void TestFilesInterop::ourHistory_openpyxlSeesTexts() {
    TextGrid& grid = fx.session->history;
    grid.setRows(
        1, {{"1", "300", "2024-03-09", "14:05:00", "Telephone", "Relay ON", "+123", "Door, 1"},
            {"2", "0301", "2024-03-09", "14:06:00", "SMS", "Relay OFF", "",
             QString::fromUtf8("门禁")}});
    const hisfiles::Outcome out = hisfiles::exportWorkbook(grid, fx.path("history.xlsx"));
    QVERIFY2(out.ok, qPrintable(out.text));
    QByteArray json;
    RUN_PY(json, kProbe, "read", out.path);
    const QJsonObject root = QJsonDocument::fromJson(json).object();
    compareCells(root["cells"].toObject(), grid, 1001, 8);
    compareWidths(root["widths"].toObject(), {5, 16, 13, 13, 16, 16, 22, 22});
}

void TestFilesInterop::ourProfile_openpyxlSeesTexts() {
    SettingsSheet& sheet = fx.session->settings;
    sheet.setContent(1, "0123");
    sheet.setContent(2, "1234567890123456789012");
    sheet.setChoice(SettingsSheet::Cbb1, 0);
    sheet.setChoice(SettingsSheet::Cbb10, 2);
    const profile::Outcome out = profile::exportProfile(sheet, fx.path("profile"));
    QVERIFY2(out.ok, qPrintable(out.text));
    QByteArray json;
    RUN_PY(json, kProbe, "read", out.path);
    const QJsonObject root = QJsonDocument::fromJson(json).object();
    const QJsonObject cells = root["cells"].toObject();
    // The grid with the choice lists' shown texts in their cells.
    TextGrid expected(3, 23);
    expected.restore(sheet.grid.snapshot());
    for (int c = 0; c < SettingsSheet::ChoiceCount; ++c)
        expected.setText(1, SettingsSheet::rowOf(SettingsSheet::Choice(c)),
                         sheet.choiceText(SettingsSheet::Choice(c)));
    int nonEmpty = 0;
    for (int r = 0; r <= 22; ++r)
        for (int c = 0; c < 3; ++c) {
            const QString text = expected.text(c, r);
            if (text.isEmpty()) continue;
            ++nonEmpty;
            const QJsonObject cell = cells[cellRef(r + 1, c + 1)].toObject();
            QCOMPARE(cell["value"].toString(), text);
            QCOMPARE(cell["type"].toString(), QString("s"));
        }
    QCOMPARE(cells["B2"].toObject()["value"].toString(), QString("0123"));
    QCOMPARE(cells["B4"].toObject()["value"].toString(), QString("0:NC "));
    QCOMPARE(cells["B12"].toObject()["value"].toString(), QString("2:Caller Number"));
    QVERIFY(nonEmpty > 60);
    compareWidths(root["widths"].toObject(), {85, 45, 130});
}

void TestFilesInterop::openpyxlNumberList_imports() {
    const QString file = fx.path("typed.xlsx");
    QByteArray ignored;
    RUN_PY(ignored, kWriter, "numbers", file);
    TextGrid& grid = fx.session->numbers;
    grid.setText(1, 10, "+gone");
    fx.prompts.fileNames << file;
    NumberFiles(*fx.session).btn14Click();
    QVERIFY2(fx.prompts.texts().isEmpty(), qPrintable(fx.prompts.texts().join(" / ")));
    const QStringList expected[] = {
        {"13800138000", "2024/05/17", "08:30", "2025/01/02", "18:05", "no", "no"},
        {"+8613800138000", "2024/05/17", "08:30", "2025-01-02", "18:05", "no", "no"},
        {"5550100", "", "", "", "", "yes", "no"},
        {"0012", "2024/12/31", "00:00", "2099/12/31", "23:59", "no", "no"},
        {"123456789012345", "", "", "", "", "yes", "no"},
        {"1234567890123456789012", "", "", "", "", "no", "no"},  // Delete(V) never read
    };
    for (int s = 1; s <= 6; ++s) {
        QCOMPARE(grid.text(0, s), QString::number(s));
        for (int c = 1; c <= 7; ++c) QCOMPARE(grid.text(c, s), expected[s - 1][c - 1]);
    }
    for (int s = 7; s <= 3000; ++s) {
        QCOMPARE(grid.text(1, s), QString());
        QCOMPARE(grid.text(6, s), QString("no"));
    }
}

void TestFilesInterop::openpyxlNumberList_inexactNumbers_refused() {
    const QString file = fx.path("bad.xlsx");
    QByteArray ignored;
    RUN_PY(ignored, kWriter, "badnumbers", file);
    const auto before = fx.session->numbers.snapshot();
    fx.prompts.fileNames << file;
    NumberFiles(*fx.session).btn14Click();
    QCOMPARE(fx.shownKinds(), (QStringList{"open", "message"}));
    QVERIFY2(fx.prompts.last().endsWith("3\rSerial: 7,9,11"), qPrintable(fx.prompts.last()));
    QVERIFY(fx.prompts.last().contains("15 digits"));
    QCOMPARE(fx.session->numbers.snapshot(), before);
}

void TestFilesInterop::openpyxlProfile_imports() {
    const QString file = fx.path("profile.xlsx");
    QByteArray ignored;
    RUN_PY(ignored, kWriter, "profile", file);
    SettingsSheet& sheet = fx.session->settings;
    const profile::Outcome out = profile::importProfile(sheet, file);
    QVERIFY2(out.ok, qPrintable(out.text));
    QCOMPARE(sheet.content(1), QString("5729"));
    QCOMPARE(sheet.content(2), QString("0012345678901234567890"));
    QCOMPARE(sheet.content(5), QString::fromUtf8("门禁报警"));
    QCOMPARE(sheet.content(3), QString("0"));
    QCOMPARE(sheet.grid.text(2, 22), QString("description 22"));
    QCOMPARE(sheet.grid.text(0, 1), QString("1.Password"));  // names are not read
    QCOMPARE(sheet.choice(SettingsSheet::Cbb1), 0);
    QCOMPARE(sheet.choice(SettingsSheet::Cbb2), 1);
    QCOMPARE(sheet.choice(SettingsSheet::Cbb4), 1);
    QCOMPARE(sheet.choice(SettingsSheet::Cbb3), 0);
    QCOMPARE(sheet.choice(SettingsSheet::Cbb10), 2);
    QCOMPARE(sheet.choice(SettingsSheet::Cbb12), 3);
}

QTEST_GUILESS_MAIN(TestFilesInterop)
#include "test_files_interop.moc"
