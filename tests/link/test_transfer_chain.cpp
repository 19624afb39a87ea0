// The paged transfer mechanism: chains, read-back verification of a save,
// cancel, and the end reports that the window and the command line rely on.
#include <QSignalSpy>
#include <QtTest>

#include "session_rig.h"

namespace {

// Three pages in the number range, each filled with its page number.
class ThreePages : public Tsend_rec_command {
public:
    using Tsend_rec_command::Tsend_rec_command;
    QList<int> decodedPages;
    void ReadPage(int page) override { sendRead(devaddr::numbersPage(page), "read"); }
    bool WritePage(int page) override {
        Buffer.fill(quint8(page));
        sendWrite(devaddr::numbersPage(page), "write");
        return true;
    }
    void DecodePage() override {
        decodedPages << (Address - 0x1000) / 0x100 + 1;
        ReadNext();
    }
    QString successText() const override { return lastChainWasWrite() ? "saved" : "read done"; }
    QString refusalText() const override { return "Number list data error"; }
};

}  // namespace

// The three-page transfer on a link whose port the in-process device answers.
class TestTransferChain : public QObject, LinkRig {
    Q_OBJECT
    std::unique_ptr<ThreePages> t;

private slots:
    void init() {
        setUpRig();
        t = std::make_unique<ThreePages>(*link);
    }
    void cleanup() {
        t.reset();
        tearDownRig();
    }

    void save_withVerify_allMatch_successIsLastMessage() {
        link->verifyWrites = true;
        QSignalSpy finished(link.get(), &DeviceLink::transferFinished);
        t->startWrite(3);
        QTRY_COMPARE(finished.count(), 1);
        QCOMPARE(finished.at(0).at(1).toBool(), true);
        QCOMPARE(prompts.texts(), QStringList{"saved"});
        QCOMPARE(port.sent.size(), 6);  // three writes, three read-backs
        QCOMPARE(parseFrame(port.sent[3]).code, quint8(cmd::ReadBlock));
        QVERIFY(t->decodedPages.isEmpty());  // read-backs do not touch the grid
        QVERIFY(link->activeTransfer() == nullptr);
    }

    void save_withVerify_deviceStoresOtherBytes_reportsPage() {
        port.device = [this](const QByteArray& r) {
            const QByteArray answer = device(r);
            const ParsedFrame f = parseFrame(r);
            if (f.code == cmd::WriteBlock && f.address == devaddr::numbersPage(2))
                putBytes(device, vdev::Region::Numbers, 2, 17, QByteArray(1, char(f.payload[17] ^ 0x40)));
            return answer;
        };
        link->verifyWrites = true;
        QSignalSpy finished(link.get(), &DeviceLink::transferFinished);
        t->startWrite(3);
        QTRY_COMPARE(finished.count(), 1);
        QCOMPARE(finished.at(0).at(1).toBool(), false);
        QCOMPARE(prompts.count("saved"), 0);
        QCOMPARE(prompts.shown.size(), 1);
        QVERIFY(prompts.last().contains("page 2: bytes 17"));
        QCOMPARE(t->verifyDifferences().size(), 1);
    }

    void save_withoutVerify_noReadBack() {
        t->startWrite(3);
        QTRY_COMPARE(prompts.texts(), QStringList{"saved"});
        QCOMPARE(port.sent.size(), 3);
    }

    void cancel_whileNoReplyComes_endsAtOnce_linkStaysUsable() {
        QByteArray held;
        port.device = [&](const QByteArray& r) {
            held = device(r);  // page 1's answer is held back
            return QByteArray();
        };
        QSignalSpy finished(link.get(), &DeviceLink::operationFinished);
        QSignalSpy running(link.get(), &DeviceLink::transferRunning);
        t->startRead(3);
        link->cancelActive();  // Esc while page 1 is in flight
        QCOMPARE(finished.count(), 1);
        QCOMPARE(finished.at(0).at(0).value<OpOutcome>(), OpOutcome::Cancelled);
        QCOMPARE(feedback->bar.statusText(), QString("Stopped after page 0/3"));
        QCOMPARE(running.count(), 2);
        QVERIFY(!link->busy() && !feedback->bar.tmr1.isOn());
        // The late answer changes nothing, and the next operation runs normally.
        feedBytes(*link, held);
        QVERIFY(t->decodedPages.isEmpty());
        port.device = [&](const QByteArray& r) { return device(r); };
        t->startRead(3);
        QTRY_COMPARE(prompts.texts(), QStringList{"read done"});
        QCOMPARE(t->decodedPages, (QList<int>{1, 2, 3}));
        QCOMPARE(port.sent.size(), 4);
    }

    void timeout_retriesOnce_thenEndsTheTransfer() {
        feedback->bar.tmr1.setInterval(50);
        device.faults.silentAfter = 1;
        QSignalSpy finished(link.get(), &DeviceLink::transferFinished);
        QSignalSpy retried(link.get(), &DeviceLink::retrying);
        t->startRead(3);
        QTRY_COMPARE(finished.count(), 1);
        QCOMPARE(finished.at(0).at(1).toBool(), false);
        QCOMPARE(prompts.texts(), QStringList{"Receive timeout"});
        QCOMPARE(retried.count(), 1);
        QCOMPARE(port.sent.size(), 3);  // page 1, page 2 and its retry
        QCOMPARE(port.sent[2], port.sent[1]);
        QVERIFY(link->activeTransfer() == nullptr);
        QTest::qWait(150);
        QCOMPARE(prompts.count("Receive timeout"), 1);
    }

    // Answers that are damaged once are asked for again; the data is exact.
    void damagedAnswerOnce_retried_data() {
        QTest::addColumn<int>("kind");  // 0 checksum, 1 short payload, 2 duplicate, 3 stray reply
        QTest::newRow("bad checksum") << 0;
        QTest::newRow("short payload") << 1;
        QTest::newRow("duplicated answer") << 2;
        QTest::newRow("answer for another page first") << 3;
    }
    void damagedAnswerOnce_retried() {
        QFETCH(int, kind);
        for (int p = 1; p <= 3; ++p)
            device.setPageBytes(vdev::Region::Numbers, p, QByteArray(256, char(p)));
        using vdev::ReplyFault;
        vdev::Faults& f = device.faults;  // the answer for page 2 is damaged once
        switch (kind) {
            case 0: f.onReply[2] = ReplyFault::BadChecksum; break;
            case 1: f.onReply[2] = ReplyFault::Short; break;  // 128 bytes
            case 2: f.onReply[2] = ReplyFault::Duplicate; break;
            default:
                f.garbage = replyFrame(cmd::ReadBlock, devaddr::numbersPage(3), QByteArray(256, 9));
                f.garbageReply = 2;
        }
        t->startRead(3);
        QTRY_COMPARE(prompts.texts(), QStringList{"read done"});
        QCOMPARE(t->decodedPages, (QList<int>{1, 2, 3}));
        QCOMPARE(t->Buffer[0], quint8(3));
        QCOMPARE(port.sent.size(), kind <= 1 ? 4 : 3);
    }

    void repliesWithoutRequest_areIgnored() {
        QSignalSpy ignored(link.get(), &DeviceLink::replyIgnored);
        feedback->bar.tmr1.setInterval(30);
        feedBytes(*link, replyFrame(cmd::ReadBlock, 0x1000, QByteArray(256, 0)));
        feedBytes(*link, replyFrame(cmd::WriteBlock, 0x1000, QByteArray(1, 1)));
        feedBytes(*link, QByteArray(1, 0x23));  // a lone marker while nothing was asked
        QTest::qWait(100);
        QVERIFY(t->decodedPages.isEmpty());
        QVERIFY(port.sent.isEmpty());
        QVERIFY(prompts.texts().isEmpty());
        QCOMPARE(ignored.count(), 2);
    }

    void secondOperation_whileOneRuns_sendsNothing() {
        device.faults.silent = true;
        t->startRead(3);
        QVERIFY(!t->startWrite(3));
        link->login.Login();
        QVERIFY(!link->deleteHistory.Send());
        QCOMPARE(port.sent.size(), 1);
        QCOMPARE(prompts.count("Another operation is still running. Wait for it to end, or press Stop."), 3);
        QCOMPARE(t->mode(), Tsend_rec_command::Mode::Reading);
        QCOMPARE(link->login.Verifying, quint8(0));
    }

    void refusedWrite_endsTheRunningTransfer() {
        device.faults.refuseWrites = true;
        QSignalSpy finished(link.get(), &DeviceLink::transferFinished);
        t->startWrite(3);
        QTRY_COMPARE(finished.count(), 1);
        QCOMPARE(finished.at(0).at(1).toBool(), false);
        QCOMPARE(prompts.texts(), QStringList{"Number list data error"});
        QCOMPARE(port.sent.size(), 1);
    }
};

QTEST_GUILESS_MAIN(TestTransferChain)
#include "test_transfer_chain.moc"
