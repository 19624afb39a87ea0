// Status text, progress bar and the switch-on timer rule.
#include <QSignalSpy>
#include <QtTest>

#include "core/indicators.h"

class TestIndicators : public QObject {
    Q_OBJECT
private slots:
    void switchOn_whileOn_doesNotRestartCountdown() {
        SwitchTimer t(150);
        QSignalSpy spy(&t, &SwitchTimer::expired);
        QElapsedTimer clock;
        clock.start();
        t.switchOn();
        QTest::qWait(100);
        t.switchOn();        // already on: keeps its countdown
        t.setInterval(150);  // same interval: changes nothing
        QVERIFY(spy.wait(1000));
        QVERIFY2(clock.elapsed() < 240, qPrintable(QString::number(clock.elapsed())));
    }

    void statusText_clearedAfterFirstShowStatus_notLatest() {
        StatusBarModel bar;
        bar.statusClearMs = 300;
        bar.tmr2.switchOff();
        Tstatusbar_ctrl status(bar);
        QElapsedTimer clock;
        clock.start();
        status.ShowStatus("first");
        QTest::qWait(200);
        status.ShowStatus("second");
        QTRY_COMPARE_WITH_TIMEOUT(bar.statusText(), QString(), 1000);
        // Cleared about 300 ms after the first text, i.e. ~100 ms after the second.
        QVERIFY2(clock.elapsed() < 450, qPrintable(QString::number(clock.elapsed())));
        QVERIFY(!bar.tmr2.isOn());
        QVERIFY(!bar.progressVisible());
    }

    void statusClearing_atStart_hidesEmptyProgressBar() {
        StatusBarModel bar;
        QVERIFY(bar.tmr2.isOn());
        QVERIFY(bar.progressVisible());
        QCOMPARE(bar.tmr2.interval(), 3000);
    }

    void directPanelWrite_doesNotStartClearing() {
        StatusBarModel bar;
        bar.tmr2.switchOff();
        bar.setPanelText("The first page");
        QVERIFY(!bar.tmr2.isOn());
        QCOMPARE(bar.statusText(), QString("The first page"));
    }

    void setProgress_visibilityRules_data() {
        QTest::addColumn<bool>("visibleBefore");
        QTest::addColumn<int>("value");
        QTest::addColumn<int>("position");
        QTest::addColumn<bool>("visibleAfter");
        QTest::newRow("0 on hidden stays hidden") << false << 0 << 0 << false;
        QTest::newRow("0 on visible stays visible") << true << 0 << 0 << true;
        QTest::newRow("1 shows") << false << 1 << 1 << true;
        QTest::newRow("100 hides") << true << 100 << 100 << false;
        QTest::newRow("101 full and visible") << false << 101 << 100 << true;
    }
    void setProgress_visibilityRules() {
        QFETCH(bool, visibleBefore);
        QFETCH(int, value);
        QFETCH(int, position);
        QFETCH(bool, visibleAfter);
        StatusBarModel bar;
        bar.setProgressState(50, visibleBefore);
        Tprogressbar_ctrl(bar).SetProgress(quint16(value));
        QCOMPARE(bar.progressPosition(), position);
        QCOMPARE(bar.progressVisible(), visibleAfter);
    }
};

QTEST_GUILESS_MAIN(TestIndicators)
#include "test_indicators.moc"
