// The file buttons of the three tabs reach their operations: each opens its
// dialog in ConfigDir with its filter and a time-stamped proposed name, and a
// chosen name ends in the file (or, for an import, in the grid).

#include <QPushButton>
#include <QRegularExpression>
#include <QtTest>

#include "files_fixture.h"
#include "ui/history_tab.h"
#include "ui/numbers_tab.h"
#include "ui/settings_tab.h"

class TestFileButtons : public QObject {
    Q_OBJECT
    FilesFixture fx;
    std::unique_ptr<QWidget> page;

    void click(const QString& name) {
        auto* b = page->findChild<QPushButton*>(name);
        QVERIFY2(b, qPrintable(name));
        b->setEnabled(true);  // as after a log-in
        b->click();
    }

private slots:
    void init() { fx.reset(); }
    void cleanup() { page.reset(); }

    void dialogs_data();
    void dialogs();
    void exportThenImport_data();
    void exportThenImport();
};

void TestFileButtons::dialogs_data() {
    QTest::addColumn<QString>("tab");
    QTest::addColumn<QString>("button");
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QString>("filter");
    QTest::addColumn<QString>("proposed");  // pattern
    const QString xlsx = "EXCEL file|*.xlsx;*.xls|(*.*)|*.*";
    const QString xls = "EXCEL file|*.xls;*.xlsx|(*.*)|*.*";
    const QString cvs = "CVS file|*.cvs;*.cvs|(*.*)|*.*";
    const QString stamp = R"(\d{4}-\d\d-\d\d_\d\d-\d\d-\d\d)";
    QTest::newRow("btn15") << "numbers"
                           << "btn15"
                           << "save" << xlsx << "^telinf_R" + stamp + "$";
    QTest::newRow("btn14") << "numbers"
                           << "btn14"
                           << "open" << xls << "^$";
    QTest::newRow("btn3") << "numbers"
                          << "btn3"
                          << "save" << cvs << "^telinf_CSV" + stamp + "\\.cvs$";
    QTest::newRow("btn13") << "history"
                           << "btn13"
                           << "save" << xlsx << "^hisinf_R" + stamp + "$";
    QTest::newRow("btn18") << "history"
                           << "btn18"
                           << "save" << cvs << "^hisinf_CSV" + stamp + "\\.cvs$";
    QTest::newRow("btn17") << "settings"
                           << "btn17"
                           << "save" << xlsx << "^basicinf_R" + stamp + "$";
    QTest::newRow("btn16") << "settings"
                           << "btn16"
                           << "open" << xls << "^$";
}

void TestFileButtons::dialogs() {
    QFETCH(QString, tab);
    QFETCH(QString, button);
    QFETCH(QString, kind);
    QFETCH(QString, filter);
    QFETCH(QString, proposed);
    if (tab == "numbers") page = std::make_unique<NumbersPage>(*fx.session);
    if (tab == "history") page = std::make_unique<HistoryPage>(*fx.session);
    if (tab == "settings") page = std::make_unique<SettingsPage>(*fx.session);
    click(button);
    QCOMPARE(fx.shownKinds(), QStringList{kind});
    QCOMPARE(fx.prompts.shown[0].text, filter);
    QCOMPARE(fx.prompts.shown[0].dir, fx.session->ConfigDir);
    QVERIFY2(QRegularExpression(proposed).match(fx.prompts.shown[0].proposed).hasMatch(),
             qPrintable(fx.prompts.shown[0].proposed));
    QVERIFY(fx.files().isEmpty());
}

void TestFileButtons::exportThenImport_data() {
    QTest::addColumn<QString>("tab");
    QTest::newRow("numbers") << "numbers";
    QTest::newRow("settings") << "settings";
}

void TestFileButtons::exportThenImport() {
    QFETCH(QString, tab);
    const bool numbers = tab == "numbers";
    if (numbers)
        page = std::make_unique<NumbersPage>(*fx.session);
    else
        page = std::make_unique<SettingsPage>(*fx.session);
    TextGrid& grid = numbers ? fx.session->numbers : fx.session->settings.grid;
    grid.setText(1, 2, "0123");
    if (numbers) grid.setText(6, 2, "yes");  // a number without a window must be "Always"
    const auto exported = grid.snapshot();
    fx.prompts.fileNames << fx.path("out");
    click(numbers ? "btn15" : "btn17");
    QCOMPARE(fx.files(), QStringList{"out.xlsx"});

    grid.setText(1, 2, "changed");
    fx.prompts.fileNames << fx.path("out.xlsx");
    click(numbers ? "btn14" : "btn16");
    QVERIFY2(fx.shownKinds() == (QStringList{"save", "open"}),
             qPrintable(fx.prompts.texts().join(" / ")));
    QCOMPARE(grid.text(1, 2), QString("0123"));
    if (numbers) QCOMPARE(grid.snapshot(), exported);
}

QTEST_MAIN(TestFileButtons)
#include "test_file_buttons.moc"
