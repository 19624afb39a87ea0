// The 32-byte number record in both directions, the cell-position readers
// behind marking, picker loading and encoding, and the pre-save check.
#include <QtTest>

#include "core/text_grid.h"
#include "numbers/number_record.h"

using namespace numrec;

namespace {

struct Row {
    QString number, startDate, startTime, endDate, endTime, always = "no", del = "no";
};

void putRow(TextGrid& g, int row, const Row& r) {
    g.setRows(row, {{r.number, r.startDate, r.startTime, r.endDate, r.endTime, r.always, r.del}},
              Number);
}

QByteArray record(const TextGrid& g, int row, QString* error = nullptr) {
    const int page = (row - 1) / RecordsPerPage + 1;
    quint8 buf[PageSize];
    const QString e = encodePage(g, page, buf);
    if (error) *error = e;
    return QByteArray(
        reinterpret_cast<const char*>(buf) + ((row - 1) % RecordsPerPage) * RecordSize, RecordSize);
}

QByteArray tail(const QByteArray& rec) {
    return rec.mid(22, 10);
}

}  // namespace

class TestNumberRecord : public QObject {
    Q_OBJECT
    TextGrid grid{8, 3001};

private slots:
    void init() { fillStartContents(grid); }

    void startContents() {
        QCOMPARE(grid.rowTexts(0),
                 (QStringList{"Serial", "Authorized number", "Start Date", "Start Time ",
                              "End Date", "End Time", "Always(V)", "Delete(V)"}));
        QCOMPARE(grid.rowTexts(3000), (QStringList{"3000", "", "", "", "", "", "no", "no"}));
    }

    void pageAddresses() {
        QCOMPARE(pageAddress(1), 0x1000);
        QCOMPARE(pageAddress(375), 0x18600);
        QCOMPARE(pageOfAddress(0x1000), 1);
        QCOMPARE(pageOfAddress(0x18600), 375);
        QCOMPARE(pageOfAddress(0x10FF), 1);
        QCOMPARE(firstRowOfPage(375), 2993);
    }

    void alwaysRow_plusAndEightCharacters() {
        putRow(grid, 9, {"+8613800", "2024/01/01", "10:00", "", "", "yes"});
        const QByteArray rec = record(grid, 9);
        QCOMPARE(rec.left(8), QByteArray("+8613800"));
        QCOMPARE(rec.mid(8, 14), QByteArray(14, '\0'));
        QCOMPARE(tail(rec), QByteArray::fromHex("63636363636363630063"));
    }

    void validityWindow_data() {
        QTest::addColumn<QString>("startDate");
        QTest::addColumn<QString>("startTime");
        QTest::addColumn<QString>("endDate");
        QTest::addColumn<QString>("endTime");
        QTest::newRow("as read") << "2024-05-17"
                                 << "08:30"
                                 << "2025-01-02"
                                 << "18:05";
        QTest::newRow("as picked") << "2024/05/17"
                                   << "08:30"
                                   << "2025/01/02"
                                   << "18:05";
        QTest::newRow("one-digit hour") << "2024/05/17"
                                        << "8:30"
                                        << "2025/01/02"
                                        << "18:05";
        QTest::newRow("one-digit minute") << "2024.05.17"
                                          << "08:30"
                                          << "2025 01 02"
                                          << "18:5";
    }
    void validityWindow() {
        QFETCH(QString, startDate);
        QFETCH(QString, startTime);
        QFETCH(QString, endDate);
        QFETCH(QString, endTime);
        putRow(grid, 17, {"123", startDate, startTime, endDate, endTime});
        QString error;
        const QByteArray rec = record(grid, 17, &error);
        QVERIFY2(error.isEmpty(), qPrintable(error));
        QCOMPARE(rec.left(4), QByteArray("123", 4));
        QCOMPARE(rec.mid(3, 19), QByteArray(19, '\0'));
        QCOMPARE(tail(rec), QByteArray::fromHex("0511081e01021205"
                                                "1819"));
    }

    void timeForms_data() {
        QTest::addColumn<QString>("cell");
        QTest::addColumn<int>("hour");
        QTest::addColumn<int>("minute");
        QTest::newRow("9:05") << "9:05" << 9 << 5;
        QTest::newRow("09:05") << "09:05" << 9 << 5;
        QTest::newRow("09:5") << "09:5" << 9 << 5;
        QTest::newRow("23:59") << "23:59" << 23 << 59;
        QTest::newRow("unchecked 300:70") << "300:70" << (300 & 0xFF) << 70;
    }
    void timeForms() {
        QFETCH(QString, cell);
        QFETCH(int, hour);
        QFETCH(int, minute);
        putRow(grid, 1, {"1", "2024/05/17", cell, "2024/05/18", "00:00"});
        const QByteArray rec = record(grid, 1);
        QCOMPARE(quint8(rec[StartHour]), quint8(hour));
        QCOMPARE(quint8(rec[StartMinute]), quint8(minute));
    }

    void longNumber_cutWithoutTerminator() {
        const QString n = "12345678901234567890123";  // 23 characters
        putRow(grid, 2, {n, "", "", "", "", "yes"});
        quint8 page[PageSize];
        QVERIFY(encodePage(grid, 1, page).isEmpty());
        const QByteArray rec(reinterpret_cast<const char*>(page) + RecordSize, RecordSize);
        QCOMPARE(rec.left(22), n.left(22).toLatin1());
        QCOMPARE(quint8(rec[22]), AlwaysMarker);
        QCOMPARE(decodePage(page)[1][0], n.left(22));
    }

    void dashInNumber_sentAsIs_readsBackToDash() {
        putRow(grid, 3, {"0755-8888", "", "", "", "", "yes"});
        QByteArray page(PageSize, '\0');
        quint8* p = reinterpret_cast<quint8*>(page.data());
        QVERIFY(encodePage(grid, 1, p).isEmpty());
        QCOMPARE(page.mid(2 * RecordSize, 9), QByteArray("0755-8888"));
        QCOMPARE(decodePage(p)[2][0], QString("0755"));
    }

    void deletedAndEmptyRows() {
        putRow(grid, 4, {"", "", "", "", "", "no", "yes"});
        putRow(grid, 5, {"555", "2024/05/17", "08:30", "2025/01/02", "18:05", "yes", "yes"});
        QCOMPARE(record(grid, 4), QByteArray(32, '\xff'));
        QCOMPARE(record(grid, 5), QByteArray(32, '\xff'));
        QCOMPARE(record(grid, 6), QByteArray(32, '\0'));
    }

    void deleteAll_everyPageIsFF() {
        grid.setRows(1, QVector<QStringList>(3000, QStringList{"yes"}), Delete);
        quint8 buf[PageSize];
        for (int page = 1; page <= PageCount; ++page) {
            QVERIFY(encodePage(grid, page, buf).isEmpty());
            QCOMPARE(QByteArray(reinterpret_cast<char*>(buf), PageSize),
                     QByteArray(PageSize, '\xff'));
        }
    }

    void emptyDevice_decodesToEmptyRows() {
        const QByteArray page(PageSize, '\xff');
        const auto rows = decodePage(reinterpret_cast<const quint8*>(page.constData()));
        QCOMPARE(rows.size(), 8);
        for (const QStringList& r : rows) QCOMPARE(r, (QStringList{"", "", "", "", "", "no"}));
    }

    void decode_roundTripsEncodedRows() {
        putRow(grid, 9, {"+8613800", "", "", "", "", "yes"});
        putRow(grid, 10, {"123", "2024/05/17", "08:30", "2025/01/02", "18:05"});
        putRow(grid, 11, {"", "", "", "", "", "no", "yes"});
        putRow(grid, 12, {"4711", "2099-12-31", "23:59", "2000-01-01", "00:00"});
        quint8 buf[PageSize];
        QVERIFY(encodePage(grid, 2, buf).isEmpty());
        const auto rows = decodePage(buf);
        QCOMPARE(rows[0], (QStringList{"+8613800", "", "", "", "", "yes"}));
        QCOMPARE(rows[1], (QStringList{"123", "2024-05-17", "08:30", "2025-01-02", "18:05", "no"}));
        QCOMPARE(rows[2], (QStringList{"", "", "", "", "", "no"}));
        QCOMPARE(rows[3],
                 (QStringList{"4711", "2099-12-31", "23:59", "2000-01-01", "00:00", "no"}));
        QCOMPARE(rows[4], (QStringList{"", "", "", "", "", "no"}));  // 32 x 0x00
    }

    // Every start and end year byte a device may hold is read and saved
    // unchanged (2100 and later too, whose last two digits alone are not the
    // byte).
    void everyYearByte_savedUnchanged() {
        for (int first = 0; first < 256; first += RecordsPerPage) {
            QByteArray page(PageSize, '\0');
            for (int i = 0; i < RecordsPerPage; ++i) {
                const int year = first + i;
                const char rec[] = {'+', '4', '9', 0, 12, 31, 23, 59, 1, 1, 0, 0};
                page.replace(i * RecordSize, 4, rec, 4);
                page.replace(i * RecordSize + StartMonth, 8, rec + 4, 8);
                page[i * RecordSize + StartYear] = char(year);
                page[i * RecordSize + EndYear] = char(255 - year);
            }
            grid.setRows(1, decodePage(reinterpret_cast<const quint8*>(page.constData())), Number);
            quint8 saved[PageSize];
            QCOMPARE(encodePage(grid, 1, saved), QString());
            QCOMPARE(QByteArray(reinterpret_cast<const char*>(saved), PageSize).toHex(' '),
                     page.toHex(' '));
        }
        QCOMPARE(grid.text(StartDate, 8), QString("2255-12-31"));
    }

    // A month, day or minute above 99 reads with three digits, which the
    // character positions cannot give back: marked, and refused on save
    // naming the slot. A three-digit hour reads back whole.
    void threeDigitValues_writtenBackOrRefused_data() {
        QTest::addColumn<int>("offset");
        QTest::addColumn<int>("value");
        QTest::addColumn<int>("column");
        QTest::addColumn<QString>("refusal");  // empty: written back unchanged
        QTest::newRow("start month 200") << int(StartMonth) << 200 << int(StartDate)
                                         << "Serial 1: the Start Date \"2024-200-31\"";
        QTest::newRow("end day 100")
            << int(EndDay) << 100 << int(EndDate) << "Serial 1: the End Date \"2024-01-100\"";
        QTest::newRow("start minute 150")
            << int(StartMinute) << 150 << int(StartTime) << "Serial 1: the Start Time \"23:150\"";
        QTest::newRow("end hour 200") << int(EndHour) << 200 << int(EndTime) << "";
    }
    void threeDigitValues_writtenBackOrRefused() {
        QFETCH(int, offset);
        QFETCH(int, value);
        QFETCH(int, column);
        QFETCH(QString, refusal);
        const char rec[] = {'1', 0, 0, 0, 0, 0, 0,  0,  0,  0,  0, 0, 0, 0, 0,  0,
                            0,   0, 0, 0, 0, 0, 12, 31, 23, 59, 1, 1, 0, 0, 24, 24};
        QByteArray page(PageSize, '\0');
        page.replace(0, RecordSize, QByteArray(rec, RecordSize));
        page[offset] = char(value);
        grid.setRows(1, decodePage(reinterpret_cast<const quint8*>(page.constData())), Number);
        quint8 saved[PageSize];
        const QString error = encodePage(grid, 1, saved);
        const QString& cell = grid.text(column, 1);
        const bool marked =
            column == StartDate || column == EndDate ? dateOutOfRange(cell) : timeOutOfRange(cell);
        if (refusal.isEmpty()) {
            QCOMPARE(error, QString());
            QCOMPARE(QByteArray(reinterpret_cast<const char*>(saved), PageSize), page);
        } else {
            QVERIFY2(error.startsWith(refusal), qPrintable(error));
            QVERIFY(marked);
        }
    }

    void decode_dateWithoutMonthOrDay_isEmpty() {
        QByteArray rec(PageSize, '\0');
        rec.replace(0, 3, "555");
        const char t[] = {0, 17, 8, 30, 1, 0, 18, 5, 24, 25};
        rec.replace(22, 10, QByteArray(t, 10));
        const auto rows = decodePage(reinterpret_cast<const quint8*>(rec.constData()));
        QCOMPARE(rows[0], (QStringList{"555", "", "08:30", "", "18:05", "no"}));
    }

    void conversionFailures_data() {
        QTest::addColumn<QString>("startDate");
        QTest::addColumn<QString>("startTime");
        QTest::addColumn<QString>("message");
        QTest::newRow("time without colon") << "2024/05/17"
                                            << "0905"
                                            << "'' is not a valid integer value";
        QTest::newRow("text in time") << "2024/05/17"
                                      << "ab:30"
                                      << "'ab' is not a valid integer value";
        QTest::newRow("short date") << "2024/5/17"
                                    << "08:30"
                                    << "'5/' is not a valid integer value";
        QTest::newRow("date text") << "tomorrow"
                                   << "08:30"
                                   << "'ro' is not a valid integer value";
        QTest::newRow("signed hour") << "2024/05/17"
                                     << "-1:30"
                                     << "'-1' is not a valid integer value";
    }
    void conversionFailures() {
        QFETCH(QString, startDate);
        QFETCH(QString, startTime);
        QFETCH(QString, message);
        putRow(grid, 20, {"20", startDate, startTime, "2025/01/02", "18:05"});
        QString error;
        record(grid, 20, &error);
        QCOMPARE(error, message);
    }

    void numberCharacters_gbk() {
        putRow(grid, 1, {QString::fromUtf8("电话1"), "", "", "", "", "yes"});
        QString error;
        const QByteArray rec = record(grid, 1, &error);
        QVERIFY(error.isEmpty());
        QCOMPARE(rec.left(5), QByteArray("\xb5\xe7\xbb\xb0"
                                         "1"));
        QVERIFY(unsendableNumberMessage(grid).isEmpty());

        // An emoji, and a typed stand-in of a device byte (no device number
        // holds one), are refused.
        for (const QString& bad : {QString::fromUtf8("\xF0\x9F\x98\x80"), QString(QChar(0xF7BF))}) {
            putRow(grid, 2, {"12" + bad, "", "", "", "", "yes"});
            record(grid, 2, &error);
            QVERIFY2(error.startsWith("Serial 2:") && error.contains(bad), qPrintable(error));
            QCOMPARE(unsendableNumberMessage(grid), error);
        }
        // A row to be cleared takes nothing from its number.
        grid.setText(Delete, 2, "yes");
        QVERIFY(unsendableNumberMessage(grid).isEmpty());
        QCOMPARE(record(grid, 2, &error), QByteArray(32, '\xff'));
    }

    void outOfRangeMarking_data() {
        QTest::addColumn<bool>("isDate");
        QTest::addColumn<QString>("cell");
        QTest::addColumn<bool>("marked");
        QTest::newRow("month 13") << true << "2024/13/01" << true;
        QTest::newRow("day 32") << true << "2024/02/32" << true;
        QTest::newRow("day 30 of February") << true << "2024/02/30" << false;
        QTest::newRow("zero month") << true << "2024/00/10" << false;
        QTest::newRow("read form") << true << "2024-05-17" << false;
        QTest::newRow("empty date") << true << "" << false;
        QTest::newRow("text date") << true << "someday" << true;
        QTest::newRow("hour 24") << false << "24:00" << true;
        QTest::newRow("minute 60") << false << "12:60" << true;
        QTest::newRow("midnight") << false << "00:00" << false;
        QTest::newRow("one-digit hour") << false << "9:05" << false;
        QTest::newRow("no colon") << false << "0905" << true;
        QTest::newRow("empty time") << false << "" << false;
    }
    void outOfRangeMarking() {
        QFETCH(bool, isDate);
        QFETCH(QString, cell);
        QFETCH(bool, marked);
        QCOMPARE(isDate ? dateOutOfRange(cell) : timeOutOfRange(cell), marked);
    }

    void pickerValues_data() {
        QTest::addColumn<QString>("cell");
        QTest::addColumn<QDate>("date");
        QTest::newRow("read form") << "2024-05-17" << QDate(2024, 5, 17);
        QTest::newRow("picked form") << "2024/05/17" << QDate(2024, 5, 17);
        QTest::newRow("leap day") << "2024/02/29" << QDate(2024, 2, 29);
        QTest::newRow("no such day") << "2024/02/30" << QDate();
        QTest::newRow("zero month") << "2024/00/10" << QDate();
        QTest::newRow("text") << "abcd/ef/gh" << QDate();
        QTest::newRow("short year") << "24/05/17" << QDate();
    }
    void pickerValues() {
        QFETCH(QString, cell);
        QFETCH(QDate, date);
        const auto d = cellDate(cell);
        QCOMPARE(d.value_or(QDate()), date);
    }

    void pickerTimes() {
        QCOMPARE(cellTime("9:05").value_or(QTime()), QTime(9, 5));
        QCOMPARE(cellTime("23:59").value_or(QTime()), QTime(23, 59));
        QVERIFY(!cellTime("24:00"));
        QVERIFY(!cellTime("12:60"));
        QVERIFY(!cellTime("noon"));
        QCOMPARE(pickerTimeText(QTime(8, 5)), QString("08:05"));
        QCOMPARE(pickerDateText(QDate(2024, 5, 7)), QString("2024/05/07"));
    }

    void checkList_data() {
        QTest::addColumn<QList<int>>("errorRows");
        QTest::addColumn<QString>("tail");
        const QString head =
            "Wrong operation:please select \"Always\" or setting the Start-End date and "
            "time.Total:";
        QTest::newRow("none") << QList<int>{} << QString();
        QTest::newRow("one") << QList<int>{5} << head + "1\rWrong serial number:5";
        QTest::newRow("two") << QList<int>{5, 9} << head + "2\rWrong serial number:5,9";
        QTest::newRow("three") << QList<int>{5, 9, 12} << head + "3\rWrong serial number:5,9,12";
        QTest::newRow("four") << QList<int>{5, 9, 12, 40}
                              << head + "4\rWrong serial number:5,9,12,....";
        QTest::newRow("last slot") << QList<int>{3000} << head + "1\rWrong serial number:3000";
    }
    void checkList() {
        QFETCH(QList<int>, errorRows);
        QFETCH(QString, tail);
        // Rows that pass: complete window, Always, marked for deletion, no number.
        putRow(grid, 1, {"1", "2024/05/17", "08:30", "2025/01/02", "18:05"});
        putRow(grid, 2, {"2", "", "", "", "", "yes"});
        putRow(grid, 3, {"3", "", "", "", "", "no", "yes"});
        putRow(grid, 4, {"", "2024/05/17", "", "", ""});
        for (int row : errorRows)
            putRow(grid, row, {"77", "2024/05/17", "08:30", "2025/01/02", ""});
        QCOMPARE(checkListMessage(grid), tail);
    }

    void checkList_eachMissingCellCounts() {
        for (int col = StartDate; col <= EndTime; ++col) {
            putRow(grid, 7, {"7", "2024/05/17", "08:30", "2025/01/02", "18:05"});
            QVERIFY(checkListMessage(grid).isEmpty());
            grid.setText(col, 7, "");
            QVERIFY(checkListMessage(grid).endsWith("Total:1\rWrong serial number:7"));
        }
    }
};

QTEST_GUILESS_MAIN(TestNumberRecord)
#include "test_number_record.moc"
