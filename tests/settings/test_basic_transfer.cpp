// The basic settings transfer through the dispatcher and the virtual device
// answering in-process: the read and save chains with their exact frames,
// status texts, progress values and messages, refused writes, refused cells,
// the abandoned log-in check, and a silent device.
#include <QSignalSpy>
#include <QtTest>

#include "page_bytes.h"
#include "session_rig.h"

namespace {

// A request frame as the device's side of the protocol writes it.
QByteArray frame(quint8 code, quint32 address, const QByteArray& payload = {}) {
    return vdev::encodeFrame(code, address, payload);
}

const char* kReadConfirm = "Read the GSM device basic parameters to PC software?";
const char* kReadDone = "Basic settings read to PC software success.";
const char* kSaveDone = "Basic setting saved success";

}  // namespace

class TestBasicTransfer : public QObject, SessionRig {
    Q_OBJECT

    bool messageShown(const QString& text) const { return prompts.texts().contains(text); }
    void putSettings(int page, int offset, const QByteArray& bytes) {
        putBytes(device, vdev::Region::Settings, page, offset, bytes);
    }

private slots:
    void init() {
        setUpRig();
        device = InProcessDevice::blankSettings();
    }
    void cleanup() { tearDownRig(); }

    void readChain_fillsSheetFromBothPages() {
        putSettings(1, 0, "1357");
        putSettings(1, 4, QByteArray("+441234\0", 8));
        putSettings(1, 26, QByteArray::fromHex("0001"));
        putSettings(1, 28, gbkBytes("门开").append('\0'));
        putSettings(1, 108,
            QByteArray::fromHex("0500"
                                "0001"
                                "07000900"
                                "02FF"));
        putSettings(1, 236, QByteArray::fromHex("901F"));
        putSettings(1, 254, "us");
        putSettings(2, 0, "er01");
        putSettings(2, 14, "pw");

        session->basicInf.readSettings();
        QTRY_VERIFY(messageShown(kReadDone));

        QCOMPARE(port.sent, (QList<QByteArray>{QByteArray::fromHex("2383000000000000"
                                                                   "83"),
                                               QByteArray::fromHex("2383000001000000"
                                                                   "82")}));
        QCOMPARE(port.sent[0], frame(0x83, 0));
        QCOMPARE(port.sent[1], frame(0x83, 0x100));
        QCOMPARE(prompts.texts(), (QStringList{kReadConfirm, kReadDone}));
        QCOMPARE(statusTexts,
                 (QStringList{"Read settings", "Reading basic setting", "The first page",
                              "Read settings", "Reading basic setting", "The second page", ""}));
        QCOMPARE(progress, (QList<int>{25, 40, 50, 90, 100}));

        const SettingsSheet& sheet = session->settings;
        QCOMPARE(sheet.content(1), QString("1357"));
        QCOMPARE(sheet.content(2), QString("+441234"));
        QCOMPARE(sheet.content(5), QString::fromUtf8("门开"));
        QCOMPARE(sheet.content(6), QString());
        QCOMPARE(sheet.content(7), QString("5"));
        QCOMPARE(sheet.content(10), QString("9"));
        QCOMPARE(sheet.content(19), QString("8080"));
        QCOMPARE(sheet.content(13), QString());  // never written on this device
        QCOMPARE(sheet.content(18), QString());
        QCOMPARE(sheet.content(21), QString("user01"));
        QCOMPARE(sheet.content(22), QString("pw"));
        QCOMPARE(sheet.choice(SettingsSheet::Cbb1), 0);
        QCOMPARE(sheet.choice(SettingsSheet::Cbb2), 1);
        QCOMPARE(sheet.choice(SettingsSheet::Cbb3), 0);
        QCOMPARE(sheet.choice(SettingsSheet::Cbb4), 1);
        QCOMPARE(sheet.choice(SettingsSheet::Cbb10), 2);
        QCOMPARE(sheet.choice(SettingsSheet::Cbb12), -1);
        QCOMPARE(session->basicInf.PageNext, quint16(3));
    }

    void readChain_cancelledSendsNothing() {
        prompts.answers.enqueue(false);
        session->basicInf.readSettings();
        QTest::qWait(20);
        QVERIFY(port.sent.isEmpty());
        QCOMPARE(prompts.texts(), QStringList{kReadConfirm});
        QCOMPARE(session->settings.content(1), QString("5729"));
    }

    // While a log-in waits for its reply nothing else is sent; once it has
    // timed out, "Read Settings" fills the sheet and checks no password.
    void readChain_afterLostLoginReply() {
        session->link.login.passwordBox = [] { return QString("5729"); };
        session->feedback.bar.tmr1.setInterval(50);
        device.faults.silent = true;
        session->link.login.Login();
        QCOMPARE(session->link.login.Verifying, quint8(1));
        session->basicInf.readSettings();
        QCOMPARE(port.sent.size(), 1);
        QTRY_VERIFY(messageShown("Receive timeout"));
        device.faults.silent = false;
        putSettings(1, 0, "2468");

        session->basicInf.readSettings();
        QTRY_VERIFY(messageShown(kReadDone));
        QCOMPARE(session->settings.content(1), QString("2468"));
        QVERIFY(!messageShown("Password Error!"));
        QVERIFY(!messageShown("Password confirmed!"));
        QCOMPARE(session->link.login.Verifying, quint8(0));
    }

    // A log-in reply that arrives late, before the next read, still completes
    // the log-in.
    void lateLoginReply_stillLogsIn() {
        session->link.login.passwordBox = [] { return QString("5729"); };
        device.faults.silent = true;
        session->link.login.Login();
        putSettings(1, 0, "5729");
        feedBytes(session->link, replyFrame(0x83, 0, device.pageBytes(vdev::Region::Settings, 1)));
        QCOMPARE(prompts.texts(), QStringList{"Password confirmed!"});
        QVERIFY(session->link.login.unlocked());
        QCOMPARE(session->settings.content(1), QString("5729"));  // the log-in never touches the sheet
        QCOMPARE(session->link.login.Verifying, quint8(0));
    }

    void readChain_otherAddressDecodesNothing() {
        // The device answers the first request for a block that is neither page.
        bool first = true;
        port.device = [&](const QByteArray& req) {
            if (first) {
                first = false;
                return replyFrame(0x83, 0x200, QByteArray(256, '9'));
            }
            return device(req);
        };
        session->feedback.bar.tmr1.setInterval(50);
        session->settings.setContent(1, "1111");
        putSettings(1, 0, "2468");
        session->basicInf.readSettings();
        QTRY_VERIFY(messageShown(kReadDone));
        // page 1, page 1 again after the answer for another block, page 2
        QCOMPARE(port.sent, (QList<QByteArray>{frame(0x83, 0), frame(0x83, 0), frame(0x83, 0x100)}));
        QCOMPARE(session->settings.content(1), QString("2468"));
    }

    void saveChain_writesBothPages() {
        session->basicInf.saveSettings();
        QTRY_VERIFY(messageShown(kSaveDone));

        SettingsSheet start;
        start.fillStartContents();
        settings::Page want1, want2;
        QVERIFY(!settings::encodePage(1, start, want1));
        QVERIFY(!settings::encodePage(2, start, want2));
        QCOMPARE(port.sent.size(), 2);
        QCOMPARE(port.sent[0], frame(0x82, 0, toBytes(want1)));
        QCOMPARE(port.sent[1], frame(0x82, 0x100, QByteArray(256, char(0xFF))));
        QCOMPARE(port.sent[0].left(12).toHex(), QByteArray("238200000000010035373239"));
        QCOMPARE(device.pageBytes(vdev::Region::Settings, 1), toBytes(want1));
        QCOMPARE(device.pageBytes(vdev::Region::Settings, 2), QByteArray(256, char(0xFF)));
        QCOMPARE(device.pagesWritten(vdev::Region::Settings), (QList<int>{1, 2}));
        QCOMPARE(prompts.texts(), QStringList{kSaveDone});
        QCOMPARE(progress, (QList<int>{50, 100}));
        QCOMPARE(statusTexts, (QStringList{"Save settings", "Save basic settings", "Save settings",
                                           "Save basic settings"}));
    }

    void saveChain_refusedPageStops_data() {
        QTest::addColumn<int>("refused");
        QTest::addColumn<int>("frames");
        QTest::newRow("page 1") << 1 << 1;
        QTest::newRow("page 2") << 2 << 2;
    }
    void saveChain_refusedPageStops() {
        QFETCH(int, refused);
        QFETCH(int, frames);
        device.faults.refuseReply = refused;  // the save writes page 1, then page 2
        session->basicInf.saveSettings();
        QTRY_VERIFY(messageShown("Basic setting error"));
        QTest::qWait(50);
        QCOMPARE(port.sent.size(), frames);
        QCOMPARE(prompts.texts(), QStringList{"Basic setting error"});
        QCOMPARE(prompts.shown.last().kind, QString("message"));
    }

    // A cell that cannot be stored stops the save before anything is sent,
    // whichever page it belongs to.
    void saveChain_refusedCellSendsNothing_data() {
        QTest::addColumn<int>("row");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("message");
        QTest::newRow("port 70000")
            << 19 << "70000"
            << "19.Server Port(0-65535): '70000' is out of range (0 to 65535)";
        QTest::newRow("port not a number") << 19 << "80a"
                                           << "'80a' is not a valid integer value";
        QTest::newRow("page 2 cell")
            << 22 << QString::fromUtf8("pą")
            << QString::fromUtf8(
                   "22.GPRS Password: the character 'ą' (U+0105) cannot be "
                   "stored on the device");
    }
    void saveChain_refusedCellSendsNothing() {
        QFETCH(int, row);
        QFETCH(QString, text);
        QFETCH(QString, message);
        session->settings.setContent(row, text);
        QVERIFY(!session->basicInf.saveSettings());
        QTest::qWait(20);
        QVERIFY(port.sent.isEmpty());
        QCOMPARE(prompts.texts(), QStringList{message});
        QCOMPARE(prompts.shown.last().kind, QString("message"));
        QVERIFY(progress.isEmpty());
        QVERIFY(!session->feedback.bar.tmr1.isOn());
    }

    // With read-back verification on, a device that keeps something else
    // is reported by the setting rows that differ.
    void saveChain_verifyNamesDifferingRows() {
        session->link.verifyWrites = true;
        port.device = [this](const QByteArray& req) {
            QByteArray answer = device(req);
            if (parseFrame(req).code == cmd::WriteBlock && parseFrame(req).address == 0) {
                putSettings(1, 236, "\x12");  // the port as the device keeps it
                putSettings(1, 240, "X");      // inside the APN
            }
            return answer;
        };
        session->basicInf.saveSettings();
        QTRY_COMPARE(prompts.texts().size(), 1);
        QVERIFY(!messageShown(kSaveDone));
        const QString text = prompts.texts().first();
        QVERIFY2(text.contains("19.Server Port(0-65535)"), qPrintable(text));
        QVERIFY2(text.contains("20.GPRS APN"), qPrintable(text));
        QVERIFY2(!text.contains("18.Server IP Address"), qPrintable(text));
        QCOMPARE(port.sent.size(), 4);  // two writes, two reads back
    }

    void silentDevice_timesOutOnce_data() {
        QTest::addColumn<bool>("save");
        QTest::newRow("read") << false;
        QTest::newRow("save") << true;
    }
    void silentDevice_timesOutOnce() {
        QFETCH(bool, save);
        device.faults.silent = true;
        session->feedback.bar.tmr1.setInterval(100);
        if (save)
            session->basicInf.saveSettings();
        else
            session->basicInf.readSettings();
        QTRY_VERIFY(messageShown("Receive timeout"));
        QTest::qWait(400);
        QCOMPARE(prompts.count("Receive timeout"), 1);
        QCOMPARE(port.sent.size(), 2);  // the request and its one retry
        QCOMPARE(port.sent[1], port.sent[0]);
    }
};

QTEST_GUILESS_MAIN(TestBasicTransfer)
#include "test_basic_transfer.moc"
