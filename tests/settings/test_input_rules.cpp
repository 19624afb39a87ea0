// The settings grid's input rules as a pure function: the choice rows, the
// digit rule (last character only), the byte-counted length limit with its
// target rows, and the refusal of characters GBK cannot hold and of typed
// control characters.
#include <QtTest>

#include "settings/input_rules.h"

class TestInputRules : public QObject {
    Q_OBJECT

private slots:
    void rule_data() {
        QTest::addColumn<int>("row");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("cell");
        QTest::addColumn<int>("move");

        QTest::newRow("password digit") << 1 << "12"
                                        << "12" << -1;
        QTest::newRow("password letter after two digits") << 1 << "12a"
                                                          << "12" << -1;
        QTest::newRow("password fourth digit moves to row 2") << 1 << "5729"
                                                              << "5729" << 2;
        QTest::newRow("password fourth is a letter, still moves") << 1 << "572x"
                                                                  << "572" << 2;
        QTest::newRow("password pasted too long") << 1 << "123456"
                                                  << "1234" << 2;
        QTest::newRow("sim plus removed") << 2 << "+"
                                          << "" << -1;
        QTest::newRow("sim 22nd digit moves to row 3")
            << 2 << QString(22, '1') << QString(22, '1') << 3;
        QTest::newRow("only the last character is tested") << 7 << "a1"
                                                           << "a1" << -1;
        QTest::newRow("pasted 12a45 in row 7") << 7 << "12a45"
                                               << "12a" << 8;
        QTest::newRow("row 10 limit 3") << 10 << "100"
                                        << "100" << 11;
        QTest::newRow("row 15 limit 3") << 15 << "999"
                                        << "999" << 16;
        QTest::newRow("row 16 letter") << 16 << "9x"
                                       << "9" << -1;
        QTest::newRow("row 17 limit 4 to row 18") << 17 << "9999"
                                                  << "9999" << 18;
        QTest::newRow("row 17 three digits stay") << 17 << "999"
                                                  << "999" << -1;
        QTest::newRow("row 5 39 bytes stay") << 5 << QString(39, 'a') << QString(39, 'a') << -1;
        QTest::newRow("row 5 40th byte moves to row 6")
            << 5 << QString(40, 'a') << QString(40, 'a') << 6;
        QTest::newRow("row 6 letters allowed") << 6 << "abc"
                                               << "abc" << -1;
        QTest::newRow("row 13 40 to row 14") << 13 << QString(40, 'b') << QString(40, 'b') << 14;
        QTest::newRow("row 14 40 to row 15") << 14 << QString(41, 'b') << QString(40, 'b') << 15;
        // A double-byte character counts twice, and a text is not cut inside one.
        QTest::newRow("row 5 double-byte fills 40")
            << 5 << QString(38, 'a') + QString::fromUtf8("开")
            << QString(38, 'a') + QString::fromUtf8("开") << 6;
        QTest::newRow("row 5 double-byte over 40")
            << 5 << QString(39, 'a') + QString::fromUtf8("开") << QString(39, 'a') << 6;
        QTest::newRow("row 20 eight double-byte") << 20 << QString::fromUtf8("开开开开开开开开")
                                                  << QString::fromUtf8("开开开开开开开开") << 21;
        QTest::newRow("row 18 32 to row 19") << 18 << QString(32, '1') << QString(32, '1') << 19;
        QTest::newRow("row 19 no digit rule") << 19 << "8o"
                                              << "8o" << -1;
        QTest::newRow("row 19 five characters to row 20") << 19 << "70000"
                                                          << "70000" << 20;
        QTest::newRow("row 21 16 to row 22") << 21 << QString(16, 'u') << QString(16, 'u') << 22;
        QTest::newRow("row 22 16 back to row 21")
            << 22 << QString(16, 'p') << QString(16, 'p') << 21;
        QTest::newRow("row 22 15 stays") << 22 << QString(15, 'p') << QString(15, 'p') << -1;
        // Choice rows: the cell stays empty and the selection moves down.
        QTest::newRow("row 3 typed") << 3 << "1"
                                     << "" << 4;
        QTest::newRow("row 4 typed") << 4 << "x"
                                     << "" << 5;
        QTest::newRow("row 8 pasted") << 8 << "1:Arm"
                                      << "" << 9;
        QTest::newRow("row 9 letter") << 9 << "a"
                                      << "" << 10;
        QTest::newRow("row 9 digit") << 9 << "1"
                                     << "" << 10;
        QTest::newRow("row 11 pasted two, last a letter") << 11 << "ab"
                                                          << "a" << 12;
        QTest::newRow("row 12 pasted, cut to three") << 12 << "1:Admin"
                                                     << "1:A" << 13;
        QTest::newRow("row 12 pasted digits") << 12 << "1234"
                                              << "" << 13;
        QTest::newRow("empty text") << 1 << ""
                                    << "" << -1;
        QTest::newRow("row 0 no rule") << 0 << "abc"
                                       << "abc" << -1;
    }
    void rule() {
        QFETCH(int, row);
        QFETCH(QString, text);
        QFETCH(QString, cell);
        QFETCH(int, move);
        const settings::InputResult r = settings::applyInputRule(row, text);
        QCOMPARE(r.cellText, cell);
        QCOMPARE(r.moveToRow, move);
        QVERIFY(r.refused.isEmpty());
    }

    void unencodable_data() {
        QTest::addColumn<int>("row");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("cell");
        QTest::addColumn<QString>("refused");
        QTest::addColumn<int>("move");
        QTest::addColumn<QString>("before");  // the cell before the change
        QTest::newRow("thai in alarm") << 5 << QString::fromUtf8("doorก") << "door"
                                       << QString::fromUtf8("ก") << -1 << QString();
        QTest::newRow("emoji in apn") << 20 << QString::fromUtf8("a\U0001F600b") << "ab"
                                      << QString::fromUtf8("\U0001F600") << -1 << QString();
        QTest::newRow("two refused, first named")
            << 22 << QString::fromUtf8("ąxก") << "x" << QString::fromUtf8("ą") << -1 << QString();
        // The refused character does not count towards the limit.
        QTest::newRow("at the limit without it")
            << 1 << QString::fromUtf8("123ą") << "123" << QString::fromUtf8("ą") << -1 << QString();
        // Stand-ins of device bytes: those the cell held stay, typed ones go.
        const QChar standIn(0xF7BF);
        QTest::newRow("typed stand-in")
            << 5 << "door" + QString(standIn) << "door" << QString(standIn) << -1 << "door";
        QTest::newRow("device stand-in kept while typing") << 20 << "a" + QString(standIn) + "b"
                                                           << "a" + QString(standIn) + "b"
                                                           << "" << -1 << "a" + QString(standIn);
        QTest::newRow("one more than the cell held")
            << 22 << QString(2, standIn) << QString(standIn) << QString(standIn) << -1
            << QString(standIn);
        // Control characters: pasted ones go, those read from the device stay.
        QTest::newRow("pasted tab and line feed") << 13 << "abc\tdef\nghi"
                                                  << "abcdefghi"
                                                  << "\t" << -1 << "Relay ON";
        QTest::newRow("DEL in apn") << 20 << QString("in") + QChar(0x7F) << "in" << QString(QChar(0x7F))
                                    << -1 << QString();
        QTest::newRow("carriage return in password") << 1 << "12\r" << "12"
                                                     << "\r" << -1 << "5729";
        QTest::newRow("device tab kept while typing") << 5 << "a\tbc"
                                                      << "a\tbc"
                                                      << "" << -1 << "a\tb";
    }
    void unencodable() {
        QFETCH(int, row);
        QFETCH(QString, text);
        QFETCH(QString, cell);
        QFETCH(QString, refused);
        QFETCH(int, move);
        QFETCH(QString, before);
        const settings::InputResult r = settings::applyInputRule(row, text, before);
        QCOMPARE(r.cellText, cell);
        QCOMPARE(r.refused, refused);
        QCOMPARE(r.moveToRow, move);
    }

    // The message names the row and shows a control character visibly.
    void refusedMessage_namesRowAndCharacter() {
        QCOMPARE(settings::refusedMessage(13, "\t"),
                 QString::fromUtf8("13.SMS content when relay ON: the control character \u2409 "
                                   "(U+0009) cannot be typed"));
        QVERIFY(settings::refusedMessage(5, QString::fromUtf8("ก")).contains("U+0E01"));
    }
};

QTEST_GUILESS_MAIN(TestInputRules)
#include "test_input_rules.moc"
