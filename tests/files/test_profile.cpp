// Settings profile workbook: round trips of the grid and the six choice
// lists, the import's checks (nothing changes unless the whole profile can
// be taken), dialogs, status texts and progress.

#include <QtTest>

#include "../settings/page_bytes.h"
#include "app/file_buttons.h"
#include "files_fixture.h"
#include "office/settings_profile.h"
#include "office/workbook.h"

using office::Workbook;
using Choice = SettingsSheet::Choice;

namespace {

// Puts each choice list's shown text into its content cell, as the settings
// page does when a list is left.
void syncChoiceCells(SettingsSheet& sheet) {
    for (int c = 0; c < SettingsSheet::ChoiceCount; ++c)
        sheet.setContent(SettingsSheet::rowOf(Choice(c)), sheet.choiceText(Choice(c)));
}

std::array<int, SettingsSheet::ChoiceCount> choices(const SettingsSheet& sheet) {
    std::array<int, SettingsSheet::ChoiceCount> out{};
    for (int c = 0; c < SettingsSheet::ChoiceCount; ++c) out[c] = sheet.choice(Choice(c));
    return out;
}

// A profile from the start contents with `cells` ("B4=x:NO") written over it.
bool writeProfile(const QString& path, const QStringList& cells) {
    SettingsSheet sheet;
    sheet.fillStartContents();
    Workbook book;
    profile::fillWorkbook(sheet, book);
    for (const QString& spec : cells) {
        const int eq = spec.indexOf(u'=');
        const QString ref = spec.left(eq);
        book.setText(ref.mid(1).toInt(), ref[0].unicode() - 'A' + 1, spec.mid(eq + 1));
    }
    return book.saveAs(path);
}

}  // namespace

class TestProfile : public QObject {
    Q_OBJECT
    FilesFixture fx;

private slots:
    void init() { fx.reset(); }

    void dialogs_data();
    void dialogs();
    void roundTrip_data();
    void roundTrip();
    void exportedCells();
    void importLoadsContentAndDescriptions();
    void importRefused_nothingChanged_data();
    void importRefused_nothingChanged();
    void digitWithoutItem_noSelection();
    void noSelection_keepsItsByte_data();
    void noSelection_keepsItsByte();
    void anyDevicePage_throughTheProfile_data();
    void anyDevicePage_throughTheProfile();
    void statusAndProgress();
};

void TestProfile::dialogs_data() {
    QTest::addColumn<bool>("exporting");
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QString>("filter");
    QTest::addColumn<QString>("proposed");
    QTest::newRow("Export profile") << true << "save"
                                    << "EXCEL file|*.xlsx;*.xls|(*.*)|*.*"
                                    << "basicinf_R2026-12-07_12-54-25";
    QTest::newRow("Import profile") << false << "open"
                                    << "EXCEL file|*.xls;*.xlsx|(*.*)|*.*"
                                    << "";
}

void TestProfile::dialogs() {
    QFETCH(bool, exporting);
    QFETCH(QString, kind);
    QFETCH(QString, filter);
    QFETCH(QString, proposed);
    Tcustomstringgrid_basis basis(*fx.session);
    basis.clock = [] { return QDateTime(QDate(2026, 12, 7), QTime(12, 54, 25)); };
    const auto grid = fx.session->settings.grid.snapshot();
    const auto lists = choices(fx.session->settings);
    exporting ? basis.ExportProfile() : basis.ImportProfile();  // cancelled
    QCOMPARE(fx.shownKinds(), QStringList{kind});
    QCOMPARE(fx.prompts.shown[0].text, filter);
    QCOMPARE(fx.prompts.shown[0].dir, fx.session->ConfigDir);
    QCOMPARE(fx.prompts.shown[0].proposed, proposed);
    QVERIFY(fx.files().isEmpty());
    QCOMPARE(fx.session->settings.grid.snapshot(), grid);
    QVERIFY(choices(fx.session->settings) == lists);
    QVERIFY(fx.statuses.isEmpty());
}

void TestProfile::roundTrip_data() {
    QTest::addColumn<QList<int>>("lists");  // cbb1, cbb2, cbb4, cbb3, cbb10, cbb12
    QTest::newRow("start contents") << QList<int>{1, 1, 0, 1, 3, 3};
    QTest::newRow("first items") << QList<int>{0, 0, 0, 0, 0, 0};
    QTest::newRow("last items") << QList<int>{1, 1, 1, 1, 3, 3};
    QTest::newRow("mixed") << QList<int>{0, 1, 1, 0, 1, 2};
}

void TestProfile::roundTrip() {
    QFETCH(QList<int>, lists);
    SettingsSheet& sheet = fx.session->settings;
    for (int c = 0; c < SettingsSheet::ChoiceCount; ++c) sheet.setChoice(Choice(c), lists[c]);
    syncChoiceCells(sheet);
    sheet.setContent(1, "0123");
    sheet.setContent(2, "1234567890123456789012");
    sheet.setContent(5, QString::fromUtf8("门禁报警 =1+1"));
    sheet.setContent(6, "@alarm, \"2\"");
    sheet.setContent(18, "");
    sheet.setContent(19, "00080");
    sheet.grid.setText(2, 7, "-5");

    fx.prompts.fileNames << fx.path("profile");
    Tcustomstringgrid_basis(*fx.session).ExportProfile();
    QCOMPARE(fx.files(), QStringList{"profile.xlsx"});
    QVERIFY(fx.prompts.texts().isEmpty());

    RecordingPrompts prompts2;
    DeviceSession other(prompts2);
    prompts2.fileNames << fx.path("profile.xlsx");
    Tcustomstringgrid_basis(other).ImportProfile();
    QVERIFY2(prompts2.texts().isEmpty(), qPrintable(prompts2.texts().join(" / ")));
    for (int r = 0; r <= 22; ++r)
        for (int c = 0; c < 3; ++c) QCOMPARE(other.settings.grid.text(c, r), sheet.grid.text(c, r));
    QVERIFY(choices(other.settings) == choices(sheet));
}

void TestProfile::exportedCells() {
    SettingsSheet& sheet = fx.session->settings;
    sheet.setChoice(SettingsSheet::Cbb1, 0);
    sheet.setContent(3, "stale");  // the list's shown text wins in B4
    const profile::Outcome out = profile::exportProfile(sheet, fx.path("p.xls"));
    QVERIFY2(out.ok, qPrintable(out.text));
    QCOMPARE(out.path, fx.path("p.xlsx"));
    QVERIFY(out.text.contains("p.xlsx"));  // the note about the legacy name
    Workbook book;
    QVERIFY(book.open(out.path));
    QCOMPARE(book.value(1, 1), QString("Items"));
    QCOMPARE(book.value(1, 2), QString("Content"));
    QCOMPARE(book.value(1, 3), QString("Description"));
    QCOMPARE(book.value(2, 1), QString("1.Password"));
    QCOMPARE(book.value(23, 1), QString("22.GPRS Password"));
    QCOMPARE(book.value(2, 2), QString("5729"));
    QCOMPARE(book.value(4, 2), QString("0:NC "));
    QCOMPARE(book.value(5, 2), QString("1:NO"));
    QCOMPARE(book.value(9, 2), QString("0:Disarm"));
    QCOMPARE(book.value(10, 2),
             QString("1:Only the authorized number can call to control the relay"));
    QCOMPARE(book.value(12, 2), QString("3:Admin Number;Caller Number"));
    QCOMPARE(book.value(13, 2), QString("3:Admin Number;Caller Number"));
    QCOMPARE(book.value(2, 3), QString("Default Password:5729"));
    QCOMPARE(book.cell(24, 1).kind, office::CellKind::Empty);
    QCOMPARE(book.cell(1, 4).kind, office::CellKind::Empty);
}

void TestProfile::importLoadsContentAndDescriptions() {
    const QString file = fx.path("p.xlsx");
    QVERIFY(writeProfile(file, {"A2=ignored name", "B2=123456", "C2=new description",
                                "B6=", "B4=0:NC ", "B12=1:Admin Number"}));
    SettingsSheet& sheet = fx.session->settings;
    QVERIFY(profile::importProfile(sheet, file).ok);
    QCOMPARE(sheet.content(1), QString("123456"));  // all six digits
    QCOMPARE(sheet.grid.text(2, 1), QString("new description"));
    QCOMPARE(sheet.grid.text(0, 1), QString("1.Password"));
    QCOMPARE(sheet.content(5), QString());
    QCOMPARE(sheet.content(3), QString("0:NC "));
    QCOMPARE(sheet.choice(SettingsSheet::Cbb1), 0);
    QCOMPARE(sheet.choice(SettingsSheet::Cbb10), 1);
}

void TestProfile::importRefused_nothingChanged_data() {
    QTest::addColumn<QStringList>("cells");
    QTest::addColumn<QString>("message");  // exact, or "~part"
    QTest::newRow("A1 not Items") << QStringList{"A1=Serial", "B2=1111"}
                                  << "Wrong format of the setting profile";
    QTest::newRow("A1 empty") << QStringList{"A1="} << "Wrong format of the setting profile";
    QTest::newRow("letter in cbb1")
        << QStringList{"B2=1111", "B4=x:NO"} << "'x' is not a valid integer value";
    QTest::newRow("empty cbb12") << QStringList{"B2=1111", "B13="}
                                 << "'' is not a valid integer value";
    QTest::newRow("blank before cbb3's digit")
        << QStringList{"B10= 1"} << "' ' is not a valid integer value";
    QTest::newRow("sign in cbb10") << QStringList{"B12=-1"} << "'-' is not a valid integer value";
    QTest::newRow("not a workbook") << QStringList{"!text"} << "~cannot be read as a workbook";
}

void TestProfile::importRefused_nothingChanged() {
    QFETCH(QStringList, cells);
    QFETCH(QString, message);
    const QString file = fx.path("p.xlsx");
    if (cells == QStringList{"!text"})
        QVERIFY(writeAll(file, "Items,Content\r\n"));
    else
        QVERIFY(writeProfile(file, cells));
    SettingsSheet& sheet = fx.session->settings;
    sheet.setChoice(SettingsSheet::Cbb1, 0);
    sheet.setContent(1, "9999");
    const auto grid = sheet.grid.snapshot();
    const auto lists = choices(sheet);
    fx.prompts.fileNames << file;
    Tcustomstringgrid_basis(*fx.session).ImportProfile();
    QCOMPARE(fx.shownKinds(), (QStringList{"open", "message"}));
    if (message.startsWith(u'~'))
        QVERIFY2(fx.prompts.last().contains(message.mid(1)), qPrintable(fx.prompts.last()));
    else
        QCOMPARE(fx.prompts.last(), message);
    QCOMPARE(sheet.grid.snapshot(), grid);
    QVERIFY(choices(sheet) == lists);
}

void TestProfile::digitWithoutItem_noSelection() {
    const QString file = fx.path("p.xlsx");
    QVERIFY(writeProfile(file, {"B4=7:Other", "B9=2", "B13=0:None"}));
    SettingsSheet& sheet = fx.session->settings;
    QVERIFY(profile::importProfile(sheet, file).ok);
    QCOMPARE(sheet.choice(SettingsSheet::Cbb1), -1);
    QCOMPARE(sheet.choice(SettingsSheet::Cbb4), -1);
    QCOMPARE(sheet.choice(SettingsSheet::Cbb12), 0);
    QCOMPARE(sheet.choice(SettingsSheet::Cbb2), 1);
    QCOMPARE(sheet.content(3), QString("7:Other"));
    QCOMPARE(int(sheet.choiceByte(SettingsSheet::Cbb1)), 0xFF);  // saved as 0xFF
}

// A list without selection (an erased or foreign device) is exported in a
// form that the import turns back into that list and byte.
void TestProfile::noSelection_keepsItsByte_data() {
    QTest::addColumn<int>("byte");  // the device byte of cbb10
    QTest::addColumn<QString>("cell");
    QTest::newRow("erased") << 0xFF << "No selection (byte 0xFF)";
    QTest::newRow("beyond the items") << 0x04 << "No selection (byte 0x04)";
    QTest::newRow("typed by hand") << 0x2A << "no selection (BYTE 0x2a)";
}

void TestProfile::noSelection_keepsItsByte() {
    QFETCH(int, byte);
    QFETCH(QString, cell);
    SettingsSheet& sheet = fx.session->settings;
    sheet.setChoice(SettingsSheet::Cbb10, byte);
    const profile::Outcome out = profile::exportProfile(sheet, fx.path("p.xlsx"));
    QVERIFY2(out.ok, qPrintable(out.text));
    Workbook book;
    QVERIFY(book.open(out.path));
    QCOMPARE(book.value(12, 2).toLower(), cell.toLower());

    QVERIFY(writeProfile(fx.path("q.xlsx"), {"B12=" + cell}));
    SettingsSheet other;
    other.fillStartContents();
    const profile::Outcome in = profile::importProfile(other, fx.path("q.xlsx"));
    QVERIFY2(in.ok, qPrintable(in.text));
    QCOMPARE(other.choice(SettingsSheet::Cbb10), -1);
    QCOMPARE(int(other.choiceByte(SettingsSheet::Cbb10)), byte);
}

// Any device's pages, read into the sheet, exported as a profile and
// imported again, are saved byte for byte: random bytes in every text
// field (0x00, 0x80, lone lead bytes, bad trail bytes), lists that do or do
// not name an item.
void TestProfile::anyDevicePage_throughTheProfile_data() {
    QTest::addColumn<bool>("strayLists");
    QTest::newRow("list bytes name items") << false;
    QTest::newRow("list bytes name no item") << true;
}

void TestProfile::anyDevicePage_throughTheProfile() {
    QFETCH(bool, strayLists);
    QRandomGenerator random(1414 + strayLists);
    const QString file = fx.path("device.xlsx");
    for (int i = 0; i < 1000; ++i) {
        const RandomPages device = randomPages(random, strayLists);
        SettingsSheet read;
        read.fillStartContents();
        settings::DecodeState state;
        settings::decodePage(1, device.page[0], read, state);
        settings::decodePage(2, device.page[1], read, state);
        const profile::Outcome out = profile::exportProfile(read, file);
        QVERIFY2(out.ok, qPrintable(out.text));

        SettingsSheet loaded;
        loaded.fillStartContents();
        const profile::Outcome in = profile::importProfile(loaded, file);
        QVERIFY2(in.ok, qPrintable(in.text));
        for (int p = 1; p <= 2; ++p) {
            settings::Page saved;
            const auto refused = settings::encodePage(p, loaded, saved);
            QVERIFY2(!refused, refused ? qPrintable(*refused) : "");
            QCOMPARE(toBytes(saved).toHex(' '), toBytes(device.page[p - 1]).toHex(' '));
        }
    }
}

void TestProfile::statusAndProgress() {
    fx.prompts.fileNames << fx.path("p");
    Tcustomstringgrid_basis(*fx.session).ExportProfile();
    QCOMPARE(fx.statuses, QStringList{"Save profile"});
    // r * 100 / 22 for r = 0..22: 0 (no change), 4, 9, ... 95, 100 (hidden).
    QCOMPARE(fx.bars.size(), 22);
    QCOMPARE(fx.bars.first(), qMakePair(4, true));
    QCOMPARE(fx.bars[20], qMakePair(95, true));
    QCOMPARE(fx.bars.last(), qMakePair(100, false));

    fx.statuses.clear();
    fx.bars.clear();
    fx.prompts.fileNames << fx.path("p.xlsx");
    Tcustomstringgrid_basis(*fx.session).ImportProfile();
    QVERIFY(fx.statuses.endsWith("Load profile"));
    QCOMPARE(fx.bars.first(), qMakePair(4, true));
    QCOMPARE(fx.bars.last(), qMakePair(100, false));
}

QTEST_GUILESS_MAIN(TestProfile)
#include "test_profile.moc"
