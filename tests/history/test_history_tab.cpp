// The history tab: its controls as the window and the user find them, the
// range pickers at the keyboard and under the wheel, and the buttons
// forwarding to the history transfer, filter and delete.
#include <QDateEdit>
#include <QHeaderView>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPushButton>
#include <QTimeEdit>
#include <QtTest>

#include "session_rig.h"
#include "ui/history_tab.h"
#include "ui/string_grid.h"

class TestHistoryPage : public QObject, SessionRig {
    Q_OBJECT
    HistoryPage* page = nullptr;

    QPushButton* btn(const char* name) {
        return page->findChild<QPushButton*>(QString::fromLatin1(name));
    }

private slots:
    void init() {
        setUpRig();
        port.device = nullptr;  // record only: the tests look at the first request
        page = new HistoryPage(*session);
        page->resize(979, 593);
    }
    void cleanup() {
        delete page;
        tearDownRig();
    }

    void buttons_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("caption");
        QTest::addColumn<QRect>("place");
        QTest::newRow("btn19") << "btn19"
                               << "Read data" << QRect(9, 8, 86, 30);
        QTest::newRow("btn20") << "btn20"
                               << "Filter" << QRect(699, 8, 97, 30);
        QTest::newRow("btn18") << "btn18"
                               << "Export.CSV" << QRect(9, 73, 85, 30);
        QTest::newRow("btn13") << "btn13"
                               << "Export.XLS" << QRect(9, 126, 85, 30);
        QTest::newRow("btn23") << "btn23"
                               << "Delete all" << QRect(9, 297, 85, 30);
    }
    void buttons() {
        QFETCH(QString, name);
        auto* b = page->findChild<QPushButton*>(name);
        QVERIFY(b);
        QTEST(b->text(), "caption");
        QTEST(b->geometry(), "place");
        QVERIFY(!b->isEnabled());  // locked until a log-in succeeds
    }

    void pickers_startValues() {
        const QDateTime before = QDateTime::currentDateTime();
        HistoryPage fresh(*session);
        QCOMPARE(fresh.dtp1()->date(), QDate(2015, 3, 3));
        QCOMPARE(fresh.dtp2()->time(), QTime(0, 0, 0));
        QCOMPARE(fresh.dtp1()->displayFormat(), QString("yyyy-MM-dd"));
        QCOMPARE(fresh.dtp2()->displayFormat(), QString("H:mm:ss"));
        QCOMPARE(fresh.dtp3()->displayFormat(), QString("yyyy-MM-dd"));
        QCOMPARE(fresh.dtp4()->displayFormat(), QString("H:mm:ss"));
        const QDateTime end(fresh.dtp3()->date(), fresh.dtp4()->time());
        QVERIFY(qAbs(end.secsTo(before)) <= 2);
        QCOMPARE(fresh.dtp1()->geometry(), QRect(249, 13, 90, 21));
        QCOMPARE(fresh.dtp4()->geometry().topLeft(), QPoint(591, 13));
        QCOMPARE(fresh.findChild<QDateEdit*>("dtp3"), fresh.dtp3());
    }

    void grid_columnsAndHeader() {
        StringGrid* g = page->grid();
        QCOMPARE(g->objectName(), QString("strngrd4"));
        const int widths[8] = {38, 0, 74, 70, 95, 112, 129, 235};
        for (int c = 0; c < 8; ++c) QCOMPARE(g->gridColumnWidth(c), widths[c]);
        QCOMPARE(g->model()->rowCount(), 1000);
        QCOMPARE(g->model()->headerData(1, Qt::Horizontal).toString(), QString("Date"));
        QCOMPARE(g->model()->headerData(999, Qt::Vertical).toString(), QString("1000"));
        QCOMPARE(g->editTriggers(), QAbstractItemView::NoEditTriggers);
    }

    void cellPainting_fillsAndCentres() {
        StringGrid* g = page->grid();
        QStyleOptionViewItem opt;
        opt.initFrom(g);
        opt.rect = QRect(0, 0, 200, 24);
        opt.palette.setColor(QPalette::Base, Qt::white);
        opt.palette.setColor(QPalette::Text, Qt::black);
        QImage img(200, 24, QImage::Format_RGB32);
        const auto paint = [&](const QString& text) {
            img.fill(Qt::red);
            session->history.setText(5, 1, text);
            QPainter p(&img);
            g->itemDelegate()->paint(&p, opt, g->indexOf(5, 1));
        };
        paint(QString());
        for (int y = 0; y < 24; ++y)
            for (int x = 0; x < 200; ++x) QCOMPARE(img.pixel(x, y), qRgb(255, 255, 255));
        paint("Relay ON");
        int left = 200, right = -1, top = 24, bottom = -1;
        for (int y = 0; y < 24; ++y)
            for (int x = 0; x < 200; ++x)
                if (qGray(img.pixel(x, y)) < 128) {
                    left = qMin(left, x), right = qMax(right, x), top = qMin(top, y),
                    bottom = qMax(bottom, y);
                }
        QVERIFY(right > left);
        QVERIFY(qAbs((left + right) / 2 - 100) <= 3);
        QVERIFY(qAbs((top + bottom) / 2 - 12) <= 3);
    }

    // Ctrl+A, then a whole date or time typed, sets every field; Tab then
    // leaves the picker for the next one.
    void pickers_wholeValueTyped_tabLeaves_data() {
        QTest::addColumn<int>("index");
        QTest::addColumn<QString>("typed");
        QTest::newRow("start date") << 0 << "2024-05-17";
        QTest::newRow("start time") << 1 << "14:05:30";
        QTest::newRow("end date, one-digit month typed") << 2 << "2023-5-09";
        QTest::newRow("end time, one-digit hour") << 3 << "9:05:07";
    }
    void pickers_wholeValueTyped_tabLeaves() {
        QFETCH(int, index);
        QFETCH(QString, typed);
        page->show();
        QVERIFY(QTest::qWaitForWindowActive(page));
        QDateTimeEdit* pickers[] = {page->dtp1(), page->dtp2(), page->dtp3(), page->dtp4()};
        QDateTimeEdit* p = pickers[index];
        p->setFocus();
        QTest::keyClick(p, Qt::Key_A, Qt::ControlModifier);
        QTest::keyClicks(p, typed);
        const QString expected = index % 2 == 0
                                     ? QDate::fromString(typed, "yyyy-M-dd").toString("yyyy-MM-dd")
                                     : typed;
        QCOMPARE(p->text(), expected);
        QTest::keyClick(p, Qt::Key_Tab);
        QVERIFY(!p->hasFocus());
        if (index < 3) QVERIFY(pickers[index + 1]->hasFocus());
    }

    // The wheel changes a picker only once a click has focused it.
    void pickers_wheelOnlyAfterClick() {
        page->show();
        QVERIFY(QTest::qWaitForWindowActive(page));
        QDateEdit* p = page->dtp1();
        auto wheel = [&] {
            const QPoint at = p->rect().center();
            QWheelEvent e(at, p->mapToGlobal(at), {}, QPoint(0, 120), Qt::NoButton, {},
                          Qt::NoScrollPhase, false);
            QApplication::sendEvent(p, &e);
        };
        wheel();
        QCOMPARE(p->date(), QDate(2015, 3, 3));
        p->setFocus(Qt::TabFocusReason);  // reached by Tab: still no wheel
        wheel();
        QCOMPARE(p->date(), QDate(2015, 3, 3));
        QTest::mouseClick(p->findChild<QLineEdit*>(), Qt::LeftButton, {}, QPoint(3, 5));
        QVERIFY(p->hasFocus());
        wheel();
        QVERIFY(p->date() > QDate(2015, 3, 3));
    }

    void readData_sendsFirstPage() {
        btn("btn19")->setEnabled(true);
        QTest::mouseClick(btn("btn19"), Qt::LeftButton);
        QCOMPARE(port.sent, QList<QByteArray>{QByteArray::fromHex("238300030000000080")});
        QCOMPARE(session->feedback.bar.statusText(), QString("Reading historical data"));
        QCOMPARE(session->historyInf.PageNext, quint16(2));
        QCOMPARE(session->historyInf.PageTotal, quint16(500));
    }

    void filter_usesThePickers() {
        TextGrid& h = session->history;
        h.setRows(
            1,
            {QStringList{"1", "2024-03-09", "14:05:00"}, QStringList{"2", "2024-03-09", "14:04:59"},
             QStringList{"3", "2024-03-09", "10:00:00"}},
            1);
        page->dtp1()->setDate(QDate(2024, 3, 9));
        page->dtp2()->setTime(QTime(10, 0, 0));
        page->dtp3()->setDate(QDate(2024, 3, 9));
        page->dtp4()->setTime(QTime(14, 5, 0));
        btn("btn20")->setEnabled(true);
        QTest::mouseClick(btn("btn20"), Qt::LeftButton);
        QCOMPARE(h.text(1, 1), QString("2"));
        QCOMPARE(h.text(1, 2), QString());
        QVERIFY(prompts.shown.isEmpty());

        page->dtp2()->setTime(QTime(14, 5, 0));
        const QVector<QString> before = h.snapshot();
        QTest::mouseClick(btn("btn20"), Qt::LeftButton);
        QCOMPARE(prompts.texts(), QStringList{"Time selection error"});
        QCOMPARE(h.snapshot(), before);
    }

    void deleteAll_cancelThenOk() {
        btn("btn23")->setEnabled(true);
        prompts.answers.enqueue(false);
        QTest::mouseClick(btn("btn23"), Qt::LeftButton);
        QVERIFY(port.sent.isEmpty());
        QCOMPARE(prompts.shown.size(), 1);
        QCOMPARE(prompts.shown[0].kind, QString("warn"));
        prompts.answers.enqueue(true);
        QTest::mouseClick(btn("btn23"), Qt::LeftButton);
        QCOMPARE(port.sent, QList<QByteArray>{QByteArray::fromHex("238500000000000085")});
    }
};

QTEST_MAIN(TestHistoryPage)
#include "test_history_tab.moc"
