// Log-in and the single commands over the real serial link against the
// virtual device.
#include <QtTest>

#include "sim_harness.h"

class TestSimSession : public QObject {
    Q_OBJECT
private slots:
    void login_factoryPassword_unlocks() {
        SimHarness h;
        QVERIFY(h.start());
        QVERIFY(h.login("5729"));
        QCOMPARE(h.prompts.texts(), QStringList{"Password confirmed!"});
        QCOMPARE(h.device.requestCount(0x83), 1);
    }

    void login_wrongPassword_locks() {
        SimHarness h;
        QVERIFY(h.start());
        QVERIFY(!h.login("1111"));
        QCOMPARE(h.prompts.texts(), QStringList{"Password Error!"});
    }

    void login_letterCase_isIgnored() {
        SimHarness h;
        putBytes(h.device, vdev::Region::Settings, 1, 0, "AbCd");
        QVERIFY(h.start());
        QVERIFY(h.login("aBcD"));
    }

    void silentDevice_timeoutOnce_loginStaysPending() {
        SimHarness h;
        vdev::Faults f;
        f.silent = true;
        QVERIFY(h.start(f));
        h.feedback().bar.tmr1.setInterval(300);
        h.session->link.login.passwordBox = [] { return QString("5729"); };
        h.link().login.Login();
        QVERIFY(h.waitForMessage("Receive timeout", 3000));
        QTest::qWait(500);
        QCOMPARE(h.prompts.count("Receive timeout"), 1);
        QVERIFY(!h.link().login.unlocked());
    }

    void deleteHistory_clearsDeviceLog() {
        SimHarness h;
        h.device.fillSampleHistory(20);
        QVERIFY(h.start());
        h.link().deleteHistory.Send();
        QVERIFY(h.waitForMessage("Historical data deleted"));
        QCOMPARE(h.device.pageBytes(vdev::Region::History, 1), QByteArray(256, char(0xFF)));
    }

    void timeSync_andCheckingMode_answered() {
        SimHarness h;
        QVERIFY(h.start());
        h.link().timeSync.Send();
        QVERIFY(h.waitForMessage(QString::fromUtf8("1同步时间返回正确")));
        QVERIFY(h.device.deviceClock().has_value());
        h.link().checkingMode.Send();
        QVERIFY(h.waitForMessage("Enter"));
        QVERIFY(h.device.checkingMode());
    }

    void garbageAndChunks_beforeReplies_stillUnderstood() {
        SimHarness h;
        vdev::Faults f;
        f.garbage = QByteArray::fromHex("00ff2323");
        f.chunkSize = 7;
        f.chunkDelayMs = 2;
        QVERIFY(h.start(f));
        QVERIFY(h.login("5729"));
    }

    void badChecksumReply_showsInvalidData_thenAsksAgain() {
        SimHarness h;
        vdev::Faults f;
        f.badChecksumReply = 1;
        QVERIFY(h.start(f));
        h.session->link.login.passwordBox = [] { return QString("5729"); };
        h.link().login.Login();
        QVERIFY(
            SimHarness::waitFor([&] { return h.feedback().bar.statusText() == "Invalid data"; }, 2000));
        QVERIFY(!h.link().login.unlocked());
        QVERIFY(SimHarness::waitFor([&] { return h.link().login.unlocked(); }, 3000));
        QCOMPARE(h.device.totalRequests(), 2);
        QCOMPARE(h.prompts.texts(), QStringList{"Password confirmed!"});
    }
};

QTEST_GUILESS_MAIN(TestSimSession)
#include "test_sim_session.moc"
