// The number list against the virtual device over a real serial link: a full
// read reproduces the device's list, a full save leaves exactly the expected
// 375 pages, a refused page and a silent page stop the chain.
#include <QtTest>

#include "numbers/number_record.h"
#include "sim_harness.h"

using namespace numrec;

namespace {

QByteArray rec(const QByteArray& number, const QByteArray& tail10) {
    QByteArray r(RecordSize, '\0');
    r.replace(0, number.size(), number);
    r.replace(22, 10, tail10);
    return r;
}

const QByteArray AlwaysTail = QByteArray::fromHex("63636363636363630063");
const QByteArray WindowTail =
    QByteArray::fromHex("0511081e010212051819");  // 2024-05-17 08:30 .. 2025-01-02 18:05

void putRecord(QByteArray& memory, int slot, const QByteArray& r) {
    memory.replace((slot - 1) * RecordSize, RecordSize, r);
}

}  // namespace

class TestNumbersDevice : public QObject {
    Q_OBJECT
private slots:
    void fullRead_reproducesTheList() {
        SimHarness h;
        const auto numbers = vdev::Region::Numbers;
        putRecord(h.device, numbers, 1, rec("+8613800", AlwaysTail));
        putRecord(h.device, numbers, 2, rec("123", WindowTail));
        putRecord(h.device, numbers, 1500, rec("0755-8888", WindowTail));  // reads up to the "-"
        putRecord(h.device, numbers, 2999, rec("1234567890123456789012", AlwaysTail));  // 22 bytes
        putRecord(h.device, numbers, 3000, QByteArray(RecordSize, '\0'));
        QVERIFY(h.start());
        TextGrid& g = h.session->numbers;
        g.setRows(7, {{"old", "2020/01/01", "01:01", "2020/01/02", "02:02", "yes", "yes"}}, Number);

        h.session->telephoneSend.btn10Click();
        QVERIFY(h.waitForMessage("Authorized number list read to PC software success.", 60000));
        QCOMPARE(h.prompts.texts(),
                 (QStringList{"Read the Authorized number list from GSM device to PC software?",
                              "Authorized number list read to PC software success."}));
        QCOMPARE(h.device.requestCount(0x83), 375);
        QCOMPARE(h.feedback().bar.statusText(), QString("Reading number list:376/375"));

        QCOMPARE(g.rowTexts(1), (QStringList{"1", "+8613800", "", "", "", "", "yes", "no"}));
        QCOMPARE(g.rowTexts(2), (QStringList{"2", "123", "2024-05-17", "08:30", "2025-01-02",
                                             "18:05", "no", "no"}));
        QCOMPARE(g.rowTexts(1500), (QStringList{"1500", "0755", "2024-05-17", "08:30", "2025-01-02",
                                                "18:05", "no", "no"}));
        QCOMPARE(g.rowTexts(2999),
                 (QStringList{"2999", "1234567890123456789012", "", "", "", "", "yes", "no"}));
        QCOMPARE(g.rowTexts(3000), (QStringList{"3000", "", "", "", "", "", "no", "no"}));
        QCOMPARE(g.rowTexts(7), (QStringList{"7", "", "", "", "", "", "no", "yes"}));
        int filled = 0;
        for (int r = 1; r <= 3000; ++r) filled += g.text(Number, r).isEmpty() ? 0 : 1;
        QCOMPARE(filled, 4);
    }

    void fullSave_leavesExactlyTheExpectedPages() {
        SimHarness h;
        QVERIFY(h.start());
        TextGrid& g = h.session->numbers;
        g.setRows(1,
                  {{"+8613800", "", "", "", "", "yes", "no"},
                   {"123", "2024/05/17", "08:30", "2025-01-02", "18:05", "no", "no"}},
                  Number);
        g.setRows(2000, {{"2000", "2024/05/17", "9:05", "2025/01/02", "18:5", "no", "no"}}, Number);
        g.setRows(2993, {{"", "", "", "", "", "no", "yes"}}, Number);

        h.session->telephoneSend.btn9Click();
        QVERIFY(h.waitForMessage("Authorized number list saved success", 60000));
        QCOMPARE(h.prompts.texts(), QStringList{"Authorized number list saved success"});
        QCOMPARE(h.device.requestCount(0x82), 375);
        QCOMPARE(h.feedback().bar.statusText(), QString("Save number list:376/375"));

        QByteArray expected(PageCount * PageSize, '\0');
        putRecord(expected, 1, rec("+8613800", AlwaysTail));
        putRecord(expected, 2, rec("123", WindowTail));
        putRecord(expected, 2000, rec("2000", QByteArray::fromHex("05110905010212051819")));
        putRecord(expected, 2993, QByteArray(RecordSize, '\xff'));
        const QByteArray memory = regionBytes(h.device, vdev::Region::Numbers);
        for (int p = 1; p <= PageCount; ++p)
            QVERIFY2(memory.mid((p - 1) * PageSize, PageSize) ==
                         expected.mid((p - 1) * PageSize, PageSize),
                     qPrintable(QString("page %1").arg(p)));
    }

    void refusedPage_showsNumberListDataError() {
        SimHarness h;
        vdev::Faults f;
        f.refuseReply = 10;
        QVERIFY(h.start(f));
        h.session->numbers.setRows(1, QVector<QStringList>(3000, QStringList{"yes"}), Delete);

        h.session->telephoneSend.btn9Click();
        QVERIFY(h.waitForMessage("Number list data error", 30000));
        QTest::qWait(300);
        QCOMPARE(h.prompts.texts(), QStringList{"Number list data error"});
        QCOMPARE(h.prompts.shown.last().kind, QString("message"));
        QCOMPARE(h.device.requestCount(0x82), 10);
        QCOMPARE(h.session->telephoneSend.PageNext, quint16(11));
    }

    void silentPage_stopsWithReceiveTimeout() {
        SimHarness h;
        vdev::Faults f;
        f.silentAfter = 40;
        QVERIFY(h.start(f));
        h.feedback().bar.tmr1.setInterval(300);

        h.session->telephoneSend.btn10Click();
        QVERIFY(h.waitForMessage("Receive timeout", 30000));
        QTest::qWait(400);
        QCOMPARE(h.device.requestCount(0x83), 42);  // page 41 asked twice
        QCOMPARE(h.prompts.count("Authorized number list read to PC software success."), 0);
        QCOMPARE(h.prompts.count("Receive timeout"), 1);
    }
};

QTEST_GUILESS_MAIN(TestNumbersDevice)
#include "test_numbers_device.moc"
