// The settings tab over the real serial link against the virtual device:
// log-in, "Read Settings" into the grid and the choice lists, "Save Settings"
// into the device memory, a refused write and a silent device.
#include <QComboBox>
#include <QPushButton>
#include <QtTest>

#include "page_bytes.h"
#include "sim_harness.h"
#include "ui/settings_tab.h"

namespace {

const char* kReadDone = "Basic settings read to PC software success.";
const char* kSaveDone = "Basic setting saved success";

QByteArray bytes(const settings::Page& p) {
    return toBytes(p);
}

}  // namespace

class TestSettingsDevice : public QObject {
    Q_OBJECT

    static void click(SettingsPage& page, const char* name) {
        QTest::mouseClick(page.findChild<QPushButton*>(name), Qt::LeftButton);
    }

private slots:
    void login_data() {
        QTest::addColumn<QByteArray>("devicePassword");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<bool>("unlocked");
        QTest::newRow("factory password") << QByteArray("5729") << "5729" << true;
        QTest::newRow("wrong password") << QByteArray("5729") << "5728" << false;
        QTest::newRow("five characters") << QByteArray("5729") << "57290" << false;
        QTest::newRow("other letter case") << QByteArray("AbCd") << "aBcD" << true;
    }
    void login() {
        QFETCH(QByteArray, devicePassword);
        QFETCH(QString, typed);
        QFETCH(bool, unlocked);
        SimHarness h;
        putBytes(h.device, vdev::Region::Settings, 1, 0, devicePassword);
        QVERIFY(h.start());
        QCOMPARE(h.login(typed), unlocked);
        QCOMPARE(h.prompts.texts(),
                 QStringList{unlocked ? "Password confirmed!" : "Password Error!"});
        // The log-in reads the page for the password only.
        QCOMPARE(h.session->settings.content(1), QString("5729"));
    }

    void readSettings_fillsGridAndLists() {
        SimHarness h;
        settings::Page p1 = blankPage(), p2 = blankPage();
        put(p1, 0, "8642");
        put(p1, 4, QByteArray("+8613800138000\0", 15));
        put(p1, 26, QByteArray::fromHex("0100"));
        put(p1, 28, gbkBytes("门开").append('\0'));
        put(p1, 108,
            QByteArray::fromHex("1E00"
                                "0001"
                                "05000500"
                                "0102"));
        put(p1, 198,
            QByteArray::fromHex("3C00"
                                "0000"
                                "1800"));
        put(p1, 204, "gprs.example.net");
        put(p1, 236, QByteArray::fromHex("901F"));
        put(p1, 238, "cmnet");
        put(p1, 254, "op");
        put(p2, 0, "erator");
        put(p2, 14, "s3cret");
        h.device.setPageBytes(vdev::Region::Settings, 1, bytes(p1));
        h.device.setPageBytes(vdev::Region::Settings, 2, bytes(p2));
        QVERIFY(h.start());
        QVERIFY(h.login("8642"));

        SettingsPage page(*h.session);
        page.show();
        click(page, "btn21");
        QVERIFY(h.waitForMessage(kReadDone));
        QCOMPARE(h.prompts.texts(),
                 (QStringList{"Password confirmed!",
                              "Read the GSM device basic parameters to PC software?", kReadDone}));

        const SettingsSheet& sheet = h.session->settings;
        const QStringList want = {"8642",
                                  "+8613800138000",
                                  "",
                                  "",
                                  QString::fromUtf8("门开"),
                                  "",
                                  "30",
                                  "",
                                  "",
                                  "5",
                                  "",
                                  "",
                                  "",
                                  "",
                                  "0",
                                  "24",
                                  "60",
                                  "gprs.example.net",
                                  "8080",
                                  "cmnet",
                                  "operator",
                                  "s3cret"};
        for (int r = 1; r <= 22; ++r) QCOMPARE(sheet.content(r), want[r - 1]);
        const QStringList lists = {"1:NO",           "0:NC ",
                                   "1:Arm",          "0:All number can call to control the Relay",
                                   "1:Admin Number", "2:Caller Number"};
        for (int c = 0; c < SettingsSheet::ChoiceCount; ++c) {
            QComboBox* box = page.choiceList(SettingsSheet::Choice(c));
            QCOMPARE(box->currentText(), lists[c]);
            QVERIFY(box->isVisible());
        }
        QCOMPARE(h.device.requestCount(0x83), 3);  // log-in, page 1, page 2
    }

    // After a log-in whose reply never came, "Read Settings" still fills the grid.
    void readSettings_afterLostLogin() {
        SimHarness h;
        vdev::Faults silent;
        silent.silent = true;
        QVERIFY(h.start(silent));
        h.feedback().bar.tmr1.setInterval(300);
        h.link().login.passwordBox = [] { return QString("5729"); };
        h.link().login.Login();
        QVERIFY(h.waitForMessage("Receive timeout", 3000));
        putBytes(h.device, vdev::Region::Settings, 1, 0, "1111");
        h.device.setFaults({});

        h.session->basicInf.readSettings();
        QVERIFY(h.waitForMessage(kReadDone));
        QCOMPARE(h.session->settings.content(1), QString("1111"));
        QVERIFY(!h.prompts.texts().contains("Password Error!"));
    }

    void saveSettings_leavesBothPagesInDevice() {
        SimHarness h;
        h.device.setPageBytes(vdev::Region::Settings, 2, QByteArray(256, 'z'));
        QVERIFY(h.start());
        QVERIFY(h.login());
        SettingsPage page(*h.session);
        page.show();
        SettingsSheet& sheet = h.session->settings;
        sheet.setContent(19, "65535");
        sheet.setContent(21, "abcdefghijklmnop");
        sheet.setContent(22, "pw");
        page.choiceList(SettingsSheet::Cbb4)->setCurrentIndex(1);
        click(page, "btn22");
        QVERIFY(h.waitForMessage(kSaveDone));

        QByteArray want1 = startContentsPage1();
        want1[111] = 0x01;
        want1.replace(236, 2, QByteArray::fromHex("FFFF"));  // 65535 and "empty" read alike
        want1.replace(254, 2, "ab");
        QByteArray want2(256, char(0xFF));
        want2.replace(0, 14, "cdefghijklmnop");
        want2.replace(14, 2, "pw");
        QCOMPARE(h.device.pageBytes(vdev::Region::Settings, 1).toHex(' '), want1.toHex(' '));
        QCOMPARE(h.device.pageBytes(vdev::Region::Settings, 2).toHex(' '), want2.toHex(' '));
        QCOMPARE(h.device.requestCount(0x82), 2);
        QCOMPARE(h.prompts.texts(), (QStringList{"Password confirmed!", kSaveDone}));
    }

    void saveSettings_refusedWriteStops() {
        SimHarness h;
        vdev::Faults f;
        f.refuseWrites = true;
        QVERIFY(h.start(f));
        QVERIFY(h.login());
        const QByteArray before = h.device.pageBytes(vdev::Region::Settings, 1);
        h.session->basicInf.saveSettings();
        QVERIFY(h.waitForMessage("Basic setting error"));
        QTest::qWait(300);
        QCOMPARE(h.device.requestCount(0x82), 1);
        QCOMPARE(h.prompts.count("Basic setting error"), 1);
        QVERIFY(!h.prompts.texts().contains(kSaveDone));
        QCOMPARE(h.device.pageBytes(vdev::Region::Settings, 1), before);
    }

    void saveSettings_unstorableCellSendsNothing() {
        SimHarness h;
        QVERIFY(h.start());
        QVERIFY(h.login());
        h.session->settings.setContent(19, "70000");
        h.session->basicInf.saveSettings();
        QTest::qWait(200);
        QCOMPARE(h.device.requestCount(0x82), 0);
        QCOMPARE(h.prompts.texts().last(),
                 QString("19.Server Port(0-65535): '70000' is out of range (0 to 65535)"));
    }

    void silentDevice_receiveTimeoutOnce_data() {
        QTest::addColumn<bool>("save");
        QTest::newRow("read") << false;
        QTest::newRow("save") << true;
    }
    void silentDevice_receiveTimeoutOnce() {
        QFETCH(bool, save);
        SimHarness h;
        vdev::Faults f;
        f.silent = true;
        QVERIFY(h.start(f));
        // The real watchdog: 3 seconds, then one retry.
        if (save)
            h.session->basicInf.saveSettings();
        else
            h.session->basicInf.readSettings();
        QVERIFY(h.waitForMessage("Receive timeout", 8000));
        QTest::qWait(500);
        QCOMPARE(h.prompts.count("Receive timeout"), 1);
        QCOMPARE(h.device.totalRequests(), 2);
    }
};

QTEST_MAIN(TestSettingsDevice)
#include "test_settings_device.moc"
