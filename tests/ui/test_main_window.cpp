// The window's start-up state and the Open/Close button against the virtual
// device.
#include <QCheckBox>
#include <QComboBox>
#include <QAction>
#include <QDir>
#include <QSettings>
#include <QTableView>
#include <QToolButton>
#include <QtTest>

#include "app/port_choice.h"
#include "settings/settings_sheet.h"
#include "recording_prompts.h"
#include "sim/virtual_device.h"
#include "ui/main_window.h"
#include "ui/port_combo.h"
#include "ui/qt_prompts.h"
#include "ui/status_strip.h"
#include "ui/string_grid.h"

namespace {

// "ttyUSB0=CP2102 USB to UART" -> {name, description}
QList<SerialPortEntry> portList(const QStringList& items) {
    QList<SerialPortEntry> list;
    for (const QString& item : items) list.append({item.section('=', 0, 0), item.section('=', 1)});
    return list;
}

}  // namespace

class TestMainWindow : public QObject {
    Q_OBJECT
    QTemporaryDir preferences;

private slots:
    void initTestCase() {
        // The remembered port goes to a folder of this run, not the user's.
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, preferences.path());
        QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, preferences.path());
    }

    void startUp_stateMatchesLayout() {
        RecordingPrompts prompts;
        TForm1 form(&prompts);
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        QCOMPARE(form.windowTitle(), QString("Varnel Configurator V1.7.3"));
        QCOMPARE(form.size(), QSize(1054, 653));
        QCOMPARE(form.minimumSize(), form.maximumSize());
        QVERIFY(!(form.windowFlags() & Qt::WindowMaximizeButtonHint));

        QCOMPARE(form.pgc->count(), 5);
        QCOMPARE(form.pgc->tabText(0), QString("Basic\r\nSettings"));
        QCOMPARE(form.pgc->tabText(1), QString("Number\r\nList"));
        QCOMPARE(form.pgc->tabText(2), QString("Historical\r\nData"));
        QCOMPARE(form.pgc->tabText(3), QString("Help"));
        QCOMPARE(form.pgc->tabText(4), QString("Traffic"));
        QVERIFY(form.chkVerify->isChecked());
        QVERIFY(form.session().link.verifyWrites);
        QVERIFY(form.btnStop->isHidden());
        QCOMPARE(form.pgc->currentIndex(), 0);
        QCOMPARE(form.img4->size(), QSize(761, 521));

        DeviceSession& s = form.session();
        QCOMPARE(s.settings.grid.columns(), 3);
        QCOMPARE(s.settings.grid.rows(), 23);
        QCOMPARE(s.settings.grid.text(1, 0), QString("Content"));
        QCOMPARE(s.settings.grid.text(0, 10),
                 QString("10.Relay swtich ON timer(0~999, Unit:Second)"));
        QCOMPARE(s.numbers.rows(), 3001);
        QCOMPARE(s.numbers.columns(), 8);
        QCOMPARE(s.numbers.text(3, 0), QString("Start Time "));
        QCOMPARE(s.numbers.text(0, 3000), QString("3000"));
        for (int r : {1, 1500, 3000}) {
            QCOMPARE(s.numbers.text(6, r), QString("no"));
            QCOMPARE(s.numbers.text(7, r), QString("no"));
        }
        QCOMPARE(s.history.rows(), 1001);
        QCOMPARE(s.history.text(1, 0), QString("No."));
        QCOMPARE(s.history.text(0, 1000), QString("1000"));

        // Every device button that exists starts disabled; the port and
        // log-in controls stay usable.
        for (const QString& name : Tpasswordverify::buttonNames())
            if (auto* b = form.findChild<QPushButton*>(name))
                QVERIFY2(!b->isEnabled(), qPrintable(name));
        QVERIFY(form.btn8->isEnabled());
        QVERIFY(form.btn1->isEnabled());
        QVERIFY(form.btn24->isHidden());
        QVERIFY(form.btn25->isHidden());
        QCOMPARE(form.edt3->text(), QString("5729"));
        QCOMPARE(form.btn8->text(), QString("Open"));
        QVERIFY(!form.stat1->portOpenShown());
        QCOMPARE(form.stat1->portCaption()->text(), QString("COM Port:"));

        QVERIFY(QDir(form.ConfigDir()).exists());
        QVERIFY(form.ConfigDir().endsWith("configuration/"));
        QVERIFY(prompts.shown.isEmpty());
    }

    void statusStrip_progressBarCoversLastPanelShortOf15() {
        RecordingPrompts prompts;
        TForm1 form(&prompts);
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        const QRect panel = form.stat1->panelRect(3);
        const QRect bar = form.stat1->progressBar()->geometry();
        QCOMPARE(bar.left(), panel.left());
        QCOMPARE(bar.right(), panel.right() - 15);
        QCOMPARE(bar.height(), panel.height());
        QCOMPARE(form.stat1->lampClosed()->geometry().topLeft(),
                 form.stat1->panelRect(1).topLeft() + QPoint(15, 2));
    }

    // The program builds the pages behind the first after its first frame:
    // they must come out as complete as when built at once, log-in state
    // included, and a tab chosen before that must get its page.
    void loginUnlocksEveryDeviceButton_data() {
        QTest::addColumn<bool>("deferred");
        QTest::newRow("pages built at once") << false;
        QTest::newRow("pages built after the first frame") << true;
    }
    void loginUnlocksEveryDeviceButton() {
        QFETCH(bool, deferred);
        RecordingPrompts prompts;
        TForm1 form(&prompts, nullptr,
                    deferred ? TForm1::PageBuilding::AfterFirstPaint
                             : TForm1::PageBuilding::AtOnce);
        QCOMPARE(form.pgc->count(), 5);
        QCOMPARE(form.pagesComplete(), !deferred);
        // The port list is read at once, or once the first frame is drawn.
        QCOMPARE(form.cbb9->listing(), !deferred);
        QSignalSpy listed(form.cbb9, &PortCombo::listed);
        form.session().link.login.UnlockButtons();
        if (deferred) {
            QVERIFY(!form.img4);
            // Everything on the first page is in the first frame, its choice
            // lists included.
            int listsInFirstFrame = -1;
            connect(&form, &TForm1::firstPainted, &form, [&] {
                listsInFirstFrame = 0;
                for (const QComboBox* box : form.pgc->widget(0)->findChildren<QComboBox*>())
                    listsInFirstFrame += box->isVisible();
            });
            form.show();
            QTRY_COMPARE(listsInFirstFrame, SettingsSheet::ChoiceCount);
            QTRY_VERIFY(form.pagesComplete());
            QTRY_COMPARE(listed.size(), 1);
            QCOMPARE(form.pgc->tabText(1), QString("Number\r\nList"));
            QCOMPARE(form.pgc->tabText(4), QString("Traffic"));
            QCOMPARE(form.pgc->currentIndex(), 0);
            QVERIFY(form.img4 && !form.img4->pixmap().isNull());
            QVERIFY(form.findChild<QTableView*>("lvTraffic"));

            TForm1 other(&prompts, nullptr, TForm1::PageBuilding::AfterFirstPaint);
            other.pgc->setCurrentIndex(2);
            QTRY_VERIFY(other.pagesComplete());
            QCOMPARE(other.pgc->currentIndex(), 2);
            QCOMPARE(other.pgc->currentWidget()->objectName(), QString("ts3"));
        }
        int found = 0;
        for (const QString& name : Tpasswordverify::buttonNames())
            if (auto* b = form.findChild<QPushButton*>(name)) {
                ++found;
                QVERIFY2(b->isEnabled(), qPrintable(name));
            }
        QVERIFY(found >= 2);
        form.session().link.login.LockButtons();
        QVERIFY(!form.btn24->isEnabled());
    }

    void openMissingPort_errorKeepsClosedState_secondClickTriesAgain() {
        RecordingPrompts prompts;
        TForm1 form(&prompts);
        form.cbb9->setEditText("  /dev/no-such-port-here\t");
        form.btn8Click();
        QCOMPARE(prompts.shown.size(), 1);
        QVERIFY(prompts.last().startsWith("COM Port error"));
        QCOMPARE(form.btn8->text(), QString("Open"));
        QVERIFY(!form.stat1->portOpenShown());
        QCOMPARE(form.clickCount(), 0);
        QCOMPARE(form.cm1.CommName, QString("/dev/no-such-port-here"));
        form.btn8Click();
        QCOMPARE(prompts.shown.size(), 2);
        QCOMPARE(form.clickCount(), 0);
    }

    void openAndClose_onVirtualDevice_captionAndLampFollow() {
        vdev::VirtualDevice device;
        const QString path = device.start();
        QVERIFY(!path.isEmpty());
        RecordingPrompts prompts;
        TForm1 form(&prompts);
        form.cbb9->setEditText(path);
        form.btn8Click();
        QVERIFY(prompts.shown.isEmpty());
        QCOMPARE(form.btn8->text(), QString("Close"));
        QVERIFY(form.stat1->portOpenShown());
        QCOMPARE(form.clickCount(), 1);
        form.btn8Click();
        QCOMPARE(form.btn8->text(), QString("Open"));
        QVERIFY(!form.stat1->portOpenShown());
        QVERIFY(!form.cm1.isOpen());
        QCOMPARE(form.clickCount(), 2);
    }

    void deviceUnplugged_whileOpen_returnsToClosedState() {
        vdev::VirtualDevice device;
        const QString path = device.start();
        RecordingPrompts prompts;
        TForm1 form(&prompts);
        form.cbb9->setEditText(path);
        form.btn8Click();
        QVERIFY(form.cm1.isOpen());
        device.stop();
        QTRY_COMPARE_WITH_TIMEOUT(form.btn8->text(), QString("Open"), 3000);
        QVERIFY(!form.stat1->portOpenShown());
        QCOMPARE(form.clickCount() % 2, 0);
        QVERIFY(!form.session().feedback.bar.statusText().isEmpty());
        // The next click opens again rather than closing.
        const QString again = device.start();
        form.cbb9->setEditText(again);
        form.btn8Click();
        QCOMPARE(form.btn8->text(), QString("Close"));
    }

    void stopButton_showsWhileTransferRuns_andCancels() {
        vdev::VirtualDevice device;
        vdev::Faults f;
        f.chunkSize = 32;
        f.chunkDelayMs = 3;  // slow replies: the read is still running when Esc comes
        device.setFaults(f);
        const QString path = device.start();
        RecordingPrompts prompts;
        TForm1 form(&prompts);
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        form.cbb9->setEditText(path);
        form.btn8Click();
        DeviceSession& s = form.session();
        s.numbers.setText(1, 1, "keep");
        s.telephoneSend.startRead(375);
        QTRY_VERIFY(!form.btnStop->isHidden());
        QTRY_VERIFY(s.telephoneSend.PageNext > 3);
        // Stop sits beside the progress bar, not over its end.
        QVERIFY(form.stat1->progressBar()->geometry().right() < form.btnStop->geometry().left());
        QTest::keyClick(&form, Qt::Key_Escape);
        QTRY_VERIFY_WITH_TIMEOUT(form.btnStop->isHidden(), 3000);
        const int sent = device.totalRequests();
        QVERIFY(sent < 375);
        QTest::qWait(300);
        QCOMPARE(device.totalRequests(), sent);
        QVERIFY(s.feedback.bar.statusText().startsWith("Stopped after page"));
        QVERIFY(prompts.texts().isEmpty());
        // The link is ready for the next operation.
        s.link.login.Login();
        QTRY_COMPARE_WITH_TIMEOUT(prompts.texts(), QStringList{"Password confirmed!"}, 5000);
    }

    void trafficPage_listsFramesOfALogin() {
        vdev::VirtualDevice device;
        const QString path = device.start();
        RecordingPrompts prompts;
        TForm1 form(&prompts);
        form.cbb9->setEditText(path);
        form.btn8Click();
        form.session().link.login.Login();
        QTRY_COMPARE(prompts.texts(), QStringList{"Password confirmed!"});
        TrafficLog& log = form.session().traffic;
        log.flush();
        QStringList frames;
        for (int i = 0; i < log.size(); ++i)
            if (log.at(i).direction != TrafficLog::Event)
                frames << log.data(log.index(i, TrafficLog::Dir), Qt::DisplayRole).toString() + " " +
                              log.data(log.index(i, TrafficLog::Checksum), Qt::DisplayRole).toString();
        QCOMPARE(frames, QStringList({"TX ok", "RX ok"}));
        // The status texts of the log-in are events between them.
        QVERIFY(log.toText().contains("Status: Password verifing"));
        auto* view = form.findChild<QTableView*>("lvTraffic");
        QVERIFY(view);
        QCOMPARE(view->model()->rowCount(), log.size());
    }

    void dialogFilters_translatedForQt_data() {
        QTest::addColumn<QString>("filter");
        QTest::addColumn<QString>("qt");
        QTest::newRow("export workbook") << "EXCEL file|*.xlsx;*.xls|(*.*)|*.*"
                                         << "EXCEL file (*.xlsx *.xls);;(*.*) (*)";
        QTest::newRow("import workbook") << "EXCEL file|*.xls;*.xlsx|(*.*)|*.*"
                                         << "EXCEL file (*.xls *.xlsx);;(*.*) (*)";
        QTest::newRow("csv") << "CVS file|*.cvs;*.cvs|(*.*)|*.*"
                             << "CVS file (*.cvs *.cvs);;(*.*) (*)";
    }
    void dialogFilters_translatedForQt() {
        QFETCH(QString, filter);
        QFETCH(QString, qt);
        QCOMPARE(QtPrompts::qtFilter(filter), qt);
    }

    // The list as the system gives it ("name=description"), a port asked for
    // with --port, the port of the last log-in: the order shown and the port
    // in the box.
    void portList_orderAndPreselection_data() {
        QTest::addColumn<QStringList>("system");
        QTest::addColumn<QString>("requested");
        QTest::addColumn<QString>("remembered");
        QTest::addColumn<QStringList>("shown");
        QTest::addColumn<QString>("chosen");
        const QStringList pc{"ttyS0", "ttyS1", "ttyUSB0=CP2102 USB to UART Bridge Controller"};
        const QStringList inOrder{"ttyUSB0", "ttyS0", "ttyS1"};
        QTest::newRow("USB adapter before legacy ports") << pc << "" << "" << inOrder << "ttyUSB0";
        QTest::newRow("numbers compare as numbers")
            << QStringList{"ttyUSB10", "ttyS10", "ttyUSB2", "ttyS2", "ttyACM0"} << "" << ""
            << QStringList{"ttyACM0", "ttyUSB2", "ttyUSB10", "ttyS2", "ttyS10"} << "ttyACM0";
        QTest::newRow("a description naming USB counts")
            << QStringList{"COM1=Communications Port", "COM7=USB-SERIAL CH340 (COM7)"} << "" << ""
            << QStringList{"COM7", "COM1"} << "COM7";
        QTest::newRow("other ports before ttyS")
            << QStringList{"ttyS0", "ttyAMA0"} << "" << "" << QStringList{"ttyAMA0", "ttyS0"}
            << "ttyAMA0";
        QTest::newRow("last log-in port when listed") << pc << "" << "ttyS1" << inOrder << "ttyS1";
        QTest::newRow("last log-in port gone") << pc << "" << "ttyUSB3" << inOrder << "ttyUSB0";
        QTest::newRow("last log-in path that exists")
            << pc << "" << "/dev/null" << inOrder << "/dev/null";
        QTest::newRow("last log-in path gone")
            << pc << "" << "/tmp/no-such-pty-here" << inOrder << "ttyUSB0";
        QTest::newRow("--port before everything")
            << pc << "/tmp/varnel-device" << "ttyS1" << inOrder << "/tmp/varnel-device";
        QTest::newRow("--port naming a listed port") << pc << "ttyS1" << "" << inOrder << "ttyS1";
        QTest::newRow("no ports") << QStringList{} << "" << "ttyS1" << QStringList{} << "";
    }
    void portList_orderAndPreselection() {
        QFETCH(QStringList, system);
        QFETCH(QString, requested);
        QFETCH(QString, remembered);
        QFETCH(QStringList, shown);
        QFETCH(QString, chosen);
        portchoice::remember(remembered);
        RecordingPrompts prompts;
        TForm1 form(&prompts);
        form.cbb9->source = [system] { return portList(system); };
        form.cbb9->setEditText("");
        form.cbb9->refresh(true);
        form.preselectPort(requested);
        QCOMPARE(form.cbb9->portNames(), shown);
        QCOMPARE(form.cbb9->currentText(), chosen);
        for (int i = 0; i < form.cbb9->count(); ++i)
            if (form.cbb9->itemText(i) == "ttyUSB0")
                QCOMPARE(form.cbb9->itemData(i, Qt::ToolTipRole).toString(),
                         QString("CP2102 USB to UART Bridge Controller"));
    }

    void logIn_remembersThePort_nextWindowStartsOnIt() {
        portchoice::remember("");
        vdev::VirtualDevice device;
        const QString path = device.start();
        RecordingPrompts prompts;
        {
            TForm1 form(&prompts);
            form.cbb9->setEditText(path);
            form.btn8Click();
            form.edt3->setText("0000");  // a refused log-in remembers nothing
            form.session().link.login.Login();
            QTRY_COMPARE(prompts.texts(), QStringList{"Password Error!"});
            QCOMPARE(portchoice::remembered(), QString());
            form.edt3->setText("5729");
            form.session().link.login.Login();
            QTRY_COMPARE(prompts.texts().size(), 2);
        }
        QCOMPARE(portchoice::remembered(), path);
        TForm1 next(&prompts);
        QCOMPARE(next.cbb9->currentText(), path);
    }

    // "Find the controller": a silent port, a missing one and the controller;
    // the box ends on the controller, every verdict is in the event list.
    void findController_picksTheAnsweringPort() {
        vdev::VirtualDevice silent, device;
        vdev::Faults f;
        f.silent = true;
        silent.setFaults(f);
        const QString quiet = silent.start(), good = device.start();
        RecordingPrompts prompts;
        TForm1 form(&prompts);
        form.cbb9->source = [&] {
            return QList<SerialPortEntry>{{quiet, {}}, {"/dev/no-such-port-here", {}}, {good, {}}};
        };
        form.cbb9->refresh(true);
        form.cbb9->findAction->trigger();
        QVERIFY(!form.btn8->isEnabled());
        QTRY_VERIFY_WITH_TIMEOUT(!form.portProbe()->running(), 10000);
        QCOMPARE(form.cbb9->currentText(), good);
        QCOMPARE(form.session().feedback.bar.statusText(), "Controller found on " + good);
        QVERIFY(form.btn8->isEnabled());
        QVERIFY(prompts.shown.isEmpty());
        QCOMPARE(device.requestCount(0x83), 1);
        QCOMPARE(silent.requestCount(0x83), 1);  // no retry while looking
        form.session().traffic.flush();
        const QString log = form.session().traffic.toText();
        QVERIFY2(log.contains("Find: " + quiet + ": no answer"), qPrintable(log));
        QVERIFY(log.contains("Find: /dev/no-such-port-here: cannot open"));
        QVERIFY(log.contains("Find: " + good + ": controller"));
        // While the window's own port is open, Find is off.
        form.btn8Click();
        QVERIFY(!form.cbb9->findAction->isEnabled());
        form.btn8Click();
        QVERIFY(form.cbb9->findAction->isEnabled());
    }

    void labels_endBeforeTheirBoxes_data() {
        QTest::addColumn<QString>("label");
        QTest::addColumn<QString>("box");
        QTest::newRow("COM Port:") << "lbl3" << "cbb9";
        QTest::newRow("Password:") << "lbl4" << "edt3";
    }
    void labels_endBeforeTheirBoxes() {
        QFETCH(QString, label);
        QFETCH(QString, box);
        RecordingPrompts prompts;
        TForm1 form(&prompts);
        auto* l = form.findChild<QLabel*>(label);
        auto* b = form.findChild<QWidget*>(box);
        QVERIFY(l && b);
        QVERIFY2(l->geometry().right() + 4 < b->x(),
                 qPrintable(QString("%1 ends at %2, box at %3")
                                .arg(label)
                                .arg(l->geometry().right())
                                .arg(b->x())));
    }

    void statusText_tooLongIsElidedWithTooltip_andLogged_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("elided");
        QTest::newRow("fits") << "Reading basic setting" << false;
        QTest::newRow("too long")
            << "Connection lost: /dev/pts/17 was disconnected (the adapter was unplugged)" << true;
    }
    void statusText_tooLongIsElidedWithTooltip_andLogged() {
        QFETCH(QString, text);
        QFETCH(bool, elided);
        RecordingPrompts prompts;
        TForm1 form(&prompts);
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        form.session().feedback.status.ShowStatus(text);
        QLabel* panel = form.stat1->statusLabel();
        QCOMPARE(form.stat1->statusText(), text);
        QCOMPARE(panel->text() != text, elided);
        QCOMPARE(panel->toolTip(), elided ? text : QString());
        if (elided) {
            QVERIFY(panel->text().endsWith(QChar(0x2026)));
            QVERIFY(panel->fontMetrics().horizontalAdvance(panel->text()) <= panel->width());
        }
        TrafficLog& log = form.session().traffic;
        log.flush();
        const QModelIndex last = log.index(log.rowCount() - 1, TrafficLog::Command);
        QCOMPARE(last.data(Qt::DisplayRole).toString(), "Status: " + text);
        QCOMPARE(last.data(Qt::ToolTipRole).toString(), "Status: " + text);
    }

    void portList_refreshKeepsTypedText() {
        PortCombo combo;
        combo.source = [] {
            return QList<SerialPortEntry>{{"ttyUSB0", "CP2102 USB to UART"}, {"ttyS0", ""}};
        };
        combo.refresh(true);
        QCOMPARE(combo.count(), 2);
        QCOMPARE(combo.currentText(), QString("ttyUSB0"));
        combo.setEditText("/tmp/my-device");
        combo.refresh(false);
        QCOMPARE(combo.currentText(), QString("/tmp/my-device"));
        QCOMPARE(combo.itemText(0), QString("ttyUSB0"));
        // Read on a worker, as at start-up: same list, typed text kept.
        combo.source = [] { return QList<SerialPortEntry>{{"ttyS0", ""}, {"ttyACM0", ""}}; };
        QSignalSpy listed(&combo, &PortCombo::listed);
        combo.refreshInBackground(false);
        QVERIFY(combo.listing());
        QTRY_COMPARE(listed.size(), 1);
        QVERIFY(!combo.listing());
        QCOMPARE(combo.portNames(), QStringList({"ttyACM0", "ttyS0"}));
        QCOMPARE(combo.currentText(), QString("/tmp/my-device"));
        // A refresh while the worker runs wins; the worker's answer is dropped.
        combo.refreshInBackground(true);
        combo.source = [] { return QList<SerialPortEntry>{{"ttyUSB3", ""}}; };
        combo.refresh(false);
        QCoreApplication::processEvents();  // the worker's answer is queued by now
        QCOMPARE(combo.portNames(), QStringList{"ttyUSB3"});
        QCOMPARE(listed.size(), 1);
    }
};

QTEST_MAIN(TestMainWindow)
#include "test_main_window.moc"
