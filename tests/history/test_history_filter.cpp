// The history filter: range check, usable rows, keys, strict matching at both
// ends, the stable date/time order, the rewrite of the grid, and that every
// refusal or failure leaves the grid as it was.
#include <QtTest>

#include "history/history_filter.h"
#include "history/history_inf.h"
#include "session_rig.h"

using historyfilter::Range;
using historyfilter::Result;

namespace {

// "date time" or "date time No"; No defaults to the row's position.
struct Row {
    QString no, date, time;
};

void fill(TextGrid& g, const QList<Row>& rows) {
    THistoryInf::fillStartContents(g);
    for (int i = 0; i < rows.size(); ++i)
        g.setRows(i + 1,
                  {QStringList{rows[i].no, rows[i].date, rows[i].time, "SMS", "Arm", "+86",
                               "c" + rows[i].no}},
                  1);
}

QList<Row> rowsOf(const QStringList& specs) {
    QList<Row> out;
    for (int i = 0; i < specs.size(); ++i) {
        const QStringList p = specs[i].split(' ');
        out << Row{p.size() > 2 ? p[2] : QString::number(i + 1), p.value(0), p.value(1)};
    }
    return out;
}

Range range(const QString& from, const QString& to) {
    const QDateTime a = QDateTime::fromString(from, "yyyy-MM-dd H:mm:ss");
    const QDateTime b = QDateTime::fromString(to, "yyyy-MM-dd H:mm:ss");
    return Range{a.date(), a.time(), b.date(), b.time()};
}

QStringList numbersIn(const TextGrid& g) {
    QStringList out;
    for (int r = 1; r < g.rows() && !g.text(1, r).isEmpty(); ++r) out << g.text(1, r);
    return out;
}

}  // namespace

class TestHistoryFilter : public QObject {
    Q_OBJECT
private slots:
    void matching_data() {
        QTest::addColumn<QStringList>("rows");
        QTest::addColumn<QString>("from");
        QTest::addColumn<QString>("to");
        QTest::addColumn<QStringList>("expected");  // numbers, in result order
        QTest::newRow("same day, both ends excluded")
            << QStringList{"2024-03-09 14:05:00", "2024-03-09 14:04:59", "2024-03-09 00:00:00",
                           "2024-03-09 00:00:01"}
            << "2024-03-09 0:00:00"
            << "2024-03-09 14:05:00" << QStringList{"4", "2"};
        QTest::newRow("over three days")
            << QStringList{"2024-03-08 23:00:00", "2024-03-08 23:00:01", "2024-03-09 00:00:00",
                           "2024-03-09 23:59:59", "2024-03-10 00:59:59", "2024-03-10 01:00:00",
                           "2024-03-07 23:59:59", "2024-03-11 00:00:00"}
            << "2024-03-08 23:00:00"
            << "2024-03-10 1:00:00" << QStringList{"2", "3", "4", "5"};
        QTest::newRow("sorted by date then time")
            << QStringList{"2024-05-01 10:00:00", "2023-12-31 23:00:00", "2024-05-01 09:59:59",
                           "2024-01-02 00:00:00"}
            << "2015-03-03 0:00:00"
            << "2030-01-01 0:00:00" << QStringList{"2", "4", "3", "1"};
        QTest::newRow("same moment keeps grid order")
            << QStringList{"2024-02-02 12:00:00 b", "2024-02-01 12:00:00 a",
                           "2024-02-02 12:00:00 c", "2024-02-02 12:00:00 d",
                           "2024-02-02 11:00:00 e"}
            << "2024-01-01 0:00:00"
            << "2024-12-31 0:00:00" << QStringList{"a", "e", "b", "c", "d"};
        QTest::newRow("null date never matches, null time on inner and end date")
            << QStringList{"null 10:00:00",   "2024-03-09 null", "2024-03-10 null",
                           "2024-03-11 null", "2024-03-12 null", "2024-03-10 05:00:00"}
            << "2024-03-09 0:00:00"
            << "2024-03-11 0:00:01" << QStringList{"3", "6", "4"};
        QTest::newRow("null time not on end date at midnight")
            << QStringList{"2024-03-11 null", "2024-03-10 null"} << "2024-03-09 0:00:00"
            << "2024-03-11 0:00:00" << QStringList{"2"};
        QTest::newRow("five-digit year is read by position")
            << QStringList{"20100-01-01 10:00:00"} << "2001-01-01 0:00:00"
            << "2001-12-31 0:00:00"
            << QStringList{};  // keys read "10", "-0", "01": 9901 -> before 2001 -> no match
        QTest::newRow("single match")
            << QStringList{"2024-03-09 14:05:00", "", "2019-01-01 00:00:00"} << "2024-01-01 0:00:00"
            << "2024-12-31 0:00:00" << QStringList{"1"};
    }
    void matching() {
        QFETCH(QStringList, rows);
        QFETCH(QString, from);
        QFETCH(QString, to);
        QFETCH(QStringList, expected);
        TextGrid g(8, 1001);
        fill(g, rowsOf(rows));
        const historyfilter::Outcome out = historyfilter::FilterRows(g, range(from, to));
        QStringList got;
        for (const historyinf_r& h : out.rows) got << h.No;
        QCOMPARE(got, expected);
        QCOMPARE(out.result, expected.isEmpty() ? Result::NoMatches : Result::Applied);
    }

    void keys_data() {
        QTest::addColumn<QString>("date");
        QTest::addColumn<QString>("time");
        QTest::addColumn<int>("dateKey");
        QTest::addColumn<int>("timeKey");
        QTest::addColumn<QString>("bad");  // empty: keys valid
        QTest::newRow("grid texts") << "2024-03-09"
                                    << "14:05:00" << 240309 << 140500 << "";
        QTest::newRow("null both") << "null"
                                   << "null" << 0 << 0 << "";
        QTest::newRow("three-digit fields") << "2024-200-09"
                                            << "14:05:254" << 242009 << 140554 << "";
        QTest::newRow("three-digit hour") << "2024-03-09"
                                          << "120:05:00" << 0 << 0 << ":0";
        QTest::newRow("letters in month") << "2024-0x-09"
                                          << "14:05:00" << 0 << 0 << "0x";
        QTest::newRow("separator in time") << "2024-03-09"
                                           << "1:05:00" << 0 << 0 << "1:";
        QTest::newRow("too short") << "24"
                                   << "14:05:00" << 0 << 0 << "";
        QTest::newRow("Null is not null") << "2024-03-09"
                                          << "Null" << 0 << 0 << "Nu";
    }
    void keys() {
        QFETCH(QString, date);
        QFETCH(QString, time);
        QFETCH(QString, bad);
        historyinf_r h;
        h.Date = date;
        h.Time = time;
        QString got = "unset";
        const bool ok = historyfilter::fillKeys(h, &got);
        if (QTest::currentDataTag() == QLatin1String("too short")) {
            QVERIFY(!ok);  // characters 3 and 4 of "24" do not exist
            QCOMPARE(got, QString());
            return;
        }
        QCOMPARE(ok, bad.isEmpty());
        if (ok) {
            QTEST(int(h.DateKey), "dateKey");
            QTEST(int(h.TimeKey), "timeKey");
        } else {
            QCOMPARE(got, bad);
        }
    }

    void refusals_leaveGridUnchanged_data() {
        QTest::addColumn<QStringList>("rows");
        QTest::addColumn<QString>("from");
        QTest::addColumn<QString>("to");
        QTest::addColumn<int>("result");
        QTest::addColumn<QString>("message");
        const QStringList some{"2024-03-09 14:05:00", "2024-03-10 08:00:00"};
        QTest::newRow("same moment")
            << some << "2024-03-09 14:05:00"
            << "2024-03-09 14:05:00" << int(Result::TimeSelection) << "Time selection error";
        QTest::newRow("end time before start time")
            << some << "2024-03-09 14:05:00"
            << "2024-03-09 14:04:59" << int(Result::TimeSelection) << "Time selection error";
        QTest::newRow("start date after end date, times aside")
            << some << "2024-03-10 0:00:00"
            << "2024-03-09 23:59:59" << int(Result::TimeSelection) << "Time selection error";
        QTest::newRow("2099 to 2100 accepted, matches nothing")
            << QStringList{"2099-12-31 12:00:00", "2000-01-01 00:00:01"} << "2099-12-31 0:00:00"
            << "2100-01-01 0:00:00" << int(Result::NoMatches) << "No records";
        QTest::newRow("no usable row")
            << QStringList{"Invalid 10:00:00", "2024-01-01 Invalid", " 10:00:00"}
            << "2015-03-03 0:00:00"
            << "2030-01-01 0:00:00" << int(Result::NoCorrectRows) << "No correct records";
        QTest::newRow("empty grid")
            << QStringList{} << "2015-03-03 0:00:00"
            << "2030-01-01 0:00:00" << int(Result::NoCorrectRows) << "No correct records";
        QTest::newRow("nothing in range")
            << some << "2015-03-03 0:00:00"
            << "2016-01-01 0:00:00" << int(Result::NoMatches) << "No records";
        QTest::newRow("text where a number belongs")
            << QStringList{"2024-03-09 14:05:00", "2024-0x-09 10:00:00"} << "2015-03-03 0:00:00"
            << "2030-01-01 0:00:00" << int(Result::NotAnInteger)
            << "'0x' is not a valid integer value";
    }
    void refusals_leaveGridUnchanged() {
        QFETCH(QStringList, rows);
        QFETCH(QString, from);
        QFETCH(QString, to);
        QFETCH(int, result);
        QFETCH(QString, message);
        SessionRig r;
        fill(r.session->history, rowsOf(rows));
        r.session->history.setText(1, 1000, "999");  // a row with a number only: not usable
        const QVector<QString> before = r.session->history.snapshot();
        QCOMPARE(int(r.session->historyInf.FilterRows(range(from, to))), result);
        QCOMPARE(r.session->history.snapshot(), before);
        QCOMPARE(r.prompts.texts(), QStringList{message});
        QCOMPARE(r.prompts.shown[0].kind, QString("message"));
        QVERIFY(r.port.sent.isEmpty());
    }

    void success_rewritesGrid() {
        SessionRig rig;
        DeviceSession& session = *rig.session;
        TextGrid& g = session.history;
        fill(g, rowsOf({"2024-03-09 10:00:00", "", "2024-03-08 10:00:00", "2024-03-09 null",
                        "2030-01-01 00:00:00"}));
        g.setRows(990, {QStringList{"50", "2024-03-08 12:00:00"}}, 1);  // no time: dropped
        g.setRows(1000,
                  {QStringList{"60", "2024-03-08", "09:00:00", "GPRS", "Relay OFF", "+1", "last"}},
                  1);
        QCOMPARE(session.historyInf.FilterRows(range("2024-01-01 0:00:00", "2025-01-01 0:00:00")),
                 Result::Applied);
        QCOMPARE(numbersIn(g), (QStringList{"60", "3", "4", "1"}));
        QCOMPARE(g.rowTexts(1), (QStringList{"1", "60", "2024-03-08", "09:00:00", "GPRS",
                                             "Relay OFF", "+1", "last"}));
        QCOMPARE(g.rowTexts(4),
                 (QStringList{"4", "1", "2024-03-09", "10:00:00", "SMS", "Arm", "+86", "c1"}));
        for (int r = 5; r <= 1000; ++r) {
            QCOMPARE(g.text(0, r), QString::number(r));
            for (int c = 1; c <= 7; ++c) QCOMPARE(g.text(c, r), QString());
        }
        QVERIFY(rig.prompts.shown.isEmpty());
        QCOMPARE(session.feedback.bar.statusText(), QString("Records"));

        // Idempotent; a wider range cannot bring back what was removed.
        const QVector<QString> once = g.snapshot();
        QCOMPARE(session.historyInf.FilterRows(range("2024-01-01 0:00:00", "2025-01-01 0:00:00")),
                 Result::Applied);
        QCOMPARE(g.snapshot(), once);
        QCOMPARE(session.historyInf.FilterRows(range("2015-03-03 0:00:00", "2035-01-01 0:00:00")),
                 Result::Applied);
        QCOMPARE(numbersIn(g), (QStringList{"60", "3", "4", "1"}));
    }

    void statusTexts_inOrder() {
        TextGrid g(8, 5);  // 4 data rows
        fill(g, rowsOf({"2024-03-09 10:00:00", "", "2024-03-08 10:00:00", "2024-03-10 10:00:00"}));
        QStringList shown;
        const auto sink = [&shown](const QString& t) { shown << t; };
        const historyfilter::Outcome out =
            historyfilter::FilterRows(g, range("2024-03-08 12:00:00", "2024-03-11 0:00:00"), sink);
        QCOMPARE(out.result, Result::Applied);
        QCOMPARE(out.usable, 3);
        historyfilter::writeRows(g, out.rows, sink);
        QCOMPARE(shown,
                 (QStringList{"Ready to order", "Records:1", "Records:1", "Records:2", "Records:3",
                              "Search", "Search", "Search", "Loading", "Loading", "Loading",
                              "Sort date", "Sort date", "Records", "Records"}));
        QCOMPARE(numbersIn(g), (QStringList{"1", "4"}));

        shown.clear();
        QCOMPARE(
            historyfilter::FilterRows(g, range("2024-03-08 12:00:00", "2024-03-08 12:00:00"), sink)
                .result,
            Result::TimeSelection);
        QVERIFY(shown.isEmpty());
        QCOMPARE(
            historyfilter::FilterRows(g, range("2020-01-01 0:00:00", "2020-01-02 0:00:00"), sink)
                .result,
            Result::NoMatches);
        QCOMPARE(shown, (QStringList{"Ready to order", "Records:1", "Records:2", "Records:2",
                                     "Records:2", "Search", "Search"}));
    }
};

QTEST_GUILESS_MAIN(TestHistoryFilter)
#include "test_history_filter.moc"
