// The number list chains through the virtual device answering in-process:
// requests on the wire, status texts and progress, the end messages, refusals,
// conversion failures and the watchdog.
#include <QSignalSpy>
#include <QtTest>

#include "numbers/number_record.h"
#include "session_rig.h"

using namespace numrec;
using vdev::Region;

namespace {

void setRow(TextGrid& g, int row, const QStringList& cols1to7) {
    g.setRows(row, {cols1to7}, Number);
}

}  // namespace

class TestNumberTransfer : public QObject, SessionRig {
    Q_OBJECT

    bool finished() const {
        for (const auto& s : prompts.shown)
            if (s.kind == "inform" || s.kind == "message") return true;
        return false;
    }
    QByteArray memory() const { return regionBytes(device, Region::Numbers); }

private slots:
    void init() { setUpRig(); }
    void cleanup() { tearDownRig(); }

    void read_declined_sendsNothing() {
        prompts.answers.enqueue(false);
        session->telephoneSend.btn10Click();
        QCOMPARE(prompts.texts(),
                 QStringList{"Read the Authorized number list from GSM device to PC software?"});
        QVERIFY(port.sent.isEmpty());
    }

    void read_fullList_fillsGridAndReportsSuccess() {
        // Slot 1 Always, slot 2 a window, slot 2999 a number, the rest cleared.
        QByteArray r1(32, '\0');
        r1.replace(0, 8, "+8613800");
        r1.replace(22, 10, QByteArray::fromHex("63636363636363630063"));
        QByteArray r2(32, '\0');
        r2.replace(0, 3, "123");
        r2.replace(22, 10, QByteArray::fromHex("0511081e010212051819"));
        QByteArray r2999 = r2;
        r2999.replace(0, 4, "9999");
        putRecord(device, Region::Numbers, 1, r1);
        putRecord(device, Region::Numbers, 2, r2);
        putRecord(device, Region::Numbers, 2999, r2999);
        TextGrid& g = session->numbers;
        setRow(g, 3, {"stale", "2020/01/01", "01:01", "2020/01/02", "02:02", "yes", "yes"});

        session->telephoneSend.btn10Click();
        QTRY_VERIFY_WITH_TIMEOUT(finished(), 20000);

        QCOMPARE(prompts.texts().last(),
                 QString("Authorized number list read to PC software success."));
        QCOMPARE(prompts.shown.last().kind, QString("inform"));
        QCOMPARE(port.sent.size(), 375);
        for (int p = 1; p <= 375; ++p) {
            QCOMPARE(quint8(port.sent[p - 1][1]), quint8(0x83));
            QCOMPARE(parseFrame(port.sent[p - 1]).address, pageAddress(p));
        }
        QCOMPARE(g.rowTexts(1), (QStringList{"1", "+8613800", "", "", "", "", "yes", "no"}));
        QCOMPARE(g.rowTexts(2), (QStringList{"2", "123", "2024-05-17", "08:30", "2025-01-02",
                                             "18:05", "no", "no"}));
        // An empty slot clears the row but never touches "Delete(V)".
        QCOMPARE(g.rowTexts(3), (QStringList{"3", "", "", "", "", "", "no", "yes"}));
        QCOMPARE(g.rowTexts(2999), (QStringList{"2999", "9999", "2024-05-17", "08:30", "2025-01-02",
                                                "18:05", "no", "no"}));

        QVERIFY(statusTexts.contains("Reading telephone number information"));
        QCOMPARE(statusTexts.indexOf("Reading number list:2/375") >= 0, true);
        QCOMPARE(session->feedback.bar.statusText(), QString("Reading number list:376/375"));
        QCOMPARE(progress.last(), 100);
        QVERIFY(!session->feedback.bar.progressVisible());
        QCOMPARE(prompts.count("Authorized number list read to PC software success."), 1);
    }

    void decode_onlyThePageAskedFor() {
        QByteArray page(PageSize, '\0');
        page.replace(0, 2, "42");
        page.replace(22, 10, QByteArray::fromHex("63636363636363630063"));
        port.device = nullptr;  // record only
        session->telephoneSend.btn10Click();
        feedBytes(session->link, replyFrame(0x83, pageAddress(7), page));  // nobody asked
        QVERIFY(session->numbers.text(Number, 49).isEmpty());
        QCOMPARE(port.sent.size(), 1);
        feedBytes(session->link, replyFrame(0x83, pageAddress(1), page));
        QCOMPARE(session->numbers.text(Number, 1), QString("42"));
        QCOMPARE(session->numbers.text(Always, 1), QString("yes"));
        QCOMPARE(port.sent.size(), 2);
        QCOMPARE(parseFrame(port.sent[1]).address, pageAddress(2));
    }

    void read_shortBlockTwice_stopsWithInvalidData() {
        device.faults.onReply = {{4, vdev::ReplyFault::Short}, {5, vdev::ReplyFault::Short}};
        session->telephoneSend.btn10Click();
        QTRY_VERIFY_WITH_TIMEOUT(!session->link.busy(), 10000);
        QCOMPARE(session->feedback.bar.statusText(), QString("Invalid data"));
        QCOMPARE(prompts.count("Authorized number list read to PC software success."), 0);
        QCOMPARE(port.sent.size(), 5);  // pages 1 to 4, and page 4 again
        QVERIFY(session->numbers.text(Number, 25).isEmpty());  // page 4 never decoded
    }

    void save_fullList_writesEveryPage() {
        TextGrid& g = session->numbers;
        setRow(g, 1, {"+8613800", "", "", "", "", "yes", "no"});
        setRow(g, 2, {"123", "2024/05/17", "08:30", "2025/01/02", "18:05", "no", "no"});
        setRow(g, 3000, {"3000", "", "", "", "", "no", "yes"});
        session->telephoneSend.btn9Click();
        QTRY_VERIFY_WITH_TIMEOUT(finished(), 20000);

        QCOMPARE(prompts.texts(), QStringList{"Authorized number list saved success"});
        QCOMPARE(port.sent.size(), 375);
        for (int p = 1; p <= 375; ++p) {
            const QByteArray& f = port.sent[p - 1];
            QCOMPARE(quint8(f[1]), quint8(0x82));
            QCOMPARE(parseFrame(f).address, pageAddress(p));
            QCOMPARE(f.size(), 265);
        }
        QByteArray expected(PageCount * PageSize, '\0');
        QByteArray r1(32, '\0');
        r1.replace(0, 8, "+8613800");
        r1.replace(22, 10, QByteArray::fromHex("63636363636363630063"));
        QByteArray r2(32, '\0');
        r2.replace(0, 3, "123");
        r2.replace(22, 10, QByteArray::fromHex("0511081e010212051819"));
        expected.replace(0, 32, r1);
        expected.replace(32, 32, r2);
        expected.replace(2999 * 32, 32, QByteArray(32, '\xff'));
        QCOMPARE(memory(), expected);
        QVERIFY(statusTexts.contains("Save list"));
        QVERIFY(statusTexts.contains("Save number list:2/375"));
        QCOMPARE(session->feedback.bar.statusText(), QString("Save number list:376/375"));
        QCOMPARE(progress.last(), 100);
    }

    void save_checkFails_sendsNothing() {
        setRow(session->numbers, 12, {"12", "2024/05/17", "", "2025/01/02", "18:05", "no", "no"});
        session->telephoneSend.btn9Click();
        QVERIFY(port.sent.isEmpty());
        QCOMPARE(prompts.shown.size(), 1);
        QCOMPARE(prompts.shown[0].kind, QString("inform"));
        QVERIFY(prompts.last().endsWith("Total:1\rWrong serial number:12"));
    }

    void save_unsendableNumber_refusedBeforeAnyPage() {
        setRow(session->numbers, 30,
               {QString::fromUtf8("1\xF0\x9F\x98\x80"), "", "", "", "", "yes", "no"});
        session->telephoneSend.btn9Click();
        QVERIFY(port.sent.isEmpty());
        QCOMPARE(prompts.shown.size(), 1);
        QCOMPARE(prompts.shown[0].kind, QString("message"));
        QVERIFY(prompts.last().startsWith("Serial 30:"));
    }

    void save_refusedPage_stops() {
        device.faults.refuseReply = 5;
        session->telephoneSend.btn9Click();
        QTRY_VERIFY_WITH_TIMEOUT(finished(), 10000);
        QCOMPARE(prompts.texts(), QStringList{"Number list data error"});
        QCOMPARE(prompts.shown[0].kind, QString("message"));
        QCOMPARE(port.sent.size(), 5);
        QCOMPARE(device.pagesWritten(Region::Numbers), (QList<int>{1, 2, 3, 4}));
        QCOMPARE(session->feedback.bar.statusText(), QString("Save number list:6/375"));
    }

    void save_conversionFailure_sendsNothing() {
        // Row 20 is on page 3: every page is built before the first is sent.
        setRow(session->numbers, 20,
               {"20", "2024/05/17", "0830", "2025/01/02", "18:05", "no", "no"});
        QVERIFY(!session->telephoneSend.btn9Click());
        QTest::qWait(50);
        QCOMPARE(prompts.texts(), QStringList{"'' is not a valid integer value"});
        QCOMPARE(prompts.shown[0].kind, QString("message"));
        QVERIFY(port.sent.isEmpty());
        QVERIFY(!session->link.busy());
    }

    void silentPage_endsWithReceiveTimeout() {
        session->feedback.bar.tmr1.setInterval(200);
        device.faults.silentAfter = 2;
        session->telephoneSend.btn10Click();
        QTRY_VERIFY_WITH_TIMEOUT(prompts.count("Receive timeout") == 1, 5000);
        QTest::qWait(300);
        QCOMPARE(port.sent.size(), 4);  // page 3 asked twice
        QCOMPARE(prompts.count("Authorized number list read to PC software success."), 0);
    }

    // After a read, a save writes (and reads back) only the pages that differ
    // from what the device holds; after forgetDevice, every page again.
    void changedPagesSave_sendsOnlyWhatDiffers_data() {
        QTest::addColumn<QList<int>>("rows");  // rows given a new number; -1 clears slot 33
        QTest::addColumn<int>("pages");
        QTest::newRow("one slot") << QList<int>{10} << 1;
        QTest::newRow("eight slots, one page") << QList<int>{9, 10, 11, 12, 13, 14, 15, 16} << 1;
        QTest::newRow("eight slots, eight pages") << QList<int>{1, 9, 17, 25, 33, 41, 49, 57} << 8;
        QTest::newRow("a slot cleared") << QList<int>{-1} << 1;
        QTest::newRow("nothing changed") << QList<int>{} << 0;
        QList<int> all;
        for (int r = 1; r <= 3000; ++r) all << r;
        QTest::newRow("all slots") << all << 375;
    }
    void changedPagesSave_sendsOnlyWhatDiffers() {
        QFETCH(QList<int>, rows);
        QFETCH(int, pages);
        QByteArray rec(RecordSize, '\0');
        rec.replace(0, 3, "777");
        rec.replace(22, 10, QByteArray::fromHex("63636363636363630063"));
        putRecord(device, Region::Numbers, 33, rec);
        session->telephoneSend.btn10Click();
        QTRY_VERIFY_WITH_TIMEOUT(!session->link.busy(), 10000);
        for (int row : rows) {
            if (row < 0)
                setRow(session->numbers, 33, {"", "", "", "", "", "no", "no"});
            else
                setRow(session->numbers, row, {QString::number(5550000 + row), "", "", "", "", "yes", "no"});
        }
        const QByteArray before = memory();
        port.sent.clear();
        session->link.verifyWrites = true;
        QVERIFY(session->telephoneSend.btn9Click());
        QTRY_VERIFY_WITH_TIMEOUT(!session->link.busy(), 10000);
        QCOMPARE(prompts.count("Authorized number list saved success"), 1);
        QCOMPARE(port.sent.size(), 2 * pages);  // the writes, then their read-backs
        const QList<int> written = device.pagesWritten(Region::Numbers);
        QCOMPARE(written.size(), pages);
        // The device holds the list the grid shows; pages left alone kept
        // their own bytes.
        const QByteArray after = memory();
        for (int p = 1; p <= PageCount; ++p) {
            const auto rows = decodePage(reinterpret_cast<const quint8*>(after.constData()) +
                                         (p - 1) * PageSize);
            for (int i = 0; i < RecordsPerPage; ++i)
                QCOMPARE(rows[i], session->numbers.rowTexts(8 * (p - 1) + 1 + i).mid(1, rows[i].size()));
            if (!written.contains(p))
                QCOMPARE(after.mid((p - 1) * PageSize, PageSize),
                         before.mid((p - 1) * PageSize, PageSize));
        }
        // A new device (the port was closed): every page again.
        session->telephoneSend.forgetDevice();
        session->link.verifyWrites = false;
        port.sent.clear();
        session->telephoneSend.btn9Click();
        QTRY_VERIFY_WITH_TIMEOUT(!session->link.busy(), 10000);
        QCOMPARE(port.sent.size(), 375);
    }

    void changedPagesSave_stoppedPartWay_nextSaveSendsWhatIsMissing() {
        session->telephoneSend.btn10Click();
        QTRY_VERIFY_WITH_TIMEOUT(!session->link.busy(), 10000);
        for (int row : {1, 100, 2000}) setRow(session->numbers, row, {"123", "", "", "", "", "yes", "no"});
        device.resetCounters();
        device.faults.refuseReply = 2;  // the second page written: page 13, where row 100 is
        session->telephoneSend.btn9Click();
        QTRY_VERIFY_WITH_TIMEOUT(!session->link.busy(), 10000);
        QCOMPARE(device.pagesWritten(Region::Numbers), QList<int>{1});
        device.faults.refuseReply = 0;
        session->telephoneSend.btn9Click();
        QTRY_VERIFY_WITH_TIMEOUT(!session->link.busy(), 10000);
        QCOMPARE(device.pagesWritten(Region::Numbers), (QList<int>{1, 13, 250}));
    }

    void changedPagesSave_question_canWriteAllPages() {
        session->telephoneSend.btn10Click();
        QTRY_VERIFY_WITH_TIMEOUT(!session->link.busy(), 10000);
        setRow(session->numbers, 5, {"123", "", "", "", "", "yes", "no"});
        int planned = 0;
        session->link.beforeWrite = [&](Tsend_rec_command* t) -> bool {
            planned = t->pagesToWrite();
            const int answer = prompts.choose("pages", {"OK", "Write all pages", "Cancel"});
            if (answer == 1) t->writeAllPages();
            return answer != 2;
        };
        prompts.choices << 2 << 1;
        port.sent.clear();
        QVERIFY(!session->telephoneSend.btn9Click());  // cancelled
        QVERIFY(port.sent.isEmpty());
        QCOMPARE(planned, 1);
        QVERIFY(session->telephoneSend.btn9Click());
        QTRY_VERIFY_WITH_TIMEOUT(!session->link.busy(), 10000);
        QCOMPARE(port.sent.size(), 375);
    }

    void pressAfterStop_restartsFromPageOne() {
        device.faults.silentAfter = 2;  // page 3 gets no answer
        session->feedback.bar.tmr1.setInterval(60000);
        session->telephoneSend.btn10Click();
        QTRY_COMPARE_WITH_TIMEOUT(port.sent.size(), 3, 5000);
        device.faults.silentAfter = -1;
        session->telephoneSend.btn10Click();  // still running: refused
        QCOMPARE(port.sent.size(), 3);
        session->link.cancelActive();
        session->telephoneSend.btn10Click();
        QTRY_VERIFY_WITH_TIMEOUT(!session->link.busy(), 20000);
        QCOMPARE(parseFrame(port.sent[3]).address, pageAddress(1));
        QCOMPARE(port.sent.size(), 3 + 375);
        QCOMPARE(prompts.count("Authorized number list read to PC software success."), 1);
    }
};

QTEST_GUILESS_MAIN(TestNumberTransfer)
#include "test_number_transfer.moc"
