// Decoding of the 128-byte history record into the grid's seven texts.
#include <QtTest>

#include "history_records.h"

using testrec::Event;

class TestHistoryRecord : public QObject {
    Q_OBJECT
private slots:
    void exampleRecord() {
        // The device's own example: 2C 01 00 00 18 03 09 0E 05 00 03 02, +123, Door.
        QByteArray r(128, '\0');
        const char head[] = "\x2C\x01\x00\x00\x18\x03\x09\x0E\x05\x00\x03\x02";
        r.replace(0, 12, QByteArray(head, 12));
        r.replace(12, 4, "+123");
        r.replace(34, 4, "Door");
        QCOMPARE(testrec::decoded(r), (QStringList{"300", "2024-03-09", "14:05:00", "Telephone",
                                                   "Relay ON", "+123", "Door"}));
    }

    void dateAndTime_data() {
        QTest::addColumn<int>("year");
        QTest::addColumn<int>("month");
        QTest::addColumn<int>("hour");
        QTest::addColumn<int>("second");
        QTest::addColumn<QString>("date");
        QTest::addColumn<QString>("time");
        QTest::newRow("2001") << 0x01 << 1 << 0 << 0 << "2001-01-09"
                              << "00:05:00";
        QTest::newRow("2079") << 0x4F << 12 << 23 << 59 << "2079-12-09"
                              << "23:05:59";
        QTest::newRow("2080") << 0x50 << 3 << 14 << 0 << "2080-03-09"
                              << "14:05:00";
        QTest::newRow("year 100 -> five digits") << 0x64 << 3 << 14 << 0 << "20100-03-09"
                                                 << "14:05:00";
        QTest::newRow("year FF -> no date") << 0xFF << 3 << 14 << 0 << ""
                                            << "14:05:00";
        QTest::newRow("month FF -> no date") << 24 << 0xFF << 14 << 0 << ""
                                             << "14:05:00";
        QTest::newRow("hour FF -> no time") << 24 << 3 << 0xFF << 0 << "2024-03-09"
                                            << "";
        QTest::newRow("second FF -> no time") << 24 << 3 << 14 << 0xFF << "2024-03-09"
                                              << "";
        QTest::newRow("values over 99 keep three digits")
            << 24 << 200 << 120 << 254 << "2024-200-09"
            << "120:05:254";
    }
    void dateAndTime() {
        QFETCH(int, year);
        QFETCH(int, month);
        QFETCH(int, hour);
        QFETCH(int, second);
        Event e;
        e.year = quint8(year);
        e.month = quint8(month);
        e.hour = quint8(hour);
        e.second = quint8(second);
        const QStringList t = testrec::decoded(testrec::record(e));
        QCOMPARE(t.size(), 7);
        QTEST(t[1], "date");
        QTEST(t[2], "time");
        QCOMPARE(t[0], QString("1"));  // a missing date or time does not empty the record
        QCOMPARE(t[4], QString("Relay ON"));
    }

    void emptySlot_yearZero_emptiesEverything() {
        Event e;
        e.year = 0;
        QCOMPARE(testrec::decoded(testrec::record(e)), QStringList(7, QString()));
        QByteArray r = testrec::erased();
        r[4] = 0;
        QCOMPARE(testrec::decoded(r), QStringList(7, QString()));
    }

    void erasedSlot_hasNoNumberNoDateNoTime() {
        const QStringList t = testrec::decoded(testrec::erased());
        QCOMPARE(t, (QStringList{"", "", "", "", "", "", ""}));
    }

    void recordNumber_data() {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("text");
        QTest::newRow("300") << QByteArray("\x2C\x01\x00\x00", 4) << "300";
        QTest::newRow("zero") << QByteArray("\x00\x00\x00\x00", 4) << "0";
        QTest::newRow("largest") << QByteArray("\xFF\xFF\xFF\x7F", 4) << "2147483647";
        QTest::newRow("high bit is a sign") << QByteArray("\x00\x00\x00\x80", 4) << "-2147483648";
        QTest::newRow("three FF are a number") << QByteArray("\xFF\xFF\xFF\x00", 4) << "16777215";
        QTest::newRow("four FF: none") << QByteArray("\xFF\xFF\xFF\xFF", 4) << "";
    }
    void recordNumber() {
        QFETCH(QByteArray, bytes);
        QByteArray r = testrec::record(Event{});
        r.replace(0, 4, bytes);
        QTEST(testrec::decoded(r)[0], "text");
    }

    void sourceAndAction_data() {
        QTest::addColumn<int>("source");
        QTest::addColumn<int>("action");
        QTest::addColumn<QString>("from");
        QTest::addColumn<QString>("what");
        QTest::newRow("COM add") << 0 << 0 << "COM Port"
                                 << "Add number";
        QTest::newRow("SMS delete") << 1 << 1 << "SMS"
                                    << "Delete Number";
        QTest::newRow("GPRS relay off") << 2 << 3 << "GPRS"
                                        << "Relay OFF";
        QTest::newRow("DIN1") << 3 << 4 << "DIN1"
                              << "DIN1 Alarm";
        QTest::newRow("DIN2") << 0 << 5 << "DIN2"
                              << "DIN2 Alarm";
        QTest::newRow("power failure over SMS") << 1 << 6 << "Power supply"
                                                << "Power failure";
        QTest::newRow("arm") << 1 << 7 << "SMS"
                             << "Arm";
        QTest::newRow("disarm") << 2 << 8 << "GPRS"
                                << "Disarm";
        QTest::newRow("power recovery, unknown source") << 9 << 9 << "Power supply"
                                                        << "Power recovery";
        QTest::newRow("unknown action keeps source") << 3 << 10 << "Telephone"
                                                     << "";
        QTest::newRow("unknown source") << 4 << 2 << ""
                                        << "Relay ON";
        QTest::newRow("both FF") << 0xFF << 0xFF << ""
                                 << "";
    }
    void sourceAndAction() {
        QFETCH(int, source);
        QFETCH(int, action);
        Event e;
        e.source = quint8(source);
        e.action = quint8(action);
        const QStringList t = testrec::decoded(testrec::record(e));
        QTEST(t[3], "from");
        QTEST(t[4], "what");
    }

    void executant_data() {
        QTest::addColumn<QByteArray>("field");  // 22 bytes at offset 12, then byte 34 follows
        QTest::addColumn<QString>("text");
        QTest::newRow("22 digits, no terminator")
            << QByteArray("+123456789012345678901") << "+123456789012345678901";
        QTest::newRow("ends at a letter") << QByteArray("+12a34") << "+12";
        QTest::newRow("ends at a blank") << QByteArray("0123 45") << "0123";
        QTest::newRow("ends at FF") << QByteArray(
                                           "12\xFF"
                                           "34")
                                    << "12";
        QTest::newRow("empty") << QByteArray("\0", 1) << "";
    }
    void executant() {
        QFETCH(QByteArray, field);
        Event e;
        e.executant = field;
        e.content = "7777";  // digits right after the field must not be read on
        QTEST(testrec::decoded(testrec::record(e))[5], "text");
    }

    void content_data() {
        QTest::addColumn<QByteArray>("field");
        QTest::addColumn<QString>("text");
        QTest::newRow("41 bytes without terminator")
            << QByteArray(41, 'x') + QByteArray(53, 'y') << QString(41, 'x');
        QTest::newRow("stops at zero") << QByteArray("Door\0open", 9) << "Door";
        QTest::newRow("empty") << QByteArray("\0", 1) << "";
        QTest::newRow("erased memory ends the text") << QByteArray("Door\xFF\xFF") << "Door";
        QTest::newRow("GBK text") << QByteArray("\xC3\xC5\xBF\xAA") << QString::fromUtf8("门开");
    }
    void content() {
        QFETCH(QByteArray, field);
        QByteArray r = testrec::record(Event{});
        r.replace(34, field.size(), field);
        QTEST(testrec::decoded(r)[6], "text");
    }
};

QTEST_GUILESS_MAIN(TestHistoryRecord)
#include "test_history_record.moc"
