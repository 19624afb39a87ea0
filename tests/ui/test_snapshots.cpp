// Snapshots after reads, and the change summary before saves, against the
// virtual device.
#include <QDir>
#include <QSemaphore>
#include <QTemporaryDir>
#include <QtTest>

#include "app/snapshots.h"
#include "office/number_files.h"
#include "sim_harness.h"

class TestSnapshots : public QObject {
    Q_OBJECT
    QTemporaryDir dir;

    static bool readNumbers(SimHarness& h) {
        bool done = false;
        QObject::connect(&h.link(), &DeviceLink::transferFinished,
                         [&](Tsend_rec_command*, bool ok) { done = ok; });
        h.session->telephoneSend.startRead(375);
        return SimHarness::waitFor([&] { return done; }, 20000);
    }

private slots:
    void numberRead_leavesSnapshotThatImportsBack() {
        SimHarness h;
        h.session->ConfigDir = dir.path() + "/";
        SnapshotKeeper keeper(*h.session);
        QByteArray page(256, char(0xFF));
        page.replace(0, 8, QByteArray("+5550100", 8));
        page.replace(8, 14, QByteArray(14, 0));
        page.replace(22, 10, QByteArray::fromHex("63636363636363630063"));
        h.device.setPageBytes(vdev::Region::Numbers, 2, page);
        h.session->settings.setContent(2, "8613800138000");
        QVERIFY(h.start());
        QString written;
        connect(&keeper, &SnapshotKeeper::snapshotWritten, this,
                [&](const QString& p) { written = p; });
        QVERIFY(readNumbers(h));
        QVERIFY(SimHarness::waitFor([&] { return !written.isEmpty(); }));
        QVERIFY(written.startsWith(keeper.folder() + "numbers_"));
        QVERIFY(written.endsWith("_8613800138000.xlsx"));
        TextGrid back(8, 3001);
        TtelephoneSend::fillStartContents(back);
        const auto o = numfiles::importWorkbook(back, written);
        QVERIFY2(o.ok(), qPrintable(o.text));
        for (int r = 1; r <= 3000; ++r)
            for (int c = 1; c <= 6; ++c) QCOMPARE(back.text(c, r), h.session->numbers.text(c, r));
        QCOMPARE(back.text(1, 9), QString("+5550100"));
    }

    void snapshot_writtenWhileTheEventLoopRuns() {
        // The write waits for an event the event loop delivers; written on
        // the window's thread it would wait in vain.
        SimHarness h;
        QTemporaryDir local;
        h.session->ConfigDir = local.path() + "/";
        SnapshotKeeper keeper(*h.session);
        QSemaphore started, gate;
        bool released = false;
        keeper.beforeWrite = [&] {
            started.release();
            released = gate.tryAcquire(1, 10000);
        };
        QVERIFY(h.start());
        QString written;
        connect(&keeper, &SnapshotKeeper::snapshotWritten, this,
                [&](const QString& p) { written = p; });
        QVERIFY(readNumbers(h));
        QVERIFY(SimHarness::waitFor([&] { return started.available() > 0; }));
        QTimer::singleShot(0, this, [&] { gate.release(); });
        QVERIFY(SimHarness::waitFor([&] { return !written.isEmpty(); }, 20000));
        QVERIFY(released);
        QVERIFY(QFileInfo(written).size() > 0);
    }

    void snapshots_keepNewest50() {
        SimHarness h;
        QTemporaryDir local;
        h.session->ConfigDir = local.path() + "/";
        SnapshotKeeper keeper(*h.session);
        keeper.keepPerKind = 3;
        QVERIFY(h.start());
        int count = 0;
        connect(&keeper, &SnapshotKeeper::snapshotWritten, this, [&] { ++count; });
        for (int i = 0; i < 5; ++i) {
            h.session->basicInf.startRead(2);
            QVERIFY(h.waitFor([&] { return count == i + 1; }));
        }
        QCOMPARE(QDir(keeper.folder()).entryList({"settings_*.xlsx"}).size(), 3);
    }

    void saveAfterEditingTwoSlots_announcesExactlyThose() {
        SimHarness h;
        h.session->ConfigDir = dir.path() + "/";
        SnapshotKeeper keeper(*h.session);
        QVERIFY(h.start());
        QVERIFY(readNumbers(h));
        QVERIFY(keeper.changeQuestion(&h.session->telephoneSend)
                    .contains("0 slots changed, 0 cleared, 3000 unchanged"));
        h.session->numbers.setRows(5, {{"5", "5550105", "", "", "", "", "yes", "no"}});
        QVERIFY(keeper.changeQuestion(&h.session->telephoneSend)
                    .contains("1 slot changed, 0 cleared, 2999 unchanged"));
        h.session->numbers.setRows(
            77, {{"77", "+4412345", "2024/05/17", "08:30", "2025/01/02", "18:05", "no", "no"}});
        const QString q = keeper.changeQuestion(&h.session->telephoneSend);
        QVERIFY2(q.contains("2 slots changed, 0 cleared, 2998 unchanged"), qPrintable(q));
        // The window asks this before the save writes anything; Cancel sends nothing.
        h.link().beforeWrite = [&](Tsend_rec_command* t) {
            return h.prompts.confirm(keeper.changeQuestion(t));
        };
        h.prompts.answers.enqueue(false);
        h.device.resetCounters();
        h.session->telephoneSend.btn9Click();
        QTest::qWait(100);
        QCOMPARE(h.device.totalRequests(), 0);
        QVERIFY(h.prompts.last().contains("2 slots changed"));
    }

    void settingsChange_listsRowsThatDiffer() {
        SettingsSheet a, b;
        a.fillStartContents();
        b.fillStartContents();
        b.setContent(5, "Gate forced");
        b.setChoice(SettingsSheet::Cbb4, 1);
        const QStringList rows = SnapshotKeeper::settingsChange(a, b);
        QCOMPARE(rows.size(), 2);
        QVERIFY(rows[0].startsWith("5.DIN1 Alarm Content"));
        QVERIFY(rows[1].contains("\"0:Disarm\" -> \"1:Arm\""));
    }

    void verifyAfterSave_catchesDeviceStoringOtherBytes() {
        SimHarness h;
        vdev::Faults f;
        f.corruptStore = true;
        QVERIFY(h.start(f));
        h.link().verifyWrites = true;
        h.session->numbers.setRows(17, {{"17", "5550117", "", "", "", "", "yes", "no"}});
        bool done = false, ok = true;
        connect(&h.link(), &DeviceLink::transferFinished, this, [&](Tsend_rec_command*, bool o) {
            done = true;
            ok = o;
        });
        h.session->telephoneSend.startWrite(375);
        QVERIFY(SimHarness::waitFor([&] { return done; }, 30000));
        QVERIFY(!ok);
        QCOMPARE(h.prompts.count("Authorized number list saved success"), 0);
        // The device altered the first byte of every page it stored.
        QVERIFY2(h.prompts.last().contains("375 difference(s)"), qPrintable(h.prompts.last()));
        QVERIFY(h.prompts.last().contains("page 1, slot 1"));
        QCOMPARE(h.device.requestCount(0x83), 375);
    }

    void verifyAfterSave_allMatch_successIsLast() {
        SimHarness h;
        QVERIFY(h.start());
        h.link().verifyWrites = true;
        h.session->numbers.setRows(3, {{"3", "+4930123", "", "", "", "", "yes", "no"}});
        h.session->telephoneSend.startWrite(375);
        QVERIFY(h.waitForMessage("Authorized number list saved success", 30000));
        QCOMPARE(h.prompts.texts(), QStringList{"Authorized number list saved success"});
        QCOMPARE(h.device.requestCount(0x83), 375);
    }

    void noBaseline_noQuestion() {
        RecordingPrompts prompts;
        DeviceSession s(prompts);
        SnapshotKeeper keeper(s);
        QVERIFY(keeper.changeQuestion(&s.telephoneSend).isEmpty());
        QVERIFY(keeper.changeQuestion(&s.basicInf).isEmpty());
    }
};

QTEST_GUILESS_MAIN(TestSnapshots)
#include "test_snapshots.moc"
