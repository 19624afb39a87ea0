// The history against the virtual device over a real serial link: the whole
// 500-page read with its compaction, a device that falls silent mid-read, and
// "Delete all".
#include <QSignalSpy>
#include <QtTest>

#include "history_records.h"
#include "sim_harness.h"

namespace {

struct Expected {
    QString no, date, time;
};

// What a read must show, worked out from the device's memory on its own:
// numbered records with a year byte 1..0x4F, in slot order.
QList<Expected> expectedRows(const vdev::VirtualDevice& dev) {
    QList<Expected> out;
    for (int p = 1; p <= 500; ++p) {
        const QByteArray page = dev.pageBytes(vdev::Region::History, p);
        for (int i = 0; i < 2; ++i) {
            const auto* r = reinterpret_cast<const quint8*>(page.constData()) + 128 * i;
            const quint32 n = r[0] | r[1] << 8 | r[2] << 16 | quint32(r[3]) << 24;
            if (n == 0xFFFFFFFFu || r[4] == 0 || r[4] >= 0x50) continue;
            out << Expected{QString::number(qint32(n)),
                            QString::asprintf("20%02d-%02d-%02d", r[4], r[5], r[6]),
                            QString::asprintf("%02d:%02d:%02d", r[7], r[8], r[9])};
        }
    }
    return out;
}

void putLog(vdev::VirtualDevice& dev, int slot, const QByteArray& rec) {
    putRecord(dev, vdev::Region::History, slot, rec);
}

}  // namespace

class TestHistoryDevice : public QObject {
    Q_OBJECT
private slots:
    void fullRead_showsDeviceRecordsInOrder() {
        SimHarness h;
        h.device.fillSampleHistory(37, 7);
        testrec::Event e;
        e.number = 900;
        e.year = 0x55;  // 2085: not a record the device could have made
        putLog(h.device, 601, testrec::record(e));
        e.year = 0;  // empty slot
        putLog(h.device, 602, testrec::record(e));
        e.number = 901;
        e.year = 23;
        putLog(h.device, 999, testrec::record(e));
        QVERIFY(h.start());

        // PageNext reaches 501 when page 500 is asked for; the read is done
        // when its reply has been handled.
        QSignalSpy replies(&h.link(), &DeviceLink::replyReceived);
        h.session->historyInf.ReadAll();
        QVERIFY(h.waitFor([&] { return replies.size() == 500; }, 60000));
        QCOMPARE(h.device.requestCount(0x83), 500);
        QVERIFY(h.prompts.shown.isEmpty());
        QCOMPARE(h.feedback().bar.statusText(), QString("Reading historical data:500/500"));

        const QList<Expected> want = expectedRows(h.device);
        QCOMPARE(want.size(), 38);
        const TextGrid& g = h.session->history;
        for (int i = 0; i < want.size(); ++i) {
            QCOMPARE(g.text(1, i + 1), want[i].no);
            QCOMPARE(g.text(2, i + 1), want[i].date);
            QCOMPARE(g.text(3, i + 1), want[i].time);
            QVERIFY(!g.text(5, i + 1).isEmpty());
        }
        QCOMPARE(g.text(1, 38), QString("901"));
        for (int r = want.size() + 1; r <= 1000; ++r)
            for (int c = 1; c <= 7; ++c) QCOMPARE(g.text(c, r), QString());
    }

    void silentPage_stopsWithTimeout_keepsRowsReadSoFar() {
        SimHarness h;
        h.device.fillSampleHistory(10, 3);
        testrec::Event e;
        e.number = 500;
        putLog(h.device, 100, testrec::record(e));  // page 50, read
        e.number = 501;
        putLog(h.device, 300, testrec::record(e));  // page 150, never read
        vdev::Faults f;
        f.silentAfter = 120;
        QVERIFY(h.start(f));
        h.feedback().bar.tmr1.setInterval(300);

        h.session->historyInf.ReadAll();
        QVERIFY(h.waitForMessage("Receive timeout", 30000));
        QTest::qWait(400);
        QCOMPARE(h.prompts.texts(), QStringList{"Receive timeout"});
        QCOMPARE(h.device.requestCount(0x83), 122);  // page 121 asked twice
        const TextGrid& g = h.session->history;
        for (int r = 1; r <= 10; ++r) QCOMPARE(g.text(1, r), QString::number(r));
        QCOMPARE(g.text(1, 11), QString());
        QCOMPARE(g.text(1, 100), QString("500"));  // not moved up: no compaction ran
        QCOMPARE(g.text(2, 100), QString("2024-03-09"));
        QCOMPARE(g.text(1, 300), QString());
    }

    void deleteAll_okClearsLog_cancelSendsNothing() {
        SimHarness h;
        h.device.fillSampleHistory(50, 5);
        QVERIFY(h.start());
        h.prompts.answers.enqueue(false);
        QVERIFY(!h.session->historyInf.DeleteAll());
        QTest::qWait(300);
        QCOMPARE(h.device.totalRequests(), 0);
        QCOMPARE(h.prompts.texts(), QStringList{THistoryInf::deleteWarning()});
        QVERIFY(h.device.pageBytes(vdev::Region::History, 1) != QByteArray(256, char(0xFF)));

        h.prompts.answers.enqueue(true);
        QVERIFY(h.session->historyInf.DeleteAll());
        QVERIFY(h.waitForMessage("Historical data deleted"));
        QCOMPARE(h.device.requestCount(0x85), 1);
        for (int p = 1; p <= 500; ++p)
            QCOMPARE(h.device.pageBytes(vdev::Region::History, p), QByteArray(256, char(0xFF)));
    }
};

QTEST_GUILESS_MAIN(TestHistoryDevice)
#include "test_history_device.moc"
