// The traffic record: every frame with its verdict, events, batching,
// capacity and the text export.
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

#include "core/traffic_log.h"
#include "session_rig.h"

class TestTrafficLog : public QObject {
    Q_OBJECT
private slots:
    void settingsExchange_recordsEveryFrameWithVerdicts() {
        LinkRig rig;
        rig.port.device = nullptr;  // the test feeds the replies
        DeviceLink& link = *rig.link;
        TrafficLog log;
        link.recordTo(log);
        link.login.passwordBox = [] { return QString("5729"); };
        link.login.Login();
        QByteArray bad = replyFrame(0x83, 0, QByteArray("5729") + QByteArray(252, 0));
        bad[20] = char(bad[20] ^ 1);
        feedBytes(link, bad);
        feedBytes(link, replyFrame(0x83, 0, QByteArray("5729") + QByteArray(252, 0)));
        feedBytes(link, replyFrame(0x83, 0, QByteArray("5729") + QByteArray(252, 0)));  // again
        QCOMPARE(log.rowCount(), 0);  // batched
        log.flush();
        // request, damaged answer, good answer, a copy nobody asked for
        QCOMPARE(log.rowCount(), 5);
        auto text = [&](int row, int col) {
            return log.data(log.index(row, col), Qt::DisplayRole).toString();
        };
        QCOMPARE(text(0, TrafficLog::Dir), QString("TX"));
        QCOMPARE(text(0, TrafficLog::Command), QString("read block"));
        QCOMPARE(text(0, TrafficLog::Bytes), QString("23 83 00 00 00 00 00 00 83"));
        QCOMPARE(text(1, TrafficLog::Dir), QString("RX"));
        QCOMPARE(text(1, TrafficLog::Checksum), QString("BAD"));
        QVERIFY(log.data(log.index(1, 0), TrafficLog::AlertRole).toBool());
        QCOMPARE(text(2, TrafficLog::Checksum), QString("ok"));
        QCOMPARE(text(2, TrafficLog::Length), QString("256"));
        QCOMPARE(log.at(2).bytes.size(), 265);
        QCOMPARE(text(4, TrafficLog::Command),
                 QString("Ignored: the frame above answers no request in flight"));
        QVERIFY(QRegularExpression("^\\d\\d:\\d\\d:\\d\\d\\.\\d{3}$")
                    .match(text(0, TrafficLog::Time))
                    .hasMatch());
    }

    void timeout_isRecordedAsEvent() {
        LinkRig rig;
        rig.port.device = nullptr;  // a silent device
        rig.feedback->bar.tmr1.setInterval(30);
        TrafficLog log;
        rig.link->recordTo(log);
        rig.link->sendRequest(QByteArray::fromHex("238500000000000085"), "x");
        QTRY_COMPARE(rig.prompts.count("Receive timeout"), 1);
        log.flush();
        QCOMPARE(log.rowCount(), 4);  // request, "Asked again", the retry, the time-out
        QCOMPARE(log.data(log.index(3, TrafficLog::Command), Qt::DisplayRole).toString(),
                 QString("Receive timeout"));
    }

    void capacity_keepsNewest20000() {
        TrafficLog log;
        for (int i = 0; i < 20500; ++i) log.addSent(QByteArray::number(i));
        log.flush();
        QCOMPARE(log.rowCount(), 20000);
        QCOMPARE(log.at(0).bytes, QByteArray("500"));
        for (int i = 0; i < 300; ++i) log.addSent("x");
        log.flush();
        QCOMPARE(log.rowCount(), 20000);
        QCOMPARE(log.at(0).bytes, QByteArray("800"));
    }

    void disabled_recordsNothing_saveWritesText() {
        TrafficLog log;
        log.enabled = false;
        log.addSent("abc");
        log.flush();
        QCOMPARE(log.rowCount(), 0);
        log.enabled = true;
        log.addSent(QByteArray::fromHex("230400000000000004"));
        QTemporaryDir dir;
        QString error;
        QVERIFY(log.saveText(dir.filePath("traffic.txt"), &error));
        QFile f(dir.filePath("traffic.txt"));
        QVERIFY(f.open(QIODevice::ReadOnly));
        const QString text = QString::fromUtf8(f.readAll());
        QVERIFY(text.contains("checking mode"));
        QVERIFY(text.contains("23 04 00 00 00 00 00 00 04"));
    }
};

QTEST_GUILESS_MAIN(TestTrafficLog)
#include "test_traffic_log.moc"
