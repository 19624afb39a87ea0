// Reply assembly and routing: byte-at-a-time frames, false starts, damaged
// frames, every routing row with its address boundaries, status texts and
// progress, the log-in check, and the time-outs.
#include <QSignalSpy>
#include <QtTest>

#include "fake_port.h"
#include "link/device_link.h"
#include "recording_prompts.h"

namespace {

// A transfer that records what the dispatcher hands it.
class RecordingTransfer : public Tsend_rec_command {
public:
    using Tsend_rec_command::Tsend_rec_command;
    QList<qint32> decoded;
    QList<int> pagesRequested;
    void ReadPage(int page) override { pagesRequested << page; }
    void DecodePage() override { decoded << Address; }
    bool WritePage(int page) override {
        pagesRequested << page;
        return true;
    }
};

QByteArray page256(char fill = 0) {
    return QByteArray(256, fill);
}

}  // namespace

class TestDispatcher : public QObject {
    Q_OBJECT
    RecordingPrompts prompts;
    DeviceLink* link = nullptr;
    RecordingTransfer* basic = nullptr;
    RecordingTransfer* numbers = nullptr;
    RecordingTransfer* history = nullptr;
    FakePort port;

private slots:
    void init() {
        prompts = RecordingPrompts();
        link = new DeviceLink(prompts);
        basic = new RecordingTransfer(*link);
        numbers = new RecordingTransfer(*link);
        history = new RecordingTransfer(*link);
        link->basicInf = basic;
        link->telephoneSend = numbers;
        link->historyInf = history;
        port = FakePort();
        link->port = &port;
    }
    void cleanup() {
        delete basic;
        delete numbers;
        delete history;
        delete link;
    }

    void fullPage_singleBytes_dispatchesOnceOnLastByte() {
        const QByteArray f = replyFrame(0x83, 0x1000, page256(0x23));
        numbers->PageTotal = 375;
        numbers->PageNext = 2;
        for (int i = 0; i < f.size() - 1; ++i) link->cm1ReceiveData(quint8(f[i]));
        QVERIFY(numbers->decoded.isEmpty());
        QCOMPARE(link->bar.statusText(), QString("Data communication"));
        link->cm1ReceiveData(quint8(f.back()));
        QCOMPARE(numbers->decoded, QList<qint32>{0x1000});
        QCOMPARE(numbers->Buffer[255], quint8(0x23));
        QVERIFY(!link->recData.collecting());
    }

    void emptyPayload_completesAfterEightBytes() {
        const QByteArray f = replyFrame(0x04, 0, {});
        QCOMPARE(f.size(), 9);
        feedBytes(*link, f);
        // Empty answer to a command counts as refused: no stale byte is read.
        QCOMPARE(prompts.texts(), QStringList{"Error"});
    }

    void garbageBeforeFrame_isIgnored() {
        feedBytes(*link, QByteArray::fromHex("0001fe7f"));
        QCOMPARE(link->bar.statusText(), QString("Data communication"));
        QVERIFY(!link->recData.collecting());
        feedBytes(*link, replyFrame(0x85, 0, QByteArray(1, 1)));
        QCOMPARE(prompts.texts(), QStringList{"Historical data deleted"});
    }

    void corruptedPayload_invalidThenNextFrameDispatched() {
        QSignalSpy rejected(link, &DeviceLink::replyRejected);
        QByteArray bad = replyFrame(0x83, 0x30000, page256(7));
        bad[100] = char(bad[100] ^ 0x01);
        history->PageTotal = 500;
        history->PageNext = 2;
        feedBytes(*link, bad);
        QCOMPARE(link->bar.statusText(), QString("Invalid data"));
        QVERIFY(history->decoded.isEmpty());
        QCOMPARE(rejected.count(), 1);
        feedBytes(*link, replyFrame(0x83, 0x30100, page256(8)));
        QCOMPARE(history->decoded, QList<qint32>{0x30100});
    }

    void strayMarker_beforeReply_replyStillDispatched_data() {
        QTest::addColumn<QByteArray>("noise");
        QTest::newRow("lone marker") << QByteArray::fromHex("23");
        QTest::newRow("marker and code") << QByteArray::fromHex("2383");
        QTest::newRow("marker, short claimed length") << QByteArray::fromHex("230000000000");
        QTest::newRow("marker, oversize length") << QByteArray::fromHex("23830000000001ff");
    }
    void strayMarker_beforeReply_replyStillDispatched() {
        QFETCH(QByteArray, noise);
        numbers->PageTotal = 375;
        numbers->PageNext = 2;
        feedBytes(*link, noise + replyFrame(0x83, 0x1000, page256(1)));
        QCOMPARE(numbers->decoded, QList<qint32>{0x1000});
        QVERIFY(!link->recData.collecting());
    }

    void markerInsideFrame_doesNotRestartFrame() {
        QByteArray payload = page256(0x23);
        feedBytes(*link, replyFrame(0x83, 0x2323, payload));
        QCOMPARE(numbers->decoded, QList<qint32>{0x2323});
        QCOMPARE(link->bar.statusText(), QString("Reading number list:0/0"));
    }

    void oversizeLength_isDroppedWithoutOverrun() {
        // A length of 0xFFFF never reaches the 256-byte stores.
        QByteArray f = QByteArray::fromHex("2383000010 00ffff");
        f.append(QByteArray(300, char(0x55)));
        feedBytes(*link, f);
        QCOMPARE(link->bar.statusText(), QString("Data communication"));
        QVERIFY(numbers->decoded.isEmpty());
        feedBytes(*link, replyFrame(0x83, 0x1000, page256()));
        QCOMPARE(numbers->decoded.size(), 1);
    }

    void routing_byCodeAndAddress_data() {
        QTest::addColumn<int>("code");
        QTest::addColumn<int>("address");
        QTest::addColumn<QString>("target");
        QTest::addColumn<QString>("status");
        QTest::newRow("read 0x000 settings") << 0x83 << 0x000 << "basic"
                                             << "Reading basic setting";
        QTest::newRow("read 0xFFF settings") << 0x83 << 0xFFF << "basic"
                                             << "Reading basic setting";
        QTest::newRow("read 0x1000 numbers") << 0x83 << 0x1000 << "numbers"
                                             << "Reading number list:0/0";
        QTest::newRow("read 0x1FFFF numbers") << 0x83 << 0x1FFFF << "numbers"
                                              << "Reading number list:0/0";
        QTest::newRow("read 0x2FFFF numbers") << 0x83 << 0x2FFFF << "numbers"
                                              << "Reading number list:0/0";
        QTest::newRow("read 0x30000 history") << 0x83 << 0x30000 << "history"
                                              << "Reading historical data:-1/0";
        QTest::newRow("read negative address") << 0x83 << int(0x80000000) << "basic"
                                               << "Reading basic setting";
        QTest::newRow("write 0x100 settings") << 0x82 << 0x100 << "basic-ack"
                                              << "Save basic settings";
        QTest::newRow("write 0x18600 numbers") << 0x82 << 0x18600 << "numbers-ack"
                                               << "Save number list:0/0";
        QTest::newRow("write 0x30000 undefined") << 0x82 << 0x30000 << ""
                                                 << "Undefined address";
        QTest::newRow("unknown code") << 0x99 << 0 << ""
                                      << "Undefined data";
    }
    void routing_byCodeAndAddress() {
        QFETCH(int, code);
        QFETCH(int, address);
        QFETCH(QString, target);
        QFETCH(QString, status);
        basic->PageTotal = 2;
        basic->PageNext = 5;  // past the end: WriteNext does nothing
        numbers->PageNext = 0;
        feedBytes(*link,
                  replyFrame(quint8(code), address, code == 0x82 ? QByteArray(1, 1) : page256()));
        QCOMPARE(link->bar.statusText(), status);
        QCOMPARE(basic->decoded.size(), target == "basic" ? 1 : 0);
        QCOMPARE(numbers->decoded.size(), target == "numbers" ? 1 : 0);
        QCOMPARE(history->decoded.size(), target == "history" ? 1 : 0);
        if (target.endsWith("-ack")) {
            RecordingTransfer* t = target.startsWith("basic") ? basic : numbers;
            QCOMPARE(t->Address, address);
            QCOMPARE(t->Buffer[0], quint8(1));
        }
        QVERIFY(prompts.texts().isEmpty());
    }

    void writeRefused_showsRefusalAndStops_data() {
        QTest::addColumn<int>("address");
        QTest::addColumn<QByteArray>("payload");
        QTest::addColumn<QString>("text");
        QTest::newRow("settings 0") << 0 << QByteArray(1, 0) << "Basic setting error";
        QTest::newRow("settings empty") << 0x100 << QByteArray() << "Basic setting error";
        QTest::newRow("numbers 2") << 0x1000 << QByteArray(1, 2) << "Number list data error";
        QTest::newRow("numbers empty") << 0x1000 << QByteArray() << "Number list data error";
    }
    void writeRefused_showsRefusalAndStops() {
        QFETCH(int, address);
        QFETCH(QByteArray, payload);
        QFETCH(QString, text);
        // A stale 1 from an earlier reply must not count as acceptance.
        basic->Buffer[0] = 1;
        numbers->Buffer[0] = 1;
        basic->PageTotal = numbers->PageTotal = 375;
        basic->PageNext = numbers->PageNext = 2;
        feedBytes(*link, replyFrame(0x82, address, payload));
        QCOMPARE(prompts.shown.size(), 1);
        QCOMPARE(prompts.shown[0].kind, QString("message"));
        QCOMPARE(prompts.shown[0].text, text);
        QVERIFY(basic->pagesRequested.isEmpty());
        QVERIFY(numbers->pagesRequested.isEmpty());
    }

    void writeAccepted_asksForNextPage() {
        numbers->PageTotal = 375;
        numbers->PageNext = 2;
        feedBytes(*link, replyFrame(0x82, 0x1000, QByteArray(1, 1)));
        QCOMPARE(numbers->pagesRequested, QList<int>{2});
        QCOMPARE(numbers->PageNext, quint16(3));
        QCOMPARE(link->bar.progressPosition(), 0);  // 2 * 100 / 375
    }

    void shortCommands_answerWithMessages_data() {
        QTest::addColumn<int>("code");
        QTest::addColumn<int>("first");
        QTest::addColumn<QString>("status");
        QTest::addColumn<QString>("text");
        QTest::newRow("time sync ok")
            << 3 << 1 << "Receives the data synchronization command returns"
            << QString::fromUtf8("1同步时间返回正确");
        QTest::newRow("time sync refused")
            << 3 << 0 << "Receives the data synchronization command returns"
            << QString::fromUtf8("0同步时间返回错误");
        QTest::newRow("checking ok") << 4 << 1 << "Checking mode"
                                     << "Enter";
        QTest::newRow("checking refused") << 4 << 2 << "Checking mode"
                                          << "Error";
        QTest::newRow("delete ok") << 0x85 << 1 << "Delete command"
                                   << "Historical data deleted";
        QTest::newRow("delete refused") << 0x85 << 0 << "Delete command"
                                        << "Historical data delet error";
    }
    void shortCommands_answerWithMessages() {
        QFETCH(int, code);
        QFETCH(int, first);
        QFETCH(QString, status);
        QFETCH(QString, text);
        feedBytes(*link, replyFrame(quint8(code), 0x1234, QByteArray(1, char(first))));
        QCOMPARE(link->bar.statusText(), status);
        QCOMPARE(prompts.texts(), QStringList{text});
    }

    void progress_andCounters_inStatusTexts() {
        history->PageTotal = 500;
        history->PageNext = 3;
        feedBytes(*link, replyFrame(0x83, 0x30100, page256()));
        QCOMPARE(link->bar.statusText(), QString("Reading historical data:2/500"));
        QCOMPARE(link->bar.progressPosition(), 0);

        numbers->PageTotal = 375;
        numbers->PageNext = 376;
        feedBytes(*link, replyFrame(0x83, 0x18600, page256()));
        QCOMPARE(link->bar.statusText(), QString("Reading number list:376/375"));
        QCOMPARE(link->bar.progressPosition(), 100);
        QVERIFY(!link->bar.progressVisible());
    }

    void numberReply_withoutRunningTransfer_noDivisionByZero() {
        numbers->PageTotal = 0;
        numbers->PageNext = 0;
        feedBytes(*link, replyFrame(0x83, 0x1000, page256()));
        QCOMPARE(numbers->decoded.size(), 1);
        feedBytes(*link, replyFrame(0x82, 0x1000, QByteArray(1, 1)));
        QVERIFY(prompts.texts().isEmpty());
    }

    void login_routesSettingsReplies_andChecksPassword_data() {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QByteArray>("device");
        QTest::addColumn<int>("address");
        QTest::addColumn<bool>("ok");
        QTest::newRow("factory") << "5729" << QByteArray("5729") << 0 << true;
        QTest::newRow("letter case") << "abCD" << QByteArray("ABcd") << 0 << true;
        QTest::newRow("page 2 address still login")
            << "5729" << QByteArray("5729") << 0x100 << true;
        QTest::newRow("wrong") << "1234" << QByteArray("5729") << 0 << false;
        QTest::newRow("five characters") << "57290" << QByteArray("5729") << 0 << false;
        QTest::newRow("three characters") << "572" << QByteArray("572\0", 4) << 0 << false;
    }
    void login_routesSettingsReplies_andChecksPassword() {
        QFETCH(QString, typed);
        QFETCH(QByteArray, device);
        QFETCH(int, address);
        QFETCH(bool, ok);
        QSignalSpy enabled(&link->login, &Tpasswordverify::buttonsEnabled);
        link->login.passwordBox = [typed] { return typed; };
        link->login.Login();
        QCOMPARE(port.sent.last(), QByteArray::fromHex("238300000000000083"));
        QCOMPARE(link->bar.statusText(), QString("Password verifing"));
        QVERIFY(link->bar.tmr1.isOn());
        QByteArray page = device + QByteArray(252, char(0xFF));
        feedBytes(*link, replyFrame(0x83, address, page));
        QVERIFY(basic->decoded.isEmpty());
        QCOMPARE(link->login.Verifying, quint8(0));
        QCOMPARE(prompts.texts(), QStringList{ok ? "Password confirmed!" : "Password Error!"});
        QCOMPARE(enabled.count(), 1);
        QCOMPARE(enabled.at(0).at(0).toBool(), ok);
        QCOMPARE(link->login.unlocked(), ok);
    }

    void login_failedAfterSuccess_locksAgain() {
        link->login.passwordBox = [] { return QString("5729"); };
        link->login.Login();
        feedBytes(*link, replyFrame(0x83, 0, QByteArray("5729") + QByteArray(252, 0)));
        QVERIFY(link->login.unlocked());
        link->login.passwordBox = [] { return QString("0000"); };
        link->login.Login();
        feedBytes(*link, replyFrame(0x83, 0, QByteArray("5729") + QByteArray(252, 0)));
        QVERIFY(!link->login.unlocked());
    }

    void singleCommands_sendTheirFrames() {
        link->deleteHistory.Send();
        link->checkingMode.Send();
        QCOMPARE(port.sent.at(0), QByteArray::fromHex("238500000000000085"));
        QCOMPARE(port.sent.at(1), QByteArray::fromHex("230400000000000004"));
        QCOMPARE(link->bar.statusText(), QString("Password verifying"));
        QVERIFY(link->bar.tmr1.isOn());
    }

    void watchdog_noReply_reportsTimeoutOnce() {
        link->bar.tmr1.setInterval(60);
        link->progress.SetProgress(40);
        link->sendRequest(QByteArray::fromHex("238300000000000083"), "Read settings");
        QTRY_COMPARE_WITH_TIMEOUT(prompts.count("Receive timeout"), 1, 2000);
        QTest::qWait(200);
        QCOMPARE(prompts.count("Receive timeout"), 1);
        QCOMPARE(link->bar.statusText(), QString());
        QVERIFY(!link->bar.progressVisible());
        QVERIFY(!link->bar.tmr1.isOn());
    }

    void watchdog_firstByteInTime_suppressesTimeout() {
        link->bar.tmr1.setInterval(60);
        link->midFrameSilenceMs = 100000;
        link->sendRequest(QByteArray::fromHex("238300000000000083"), "Read settings");
        link->cm1ReceiveData(0x23);
        QTest::qWait(200);
        QCOMPARE(prompts.count("Receive timeout"), 0);
    }

    void frameCutShort_silenceReturnsToIdle_nextReplyDispatched() {
        link->midFrameSilenceMs = 50;
        const QByteArray f = replyFrame(0x83, 0x1000, page256(3));
        feedBytes(*link, f.left(100));
        QVERIFY(link->recData.collecting());
        QTRY_COMPARE_WITH_TIMEOUT(prompts.count("Receive timeout"), 1, 2000);
        QVERIFY(!link->recData.collecting());
        feedBytes(*link, f);
        QCOMPARE(numbers->decoded.size(), 1);
        QTest::qWait(120);
        QCOMPARE(prompts.count("Receive timeout"), 1);
    }

    void falseStartWithLongClaim_silenceRecoversHiddenReply() {
        // A stray marker whose claimed length is longer than what follows:
        // the real reply sits inside the false frame until the line is quiet.
        link->midFrameSilenceMs = 50;
        const QByteArray noise = QByteArray::fromHex("23830000100000c8");  // claims 200 bytes
        feedBytes(*link, noise + replyFrame(0x85, 0, QByteArray(1, 1)));
        QVERIFY(prompts.texts().isEmpty());
        QTRY_COMPARE_WITH_TIMEOUT(prompts.texts(), QStringList{"Historical data deleted"}, 2000);
        QCOMPARE(prompts.count("Receive timeout"), 0);
    }

    void nestedDispatch_duringMessageBox_keepsNestedFrame() {
        // While the box of one reply is open, half of the next frame arrives.
        // The outer call must not throw it away when the box closes.
        const QByteArray second = replyFrame(0x83, 0x1000, page256(9));
        bool once = false;
        prompts.whileOpen = [&] {
            if (once) return;
            once = true;
            feedBytes(*link, second.left(120));
        };
        feedBytes(*link, replyFrame(0x85, 0, QByteArray(1, 1)));
        prompts.whileOpen = nullptr;
        QVERIFY(link->recData.collecting());
        feedBytes(*link, second.mid(120));
        QCOMPARE(numbers->decoded, QList<qint32>{0x1000});
    }

    void nestedDispatch_framesKeepArrivalOrder() {
        QList<qint32> order;
        bool once = false;
        prompts.whileOpen = [&] {
            if (once) return;
            once = true;
            feedBytes(*link, replyFrame(0x83, 0x1100, page256()));
        };
        feedBytes(*link,
                  replyFrame(0x85, 0, QByteArray(1, 1)) + replyFrame(0x83, 0x1000, page256()));
        QCOMPARE(numbers->decoded, (QList<qint32>{0x1100, 0x1000}));
    }
};

QTEST_GUILESS_MAIN(TestDispatcher)
#include "test_dispatcher.moc"
