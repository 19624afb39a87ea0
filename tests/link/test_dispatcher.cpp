// Reply assembly and routing: byte-at-a-time frames, false starts, damaged
// frames, replies matched to the request in flight with their status texts
// and progress, the log-in check, the single commands, the watchdog and the
// retry.
#include <QSignalSpy>
#include <QtTest>

#include "session_rig.h"

namespace {

// A transfer whose pages start at `base`; records what the link hands it.
class RecordingTransfer : public Tsend_rec_command {
public:
    RecordingTransfer(DeviceLink& link, qint32 base) : Tsend_rec_command(link), base(base) {}
    qint32 base;
    int sendUpTo = 1000;  // pages past this are recorded, not sent
    QList<qint32> decoded;
    QList<int> pagesRequested;
    qint32 addressOf(int page) const { return base + (page - 1) * 0x100; }
    void ReadPage(int page) override {
        pagesRequested << page;
        if (page <= sendUpTo) sendRead(addressOf(page), "read");
    }
    void DecodePage() override {
        decoded << Address;
        ReadNext();
    }
    bool WritePage(int page) override {
        pagesRequested << page;
        if (page <= sendUpTo) sendWrite(addressOf(page), "write");
        return true;
    }
    QString refusalText() const override { return base < 0x1000 ? "Basic setting error" : "Number list data error"; }
};

QByteArray page256(char fill = 0) {
    return QByteArray(256, fill);
}

}  // namespace

class TestDispatcher : public QObject, LinkRig {
    Q_OBJECT
    RecordingTransfer* basic = nullptr;
    RecordingTransfer* numbers = nullptr;
    RecordingTransfer* history = nullptr;

    RecordingTransfer* transfer(const QString& name) {
        return name == "basic" ? basic : name == "numbers" ? numbers : history;
    }

private slots:
    void init() {
        setUpRig();
        port.device = nullptr;  // record only: the tests feed the replies
        basic = new RecordingTransfer(*link, 0);
        numbers = new RecordingTransfer(*link, 0x1000);
        history = new RecordingTransfer(*link, 0x30000);
    }
    void cleanup() {
        delete basic;
        delete numbers;
        delete history;
        tearDownRig();
    }

    void fullPage_singleBytes_dispatchesOnceOnLastByte() {
        numbers->startRead(375);
        const QByteArray f = replyFrame(0x83, 0x1000, page256(0x23));
        for (int i = 0; i < f.size() - 1; ++i) link->cm1ReceiveData(quint8(f[i]));
        QVERIFY(numbers->decoded.isEmpty());
        QCOMPARE(feedback->bar.statusText(), QString("Data communication"));
        link->cm1ReceiveData(quint8(f.back()));
        QCOMPARE(numbers->decoded, QList<qint32>{0x1000});
        QCOMPARE(numbers->Buffer[255], quint8(0x23));
        QVERIFY(!link->recData.collecting());
        QCOMPARE(link->inFlight()->address, 0x1100);  // the next page is asked for
    }

    void garbageBeforeFrame_isIgnored() {
        link->deleteHistory.Send();
        feedBytes(*link, QByteArray::fromHex("0001fe7f"));
        QCOMPARE(feedback->bar.statusText(), QString("Data communication"));
        QVERIFY(!link->recData.collecting());
        feedBytes(*link, replyFrame(0x85, 0, QByteArray(1, 1)));
        QCOMPARE(prompts.texts(), QStringList{"Historical data deleted"});
    }

    void corruptedPayload_askedAgain_nextFrameDispatched() {
        QSignalSpy rejected(link.get(), &DeviceLink::replyRejected);
        link->midFrameSilenceMs = 30;
        history->startRead(500);
        QByteArray bad = replyFrame(0x83, 0x30000, page256(7));
        bad[100] = char(bad[100] ^ 0x01);
        feedBytes(*link, bad);
        QCOMPARE(feedback->bar.statusText(), QString("Invalid data"));
        QCOMPARE(port.sent.size(), 1);  // asked again once the line is quiet
        QTRY_COMPARE(port.sent.size(), 2);
        QCOMPARE(feedback->bar.statusText(), QString("Retrying: read"));
        QVERIFY(history->decoded.isEmpty());
        QCOMPARE(rejected.count(), 1);
        QCOMPARE(port.sent[1], port.sent[0]);
        feedBytes(*link, replyFrame(0x83, 0x30000, page256(8)));
        QCOMPARE(history->decoded, QList<qint32>{0x30000});
    }

    // Answers without their verdict byte or with half a page: asked again,
    // and a second such answer ends the operation with "Invalid data".
    void malformedAnswerTwice_endsWithInvalidData_data() {
        QTest::addColumn<QString>("op");
        QTest::addColumn<QByteArray>("answer");
        QTest::newRow("command, empty") << "checking" << replyFrame(0x04, 0, {});
        QTest::newRow("settings ack, empty") << "basic-write" << replyFrame(0x82, 0, {});
        QTest::newRow("number page, short") << "numbers-read" << replyFrame(0x83, 0x1000, page256().left(128));
        QTest::newRow("history page, checksum") << "history-read"
                                                << replyFrame(0x83, 0x30000, page256()).chopped(1) + 'x';
    }
    void malformedAnswerTwice_endsWithInvalidData() {
        QFETCH(QString, op);
        QFETCH(QByteArray, answer);
        QSignalSpy finished(link.get(), &DeviceLink::operationFinished);
        link->midFrameSilenceMs = 30;
        if (op == "checking") link->checkingMode.Send();
        if (op == "basic-write") basic->startWrite(2);
        if (op == "numbers-read") numbers->startRead(375);
        if (op == "history-read") history->startRead(500);
        feedBytes(*link, answer);
        QTRY_COMPARE(port.sent.size(), 2);
        QCOMPARE(finished.count(), 0);
        feedBytes(*link, answer);
        QTRY_COMPARE(finished.count(), 1);
        QCOMPARE(finished.at(0).at(0).value<OpOutcome>(), OpOutcome::InvalidData);
        QCOMPARE(feedback->bar.statusText(), QString("Invalid data"));
        QVERIFY(prompts.texts().isEmpty());
        QVERIFY(!link->busy());
        QVERIFY(!feedback->bar.tmr1.isOn());
        QVERIFY(numbers->decoded.isEmpty() && history->decoded.isEmpty());
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
        numbers->startRead(375);
        feedBytes(*link, noise + replyFrame(0x83, 0x1000, page256(1)));
        QCOMPARE(numbers->decoded, QList<qint32>{0x1000});
        QVERIFY(!link->recData.collecting());
    }

    void markerInsideFrame_doesNotRestartFrame() {
        numbers->base = 0x2323;
        numbers->startRead(375);
        feedBytes(*link, replyFrame(0x83, 0x2323, page256(0x23)));
        QCOMPARE(numbers->decoded, QList<qint32>{0x2323});
    }

    void oversizeLength_isDroppedWithoutOverrun() {
        // A length of 0xFFFF never reaches the 256-byte stores.
        numbers->startRead(375);
        QByteArray f = QByteArray::fromHex("2383000010 00ffff");
        f.append(QByteArray(300, char(0x55)));
        feedBytes(*link, f);
        QCOMPARE(feedback->bar.statusText(), QString("Data communication"));
        QVERIFY(numbers->decoded.isEmpty());
        feedBytes(*link, replyFrame(0x83, 0x1000, page256()));
        QCOMPARE(numbers->decoded.size(), 1);
    }

    void routing_toTheRequestInFlight_data() {
        QTest::addColumn<int>("code");
        QTest::addColumn<int>("address");
        QTest::addColumn<QString>("target");  // empty: nothing asked
        QTest::addColumn<QString>("status");
        QTest::newRow("read 0x000 settings") << 0x83 << 0x000 << "basic"
                                             << "Reading basic setting";
        QTest::newRow("read 0xF00 settings") << 0x83 << 0xF00 << "basic"
                                             << "Reading basic setting";
        QTest::newRow("read 0x1000 numbers") << 0x83 << 0x1000 << "numbers"
                                             << "Reading number list:2/375";
        QTest::newRow("read 0x2FF00 numbers") << 0x83 << 0x2FF00 << "numbers"
                                              << "Reading number list:2/375";
        QTest::newRow("read 0x30000 history") << 0x83 << 0x30000 << "history"
                                              << "Reading historical data:1/500";
        QTest::newRow("write 0x100 settings") << 0x82 << 0x100 << "basic"
                                              << "Save basic settings";
        QTest::newRow("write 0x18600 numbers") << 0x82 << 0x18600 << "numbers"
                                               << "Save number list:2/375";
        QTest::newRow("write nobody asked for") << 0x82 << 0x30000 << ""
                                                << "";
        QTest::newRow("read nobody asked for") << 0x83 << 0x1000 << ""
                                               << "";
        QTest::newRow("unknown code") << 0x99 << 0 << ""
                                      << "Undefined data";
    }
    void routing_toTheRequestInFlight() {
        QFETCH(int, code);
        QFETCH(int, address);
        QFETCH(QString, target);
        QFETCH(QString, status);
        QSignalSpy ignored(link.get(), &DeviceLink::replyIgnored);
        RecordingTransfer* t = target.isEmpty() ? nullptr : transfer(target);
        if (t) {
            t->base = address;
            t->sendUpTo = 1;
            if (code == 0x82)
                t->startWrite(t == basic ? 2 : 375);
            else
                t->startRead(t == basic ? 2 : t == numbers ? 375 : 500);
        }
        feedBytes(*link,
                  replyFrame(quint8(code), address, code == 0x82 ? QByteArray(1, 1) : page256()));
        QCOMPARE(feedback->bar.statusText(), status);
        QCOMPARE(ignored.count(), t ? 0 : 1);
        for (RecordingTransfer* r : {basic, numbers, history})
            QCOMPARE(r->decoded.size(), r == t && code == 0x83 ? 1 : 0);
        if (t && code == 0x82) {
            QCOMPARE(t->Address, address);
            QCOMPARE(t->pagesRequested, (QList<int>{1, 2}));
        }
        QVERIFY(prompts.texts().isEmpty());
    }

    void writeRefused_showsRefusalAndStops_data() {
        QTest::addColumn<QString>("target");
        QTest::addColumn<char>("verdict");
        QTest::addColumn<QString>("text");
        QTest::newRow("settings 0") << "basic" << char(0) << "Basic setting error";
        QTest::newRow("numbers 2") << "numbers" << char(2) << "Number list data error";
    }
    void writeRefused_showsRefusalAndStops() {
        QFETCH(QString, target);
        QFETCH(char, verdict);
        QFETCH(QString, text);
        QSignalSpy finished(link.get(), &DeviceLink::operationFinished);
        RecordingTransfer* t = transfer(target);
        t->Buffer[0] = 1;  // a stale 1 from an earlier reply must not count as acceptance
        t->startWrite(375);
        feedBytes(*link, replyFrame(0x82, t->base, QByteArray(1, verdict)));
        QCOMPARE(prompts.shown.size(), 1);
        QCOMPARE(prompts.shown[0].kind, QString("message"));
        QCOMPARE(prompts.shown[0].text, text);
        QCOMPARE(t->pagesRequested, QList<int>{1});
        QCOMPARE(port.sent.size(), 1);  // a refusal is not retried
        QCOMPARE(finished.at(0).at(0).value<OpOutcome>(), OpOutcome::Refused);
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
        QSignalSpy finished(link.get(), &DeviceLink::operationFinished);
        if (code == 3) link->timeSync.Send();
        if (code == 4) link->checkingMode.Send();
        if (code == 0x85) link->deleteHistory.Send();
        feedBytes(*link, replyFrame(quint8(code), 0, QByteArray(1, char(first))));
        QCOMPARE(feedback->bar.statusText(), status);
        QCOMPARE(prompts.texts(), QStringList{text});
        QCOMPARE(finished.at(0).at(0).value<OpOutcome>(), first == 1 ? OpOutcome::Ok : OpOutcome::Refused);
        // A second copy of the answer changes nothing.
        feedBytes(*link, replyFrame(quint8(code), 0, QByteArray(1, char(first))));
        QCOMPARE(prompts.texts().size(), 1);
    }

    void progress_andCounters_inStatusTexts() {
        history->sendUpTo = 2;
        history->startRead(500);
        feedBytes(*link, replyFrame(0x83, 0x30000, page256()));
        feedBytes(*link, replyFrame(0x83, 0x30100, page256()));
        QCOMPARE(feedback->bar.statusText(), QString("Reading historical data:2/500"));
        QCOMPARE(feedback->bar.progressPosition(), 0);  // 3 * 100 / 500 in integers

        history->finish(OpOutcome::Cancelled);
        numbers->startRead(375);
        for (int p = 1; p <= 375; ++p) feedBytes(*link, replyFrame(0x83, numbers->addressOf(p), page256()));
        QCOMPARE(feedback->bar.statusText(), QString("Reading number list:376/375"));
        QCOMPARE(feedback->bar.progressPosition(), 100);
        QVERIFY(!feedback->bar.progressVisible());
        QCOMPARE(numbers->decoded.size(), 375);
    }

    void login_checksOnlyItsOwnReply_data() {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QByteArray>("device");
        QTest::addColumn<bool>("ok");
        QTest::newRow("factory") << "5729" << QByteArray("5729") << true;
        QTest::newRow("letter case") << "abCD" << QByteArray("ABcd") << true;
        QTest::newRow("wrong") << "1234" << QByteArray("5729") << false;
        QTest::newRow("five characters") << "57290" << QByteArray("5729") << false;
        QTest::newRow("three characters") << "572" << QByteArray("572\0", 4) << false;
    }
    void login_checksOnlyItsOwnReply() {
        QFETCH(QString, typed);
        QFETCH(QByteArray, device);
        QFETCH(bool, ok);
        QSignalSpy enabled(&link->login, &Tpasswordverify::buttonsEnabled);
        link->login.passwordBox = [typed] { return typed; };
        link->login.Login();
        link->login.Login();  // a second press while the first is outstanding
        QCOMPARE(port.sent, QList<QByteArray>{QByteArray::fromHex("238300000000000083")});
        QCOMPARE(feedback->bar.statusText(), QString("Password verifing"));
        QVERIFY(feedback->bar.tmr1.isOn());
        const QByteArray page = device + QByteArray(252, char(0xFF));
        feedBytes(*link, replyFrame(0x83, 0x100, page));  // not the page asked for
        QCOMPARE(link->login.Verifying, quint8(1));
        feedBytes(*link, replyFrame(0x83, 0, page));
        feedBytes(*link, replyFrame(0x83, 0, page));  // a duplicate checks nothing
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
        QVERIFY(link->deleteHistory.Send());
        QCOMPARE(port.sent.at(0), QByteArray::fromHex("238500000000000085"));
        QCOMPARE(feedback->bar.statusText(), QString("Password verifying"));
        QVERIFY(feedback->bar.tmr1.isOn());
        link->cancelActive();
        QVERIFY(!feedback->bar.tmr1.isOn());
        QVERIFY(link->checkingMode.Send());
        QCOMPARE(port.sent.at(1), QByteArray::fromHex("230400000000000004"));
    }

    void watchdog_noReply_retriesOnce_thenReportsTimeoutOnce() {
        feedback->bar.tmr1.setInterval(60);
        feedback->progress.SetProgress(40);
        QSignalSpy finished(link.get(), &DeviceLink::operationFinished);
        link->checkingMode.Send();
        QTRY_COMPARE_WITH_TIMEOUT(prompts.count("Receive timeout"), 1, 2000);
        QCOMPARE(port.sent.size(), 2);
        QTest::qWait(200);
        QCOMPARE(prompts.count("Receive timeout"), 1);
        QCOMPARE(finished.count(), 1);
        QCOMPARE(finished.at(0).at(0).value<OpOutcome>(), OpOutcome::TimedOut);
        QCOMPARE(feedback->bar.statusText(), QString());
        QVERIFY(!feedback->bar.progressVisible());
        QVERIFY(!feedback->bar.tmr1.isOn());
    }

    void watchdog_coversTheWholeWait_whateverArrives() {
        // Noise and false starts keep arriving: the request still times out.
        feedback->bar.tmr1.setInterval(150);
        link->midFrameSilenceMs = 100000;
        numbers->startRead(375);
        QElapsedTimer t;
        t.start();
        while (prompts.count("Receive timeout") == 0 && t.elapsed() < 3000) {
            feedBytes(*link, QByteArray::fromHex("55aa"));
            QTest::qWait(20);
        }
        QCOMPARE(prompts.count("Receive timeout"), 1);
        QCOMPARE(port.sent.size(), 2);
        QVERIFY(!link->busy());
    }

    void noRequest_noTimeout() {
        feedback->bar.tmr1.setInterval(30);
        link->midFrameSilenceMs = 30;
        feedBytes(*link, QByteArray::fromHex("23"));
        feedback->bar.tmr1.switchOn();
        QTest::qWait(150);
        QVERIFY(prompts.texts().isEmpty());
        QVERIFY(port.sent.isEmpty());
    }

    void frameCutShort_silenceAsksAgain_nextReplyDispatched() {
        link->midFrameSilenceMs = 50;
        numbers->startRead(375);
        const QByteArray f = replyFrame(0x83, 0x1000, page256(3));
        feedBytes(*link, f.left(100));
        QVERIFY(link->recData.collecting());
        QTRY_COMPARE_WITH_TIMEOUT(port.sent.size(), 2, 2000);
        QVERIFY(!link->recData.collecting());
        feedBytes(*link, f);
        QCOMPARE(numbers->decoded.size(), 1);
        QTest::qWait(120);
        QCOMPARE(prompts.count("Receive timeout"), 0);
    }

    void falseStartWithLongClaim_silenceRecoversHiddenReply() {
        // A stray marker whose claimed length is longer than what follows:
        // the real reply sits inside the false frame until the line is quiet.
        link->midFrameSilenceMs = 50;
        link->deleteHistory.Send();
        const QByteArray noise = QByteArray::fromHex("23830000100000c8");  // claims 200 bytes
        feedBytes(*link, noise + replyFrame(0x85, 0, QByteArray(1, 1)));
        QVERIFY(prompts.texts().isEmpty());
        QTRY_COMPARE_WITH_TIMEOUT(prompts.texts(), QStringList{"Historical data deleted"}, 2000);
        QCOMPARE(port.sent.size(), 1);
        QCOMPARE(prompts.count("Receive timeout"), 0);
    }

    void nestedDelivery_duringMessageBox_keepsFramesWholeAndInOrder() {
        // While the box of one reply is open, the next frames arrive, one of
        // them half. The outer call must neither drop nor reorder them.
        QList<QByteArray> frames;
        connect(link.get(), &DeviceLink::frameReceived, [&](const QByteArray& raw, bool) { frames << raw; });
        const QByteArray second = replyFrame(0x83, 0x1100, page256(9));
        const QByteArray third = replyFrame(0x83, 0x1000, page256(8));
        bool once = false;
        prompts.whileOpen = [&] {
            if (once) return;
            once = true;
            feedBytes(*link, second + third.left(120));
        };
        link->deleteHistory.Send();
        feedBytes(*link, replyFrame(0x85, 0, QByteArray(1, 1)));
        prompts.whileOpen = nullptr;
        QVERIFY(link->recData.collecting());
        feedBytes(*link, third.mid(120));
        QCOMPARE(frames.size(), 3);
        QCOMPARE(frames[1], second);
        QCOMPARE(frames[2], third);
    }
};

QTEST_GUILESS_MAIN(TestDispatcher)
#include "test_dispatcher.moc"
