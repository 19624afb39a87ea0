// The basic settings transfer through the dispatcher and a scripted device:
// the read and save chains with their exact frames, status texts, progress
// values and messages, refused writes, refused cells, the abandoned log-in
// check, and a silent device.
#include <QSignalSpy>
#include <QtTest>

#include "fake_port.h"
#include "page_bytes.h"
#include "recording_prompts.h"
#include "settings_device.h"
#include "ui/session.h"

namespace {

// A request frame written out by hand: marker, code, address, length, payload
// and the XOR of everything after the marker.
QByteArray frame(quint8 code, quint32 address, const QByteArray& payload = {}) {
    QByteArray f;
    f += char(0x23);
    f += char(code);
    for (int shift = 24; shift >= 0; shift -= 8) f += char(address >> shift);
    f += char(payload.size() >> 8);
    f += char(payload.size());
    f += payload;
    quint8 x = 0;
    for (int i = 1; i < f.size(); ++i) x ^= quint8(f[i]);
    f += char(x);
    return f;
}

const char* kReadConfirm = "Read the GSM device basic parameters to PC software?";
const char* kReadDone = "Basic settings read to PC software success.";
const char* kSaveDone = "Basic setting saved success";

}  // namespace

class TestBasicTransfer : public QObject {
    Q_OBJECT
    RecordingPrompts prompts;
    DeviceSession* s = nullptr;
    SettingsDevice dev;
    FakePort port;
    QStringList statusTexts;
    QList<int> progress;

    bool messageShown(const QString& text) const { return prompts.texts().contains(text); }

private slots:
    void init() {
        prompts = RecordingPrompts();
        dev = SettingsDevice();
        port = FakePort();
        s = new DeviceSession(prompts);
        s->link.port = &port;
        port.link = &s->link;
        port.device = [this](const QByteArray& req) { return dev.answer(req); };
        statusTexts.clear();
        progress.clear();
        connect(&s->link.bar, &StatusBarModel::statusTextChanged, s, [this](const QString& t) {
            if (t != "Data communication") statusTexts << t;
        });
        connect(&s->link.bar, &StatusBarModel::progressChanged, s,
                [this](int position, bool) { progress << position; });
    }
    void cleanup() {
        delete s;
        s = nullptr;
    }

    void readChain_fillsSheetFromBothPages() {
        put(dev.pages[0], 0, "1357");
        put(dev.pages[0], 4, QByteArray("+441234\0", 8));
        put(dev.pages[0], 26, QByteArray::fromHex("0001"));
        put(dev.pages[0], 28, gbkBytes("门开").append('\0'));
        put(dev.pages[0], 108,
            QByteArray::fromHex("0500"
                                "0001"
                                "07000900"
                                "02FF"));
        put(dev.pages[0], 236, QByteArray::fromHex("901F"));
        put(dev.pages[0], 254, "us");
        put(dev.pages[1], 0, "er01");
        put(dev.pages[1], 14, "pw");

        s->basicInf.readSettings();
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

        const SettingsSheet& sheet = s->settings;
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
        QCOMPARE(s->basicInf.PageNext, quint16(3));
    }

    void readChain_cancelledSendsNothing() {
        prompts.answers.enqueue(false);
        s->basicInf.readSettings();
        QTest::qWait(20);
        QVERIFY(port.sent.isEmpty());
        QCOMPARE(prompts.texts(), QStringList{kReadConfirm});
        QCOMPARE(s->settings.content(1), QString("5729"));
    }

    // While a log-in waits for its reply nothing else is sent; once it has
    // timed out, "Read Settings" fills the sheet and checks no password.
    void readChain_afterLostLoginReply() {
        s->link.login.passwordBox = [] { return QString("5729"); };
        s->link.bar.tmr1.setInterval(50);
        dev.silent = true;
        s->link.login.Login();
        QCOMPARE(s->link.login.Verifying, quint8(1));
        s->basicInf.readSettings();
        QCOMPARE(port.sent.size(), 1);
        QTRY_VERIFY(messageShown("Receive timeout"));
        dev.silent = false;
        put(dev.pages[0], 0, "2468");

        s->basicInf.readSettings();
        QTRY_VERIFY(messageShown(kReadDone));
        QCOMPARE(s->settings.content(1), QString("2468"));
        QVERIFY(!messageShown("Password Error!"));
        QVERIFY(!messageShown("Password confirmed!"));
        QCOMPARE(s->link.login.Verifying, quint8(0));
    }

    // A log-in reply that arrives late, before the next read, still completes
    // the log-in.
    void lateLoginReply_stillLogsIn() {
        s->link.login.passwordBox = [] { return QString("5729"); };
        dev.silent = true;
        s->link.login.Login();
        put(dev.pages[0], 0, "5729");
        feedBytes(s->link, replyFrame(0x83, 0, toBytes(dev.pages[0])));
        QCOMPARE(prompts.texts(), QStringList{"Password confirmed!"});
        QVERIFY(s->link.login.unlocked());
        QCOMPARE(s->settings.content(1), QString("5729"));  // the log-in never touches the sheet
        QCOMPARE(s->link.login.Verifying, quint8(0));
    }

    void readChain_otherAddressDecodesNothing() {
        // The device answers the first request for a block that is neither page.
        bool first = true;
        port.device = [&](const QByteArray& req) {
            if (first) {
                first = false;
                return replyFrame(0x83, 0x200, QByteArray(256, '9'));
            }
            return dev.answer(req);
        };
        s->link.bar.tmr1.setInterval(50);
        s->settings.setContent(1, "1111");
        put(dev.pages[0], 0, "2468");
        s->basicInf.readSettings();
        QTRY_VERIFY(messageShown(kReadDone));
        // page 1, page 1 again after the answer for another block, page 2
        QCOMPARE(port.sent, (QList<QByteArray>{frame(0x83, 0), frame(0x83, 0), frame(0x83, 0x100)}));
        QCOMPARE(s->settings.content(1), QString("2468"));
    }

    void saveChain_writesBothPages() {
        s->basicInf.saveSettings();
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
        QCOMPARE(toBytes(dev.pages[0]), toBytes(want1));
        QCOMPARE(toBytes(dev.pages[1]), QByteArray(256, char(0xFF)));
        QCOMPARE(dev.pagesWritten, (QList<int>{1, 2}));
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
        dev.refusePage = refused;
        s->basicInf.saveSettings();
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
        s->settings.setContent(row, text);
        QVERIFY(!s->basicInf.saveSettings());
        QTest::qWait(20);
        QVERIFY(port.sent.isEmpty());
        QCOMPARE(prompts.texts(), QStringList{message});
        QCOMPARE(prompts.shown.last().kind, QString("message"));
        QVERIFY(progress.isEmpty());
        QVERIFY(!s->link.bar.tmr1.isOn());
    }

    // With read-back verification on, a device that keeps something else
    // is reported by the setting rows that differ.
    void saveChain_verifyNamesDifferingRows() {
        s->link.verifyWrites = true;
        port.device = [this](const QByteArray& req) {
            QByteArray answer = dev.answer(req);
            if (quint8(req[1]) == cmd::WriteBlock && SettingsDevice::addressOf(req) == 0) {
                dev.pages[0][236] = 0x12;  // the port as the device keeps it
                dev.pages[0][240] = 'X';   // inside the APN
            }
            return answer;
        };
        s->basicInf.saveSettings();
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
        dev.silent = true;
        s->link.bar.tmr1.setInterval(100);
        if (save)
            s->basicInf.saveSettings();
        else
            s->basicInf.readSettings();
        QTRY_VERIFY(messageShown("Receive timeout"));
        QTest::qWait(400);
        QCOMPARE(prompts.count("Receive timeout"), 1);
        QCOMPARE(port.sent.size(), 2);  // the request and its one retry
        QCOMPARE(port.sent[1], port.sent[0]);
    }
};

QTEST_GUILESS_MAIN(TestBasicTransfer)
#include "test_basic_transfer.moc"
