// Every exchange ends. Each device operation runs over the real serial link
// against the virtual device with one line fault on the first, a middle or
// the last request: once, it ends in success with exactly the right data or
// device memory; twice on the same request, it ends with its message in
// bounded time. Either way the link is idle afterwards and a log-in works.
#include <QtTest>

#include "numbers/number_record.h"
#include "settings/settings_codec.h"
#include "sim_harness.h"

using vdev::ReplyFault;

namespace {

// Shorter than the tool's own limits, so the matrix runs in seconds, yet long
// enough that an answer held up by a busy machine (ctest -j8 on two cores)
// still comes in time: only the faults may decide an outcome.
constexpr int WatchdogMs = 2000;
constexpr int SilenceMs = 250;

// What one operation does and how its success is judged.
struct Operation {
    int requests = 1;                             // requests of a fault-free run
    std::function<void(SimHarness&)> prepare;     // before the port opens
    std::function<void(SimHarness&)> start;
    std::function<bool(SimHarness&)> succeeded;   // exact data or memory
};

void numbersOnDevice(SimHarness& h) {
    QByteArray page(vdev::PageSize, '\xff');
    for (int p : {1, 188, 375}) {
        page.replace(0, 8, QByteArray::number(13800000 + p));
        page.replace(22, 10, QByteArray::fromHex("63636363636363630063"));
        h.device.setPageBytes(vdev::Region::Numbers, p, page);
    }
}

void numbersInGrid(SimHarness& h) {
    for (int row : {1, 1500, 3000})
        h.session->numbers.setRows(row, {{QString::number(5550000 + row), "", "", "", "", "yes", "no"}},
                                   numrec::Number);
}

QByteArray expectedNumbers(SimHarness& h) {
    QByteArray all;
    quint8 page[numrec::PageSize];
    for (int p = 1; p <= numrec::PageCount; ++p) {
        numrec::encodePage(h.session->numbers, p, page);
        all += QByteArray(reinterpret_cast<const char*>(page), numrec::PageSize);
    }
    return all;
}

QByteArray expectedSettings(SimHarness& h) {
    QByteArray all;
    settings::Page page{};
    for (int p : {1, 2}) {
        settings::encodePage(p, h.session->settings, page);
        all += QByteArray(reinterpret_cast<const char*>(page.data()), int(page.size()));
    }
    return all;
}

// The grid a fault-free read of the same device gives.
QVector<QString> cleanRead(const std::function<void(SimHarness&)>& prepare,
                           const std::function<void(SimHarness&)>& start,
                           const std::function<QVector<QString>(SimHarness&)>& grid) {
    SimHarness h;
    prepare(h);
    if (!h.start()) return {};
    start(h);
    SimHarness::waitFor([&] { return !h.link().busy(); }, 60000);
    return grid(h);
}

const QMap<QString, Operation>& operations() {
    static QMap<QString, Operation> ops;
    if (!ops.isEmpty()) return ops;
    auto none = [](SimHarness&) {};

    auto numbersGrid = [](SimHarness& h) { return h.session->numbers.snapshot(); };
    auto readNumbers = [](SimHarness& h) { h.session->telephoneSend.btn10Click(); };
    const QVector<QString> numbersRef = cleanRead(numbersOnDevice, readNumbers, numbersGrid);
    ops["numbers read"] = {375, numbersOnDevice, readNumbers, [=](SimHarness& h) {
                               return h.session->numbers.snapshot() == numbersRef;
                           }};
    ops["numbers save"] = {375, none,
                           [](SimHarness& h) {
                               numbersInGrid(h);
                               h.session->telephoneSend.btn9Click();
                           },
                           [](SimHarness& h) {
                               return regionBytes(h.device, vdev::Region::Numbers) ==
                                      expectedNumbers(h);
                           }};

    auto history = [](SimHarness& h) { h.device.fillSampleHistory(1000, 7); };
    auto readHistory = [](SimHarness& h) { h.session->historyInf.ReadAll(); };
    const QVector<QString> historyRef =
        cleanRead(history, readHistory, [](SimHarness& h) { return h.session->history.snapshot(); });
    ops["history read"] = {500, history, readHistory, [=](SimHarness& h) {
                               return h.session->history.snapshot() == historyRef;
                           }};

    auto settingsOnDevice = [](SimHarness& h) {
        putBytes(h.device, vdev::Region::Settings, 1, 28, "Gate open");
    };
    auto readSettings = [](SimHarness& h) { h.session->basicInf.readSettings(); };
    const QVector<QString> settingsRef = cleanRead(
        settingsOnDevice, readSettings, [](SimHarness& h) { return h.session->settings.grid.snapshot(); });
    ops["settings read"] = {2, settingsOnDevice, readSettings, [=](SimHarness& h) {
                                return h.session->settings.grid.snapshot() == settingsRef;
                            }};
    ops["settings save"] = {2, none,
                            [](SimHarness& h) {
                                h.session->settings.setContent(3, "13800138000");
                                h.session->basicInf.saveSettings();
                            },
                            [](SimHarness& h) {
                                return regionBytes(h.device, vdev::Region::Settings) ==
                                       expectedSettings(h);
                            }};
    ops["log-in"] = {1, none, [](SimHarness& h) {
                         h.session->link.login.passwordBox = [] { return QString("5729"); };
                         h.session->link.login.Login();
                     },
                     [](SimHarness& h) { return h.session->link.login.unlocked(); }};
    ops["time sync"] = {1, none, [](SimHarness& h) { h.session->link.timeSync.Send(); },
                        [](SimHarness& h) {
                            return h.device.deviceClock().has_value() &&
                                   h.prompts.count(QString::fromUtf8("1同步时间返回正确")) == 1;
                        }};
    ops["delete history"] = {1, history, [](SimHarness& h) { h.session->historyInf.DeleteAll(); },
                             [](SimHarness& h) {
                                 return h.device.pageBytes(vdev::Region::History, 1) ==
                                            QByteArray(vdev::PageSize, '\xff') &&
                                        h.prompts.count("Historical data deleted") == 1;
                             }};
    return ops;
}

// Faults that lose the answer; the others (late, duplicated, chunked) only
// delay or repeat it and never fail an operation.
bool losesTheAnswer(ReplyFault f) {
    return f == ReplyFault::BadChecksum || f == ReplyFault::Noise || f == ReplyFault::Short ||
           f == ReplyFault::Cut || f == ReplyFault::Silence;
}

}  // namespace

class TestFaultMatrix : public QObject {
    Q_OBJECT

    void rows(const QString& op) {
        QTest::addColumn<QString>("operation");
        QTest::addColumn<int>("fault");
        QTest::addColumn<int>("request");
        QTest::addColumn<int>("times");
        const int n = operations()[op].requests;
        QList<int> at = {1, (n + 1) / 2, n};
        at.erase(std::unique(at.begin(), at.end()), at.end());
        for (const QString& name : vdev::replyFaultNames())
            for (int request : at)
                for (int times : {1, 2})
                    QTest::addRow("%s@%d x%d", qPrintable(name), request, times)
                        << op << int(*vdev::replyFaultNamed(name)) << request << times;
    }

    void run() {
        QFETCH(QString, operation);
        QFETCH(int, fault);
        QFETCH(int, request);
        QFETCH(int, times);
        const Operation& op = operations()[operation];
        const auto kind = ReplyFault(fault);

        SimHarness h;
        op.prepare(h);
        vdev::Faults f;
        for (int i = 0; i < times; ++i) f.onReply.insert(request + i, kind);
        f.lateMs = WatchdogMs + 250;
        f.gapMs = 15;  // a chunked page still ends well inside the watchdog
        QVERIFY(h.start(f));
        h.feedback().bar.tmr1.setInterval(WatchdogMs);
        h.link().midFrameSilenceMs = SilenceMs;
        QList<OpOutcome> outcomes;
        connect(&h.link(), &DeviceLink::operationFinished, this,
                [&](OpOutcome o) { outcomes << o; });

        op.start(h);
        QVERIFY2(SimHarness::waitFor([&] { return !outcomes.isEmpty(); }, 60000), "never ended");
        QCOMPARE(outcomes.size(), 1);
        if (times == 2 && losesTheAnswer(kind)) {
            const OpOutcome expected =
                kind == ReplyFault::Silence ? OpOutcome::TimedOut : OpOutcome::InvalidData;
            QCOMPARE(outcomes[0], expected);
            if (expected == OpOutcome::TimedOut)
                QCOMPARE(h.prompts.count("Receive timeout"), 1);
            else
                QCOMPARE(h.feedback().bar.statusText(), QString("Invalid data"));
        } else {
            QCOMPARE(outcomes[0], OpOutcome::Ok);
            QVERIFY(op.succeeded(h));
            QCOMPARE(h.prompts.count("Receive timeout"), 0);
        }
        QVERIFY(h.link().activeTransfer() == nullptr);
        QVERIFY(!h.feedback().bar.tmr1.isOn());

        // Whatever is still on its way changes nothing, and a log-in works.
        QVERIFY(h.device.waitIdle(5000));
        const int shown = h.prompts.shown.size();
        QTest::qWait(SilenceMs);
        QCOMPARE(h.prompts.shown.size(), shown);
        h.device.setFaults({});
        QVERIFY(h.login());
    }

private slots:
    void initTestCase() { QVERIFY(!operations().isEmpty()); }

    void numbersRead_data() { rows("numbers read"); }
    void numbersRead() { run(); }
    void numbersSave_data() { rows("numbers save"); }
    void numbersSave() { run(); }
    void historyRead_data() { rows("history read"); }
    void historyRead() { run(); }
    void settingsRead_data() { rows("settings read"); }
    void settingsRead() { run(); }
    void settingsSave_data() { rows("settings save"); }
    void settingsSave() { run(); }
    void login_data() { rows("log-in"); }
    void login() { run(); }
    void timeSync_data() { rows("time sync"); }
    void timeSync() { run(); }
    void deleteHistory_data() { rows("delete history"); }
    void deleteHistory() { run(); }
};

QTEST_GUILESS_MAIN(TestFaultMatrix)
#include "test_fault_matrix.moc"
