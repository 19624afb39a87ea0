// The history read chain through the virtual device answering in-process: page
// decoding into the grid, the compaction after the last page, and "Delete all".
#include <QSignalSpy>
#include <QtTest>

#include "history_records.h"
#include "session_rig.h"

using testrec::Event;

namespace {

void putLog(InProcessDevice& device, int slot, const QByteArray& record) {
    putRecord(device, vdev::Region::History, slot, record);
}

QStringList dataColumns(const TextGrid& g, int row) {
    return g.rowTexts(row).mid(1);
}

}  // namespace

class TestHistoryInf : public QObject, SessionRig {
    Q_OBJECT

    // Runs the event loop until the read chain has stopped moving.
    void settle(int quietMs = 150) {
        QElapsedTimer total, quiet;
        total.start();
        quiet.start();
        int last = port.sent.size();
        while (total.elapsed() < 30000 && quiet.elapsed() < quietMs) {
            QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
            if (port.sent.size() != last) {
                last = port.sent.size();
                quiet.restart();
            }
        }
    }

private slots:
    void init() {
        setUpRig();
        session->feedback.bar.tmr1.setInterval(200);  // watchdog: short in tests
    }
    void cleanup() { tearDownRig(); }

    void fullRead_requestsEveryPage_thenCompacts() {
        Event e;
        const struct {
            int slot;
            int number;
            quint8 year;
        } events[] = {{1, 10, 24},     {2, 11, 0x4F},   {3, 12, 0x50}, {6, 13, 24},
                      {301, 14, 0x64}, {600, 15, 0x63}, {999, 16, 1},  {1000, 17, 25}};
        for (const auto& ev : events) {
            e.number = ev.number;
            e.year = ev.year;
            putLog(device, ev.slot, testrec::record(e));
        }
        Event empty;  // year 0: an empty slot, whatever else it holds
        empty.year = 0;
        putLog(device, 4, testrec::record(empty));
        Event unnumbered;
        unnumbered.noNumber = true;
        putLog(device, 5, testrec::record(unnumbered));
        // Stale rows from an earlier read are overwritten, not kept.
        session->history.setRows(700, {QStringList{"1", "2024-01-01", "00:00:00"}}, 1);

        QSignalSpy texts(&session->feedback.bar, &StatusBarModel::statusTextChanged);
        QSignalSpy progress(&session->feedback.bar, &StatusBarModel::progressChanged);
        session->historyInf.ReadAll();
        settle();

        QCOMPARE(port.sent.size(), 500);
        QCOMPARE(port.sent.first().toHex(), QByteArray("238300030000000080"));
        QCOMPARE(port.sent.last().toHex(), QByteArray("2383"
                                                      "0004f300"
                                                      "0000"
                                                      "74"));
        for (int p = 1; p <= 500; ++p)
            QCOMPARE(parseFrame(port.sent[p - 1]).address, 0x30000 + (p - 1) * 0x100);

        QStringList shown;
        for (const QList<QVariant>& a : texts) shown << a[0].toString();
        QCOMPARE(shown.count("Reading historical data:1/500"), 1);
        QCOMPARE(shown.count("Reading historical data:500/500"), 1);
        QVERIFY(shown.indexOf("Reading historical data:1/500") <
                shown.indexOf("Reading historical data:2/500"));
        QCOMPARE(session->feedback.bar.statusText(), QString("Reading historical data:500/500"));
        QVERIFY(prompts.shown.isEmpty());

        // Progress: PageNext x 100 / 500, rising, hidden at the end.
        QList<int> positions;
        for (const QList<QVariant>& a : progress) positions << a[0].toInt();
        QVERIFY(std::is_sorted(positions.begin(), positions.end()));
        QVERIFY(positions.contains(1) && positions.contains(50) && positions.contains(99));
        QCOMPARE(session->feedback.bar.progressPosition(), 100);
        QVERIFY(!session->feedback.bar.progressVisible());

        // Kept: numbered, year below 2080 (0x64 reads as "20100", first four 2010).
        const QList<QPair<QString, QString>> kept = {{"10", "2024-03-09"}, {"11", "2079-03-09"},
                                                     {"13", "2024-03-09"}, {"14", "20100-03-09"},
                                                     {"16", "2001-03-09"}, {"17", "2025-03-09"}};
        const TextGrid& g = session->history;
        for (int i = 0; i < kept.size(); ++i) {
            QCOMPARE(g.text(1, i + 1), kept[i].first);
            QCOMPARE(g.text(2, i + 1), kept[i].second);
            QCOMPARE(g.text(3, i + 1), QString("14:05:00"));
            QCOMPARE(g.text(7, i + 1), QString("Door"));
        }
        for (int r = kept.size() + 1; r <= 1000; ++r) {
            QCOMPARE(dataColumns(g, r), QStringList(7, QString()));
        }
        for (int r = 1; r <= 1000; ++r) QCOMPARE(g.text(0, r), QString::number(r));
        QCOMPARE(g.rowTexts(0), (QStringList{"Serial", "No.", "Date", "Time", "From", "Action",
                                             "Executant", "Content"}));
    }

    void silentPage_stopsChain_keepsRowsReadSoFar_noCompaction() {
        Event e;
        e.number = 77;
        putLog(device, 2, testrec::record(e));  // slot 1 erased: a compaction would move this to row 1
        e.number = 78;
        putLog(device, 6, testrec::record(e));
        session->history.setRows(9, {QStringList{"9", "5", "2020-01-01", "01:01:01", "SMS"}}, 0);
        device.faults.silentAfter = 3;  // pages past 3 meet silence

        session->historyInf.ReadAll();
        QTRY_COMPARE_WITH_TIMEOUT(prompts.texts(), QStringList{"Receive timeout"}, 5000);
        settle();

        QCOMPARE(port.sent.size(), 5);  // pages 1..3 answered, page 4 asked twice, never answered
        QCOMPARE(prompts.texts(), QStringList{"Receive timeout"});
        const TextGrid& g = session->history;
        QCOMPARE(dataColumns(g, 1), QStringList(7, QString()));
        QCOMPARE(g.text(1, 2), QString("77"));
        QCOMPARE(g.text(1, 6), QString("78"));
        // Rows of pages never read keep what they held.
        QCOMPARE(dataColumns(g, 9),
                 (QStringList{"5", "2020-01-01", "01:01:01", "SMS", "", "", ""}));
    }

    void readAgain_startsFromPageOne() {
        device.faults.silentAfter = 2;
        session->historyInf.ReadAll();
        QTRY_COMPARE_WITH_TIMEOUT(prompts.texts().size(), 1, 5000);
        port.sent.clear();
        device.faults.silentAfter = -1;
        session->historyInf.ReadAll();
        settle();
        QCOMPARE(port.sent.size(), 500);
        QCOMPARE(parseFrame(port.sent.first()).address, 0x30000);
    }

    void decodePage_rowsFromAddress_data() {
        QTest::addColumn<qint32>("address");
        QTest::addColumn<int>("firstRow");  // 0: nothing written
        QTest::newRow("page 1") << qint32(0x30000) << 1;
        QTest::newRow("page 2") << qint32(0x30100) << 3;
        QTest::newRow("page 500") << qint32(0x4F300) << 999;
        QTest::newRow("unaligned rounds down") << qint32(0x301FF) << 3;
        QTest::newRow("beyond the log") << qint32(0x4F400) << 0;
        QTest::newRow("far beyond") << qint32(0x7FFFFF00) << 0;
    }
    void decodePage_rowsFromAddress() {
        QFETCH(qint32, address);
        QFETCH(int, firstRow);
        Event a, b;
        a.number = 1001;
        b.number = 1002;
        const QByteArray page = testrec::record(a) + testrec::record(b);
        const QVector<QString> before = session->history.snapshot();
        session->historyInf.storeReply(address, page);
        session->historyInf.DecodePage();
        QVERIFY(port.sent.isEmpty());  // no read running: nothing more is asked
        if (firstRow == 0) {
            QCOMPARE(session->history.snapshot(), before);
            return;
        }
        QCOMPARE(session->history.text(1, firstRow), QString("1001"));
        QCOMPARE(session->history.text(1, firstRow + 1), QString("1002"));
        QCOMPARE(session->history.text(0, firstRow), QString::number(firstRow));
        int changed = 0;
        const QVector<QString> after = session->history.snapshot();
        for (int i = 0; i < after.size(); ++i) changed += after[i] != before[i];
        QCOMPARE(changed, 2 * 7);
    }

    void shortReply_askedAgain_neverDecodesLeftovers() {
        Event e;
        for (int slot = 1; slot <= 4; ++slot) {
            e.number = 4 + slot;
            putLog(device, slot, testrec::record(e));
        }
        device.faults.silentAfter = 3;  // pages 1, 2, and 2 again
        // page 2 first comes with one record only
        device.faults.onReply[2] = vdev::ReplyFault::Short;
        session->link.midFrameSilenceMs = 20;
        session->historyInf.ReadAll();
        QTRY_COMPARE_WITH_TIMEOUT(prompts.texts(), QStringList{"Receive timeout"}, 5000);
        QCOMPARE(session->history.text(1, 3), QString("7"));
        QCOMPARE(session->history.text(1, 4), QString("8"));
    }

    void compaction_data() {
        QTest::addColumn<QStringList>("numbers");
        QTest::addColumn<QStringList>("dates");
        QTest::addColumn<QStringList>("keptNumbers");
        QTest::newRow("drops unnumbered and late years")
            << QStringList{"1", "", "3", "4", "5"}
            << QStringList{"2024-01-01", "2024-01-01", "2080-01-01", "2079-12-31", "2099-01-01"}
            << QStringList{"1", "4"};
        QTest::newRow("five-digit year kept")
            << QStringList{"7", "8"} << QStringList{"20100-01-01", "20255-01-01"}
            << QStringList{"7", "8"};
        // A damaged date (a date byte was 0xFF) of a numbered record: the
        // record stays at its place instead of aborting the whole compaction.
        QTest::newRow("damaged date kept in order")
            << QStringList{"1", "2", "3", "4"} << QStringList{"", "2030-01-01", "", "2090-01-01"}
            << QStringList{"1", "2", "3"};
        QTest::newRow("nothing kept")
            << QStringList{"", ""} << QStringList{"2024-01-01", ""} << QStringList{};
    }
    void compaction() {
        QFETCH(QStringList, numbers);
        QFETCH(QStringList, dates);
        QFETCH(QStringList, keptNumbers);
        TextGrid& g = session->history;
        // Spread over the grid, the last one on row 1000.
        QList<int> rows;
        for (int i = 0; i < numbers.size(); ++i) rows << 1000 - (numbers.size() - 1 - i) * 97;
        for (int i = 0; i < numbers.size(); ++i)
            g.setRows(rows[i],
                      {QStringList{numbers[i], dates[i], "10:00:00", "SMS", "Arm", "+1",
                                   "c" + numbers[i]}},
                      1);
        session->historyInf.CompactRows();
        for (int k = 0; k < keptNumbers.size(); ++k) {
            QCOMPARE(g.text(1, k + 1), keptNumbers[k]);
            QCOMPARE(g.text(7, k + 1), "c" + keptNumbers[k]);
            QCOMPARE(g.text(3, k + 1), QString("10:00:00"));
        }
        for (int r = keptNumbers.size() + 1; r <= 1000; ++r)
            QCOMPARE(dataColumns(g, r), QStringList(7, QString()));
        for (int r = 1; r <= 1000; ++r) QCOMPARE(g.text(0, r), QString::number(r));
        QVERIFY(prompts.shown.isEmpty());
    }

    void damagedRecord_inFullRead_othersStillCompacted() {
        Event e;
        e.number = 1;
        putLog(device, 3, testrec::record(e));
        e.number = 2;
        e.month = 0xFF;  // damaged date
        putLog(device, 10, testrec::record(e));
        e.number = 3;
        e.month = 4;
        putLog(device, 20, testrec::record(e));
        session->historyInf.ReadAll();
        settle();
        const TextGrid& g = session->history;
        QCOMPARE(g.text(1, 1), QString("1"));
        QCOMPARE(g.text(1, 2), QString("2"));
        QCOMPARE(g.text(2, 2), QString());
        QCOMPARE(g.text(1, 3), QString("3"));
        QCOMPARE(g.text(2, 3), QString("2024-04-09"));
        QCOMPARE(dataColumns(g, 4), QStringList(7, QString()));
        QVERIFY(prompts.shown.isEmpty());
    }

    void deleteAll_ok_sendsCommand_gridUnchanged() {
        session->history.setRows(1, {QStringList{"1", "2024-01-01", "00:00:01"}}, 1);
        const QVector<QString> before = session->history.snapshot();
        prompts.answers.enqueue(true);
        QVERIFY(session->historyInf.DeleteAll());
        QCOMPARE(prompts.shown.size(), 1);
        QCOMPARE(prompts.shown[0].kind, QString("warn"));
        QCOMPARE(
            prompts.shown[0].text,
            QString(
                "Warning: Thie operation will DELETE all of the historical data on GSM device! "));
        QCOMPARE(port.sent, QList<QByteArray>{QByteArray::fromHex("238500000000000085")});
        QTRY_COMPARE(prompts.texts().size(), 2);
        QCOMPARE(prompts.last(), QString("Historical data deleted"));
        QCOMPARE(session->history.snapshot(), before);
    }

    void deleteAll_cancel_sendsNothing_showsNothingMore() {
        prompts.answers.enqueue(false);
        QVERIFY(!session->historyInf.DeleteAll());
        QCoreApplication::processEvents();
        QVERIFY(port.sent.isEmpty());
        QCOMPARE(prompts.texts(), QStringList{THistoryInf::deleteWarning()});
        QVERIFY(!session->feedback.bar.tmr1.isOn());
    }
};

QTEST_GUILESS_MAIN(TestHistoryInf)
#include "test_history_inf.moc"
