// The device code page: exact bytes, refusal of what it cannot hold, and no
// byte lost for anything a device may send.
#include <QRandomGenerator>
#include <QtTest>

#include "core/gbk.h"

class TestGbk : public QObject {
    Q_OBJECT
private slots:
    void encode_roundTrips_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QByteArray>("bytes");
        QTest::newRow("ascii") << QString("Relay ON") << QByteArray("Relay ON");
        QTest::newRow("chinese") << QString::fromUtf8("同步时间")
                                 << QByteArray::fromHex("cdacb2bdcab1bce4");
        QTest::newRow("mixed") << QString::fromUtf8("门A") << QByteArray::fromHex("c3c541");
        QTest::newRow("empty") << QString() << QByteArray();
        QTest::newRow("euro is 0x80") << QString::fromUtf8("5€") << QByteArray::fromHex("3580");
        QTest::newRow("nul stays") << QString(QChar(0)) + "a" << QByteArray("\0a", 2);
        // Bytes that are no character come back as themselves.
        const QChar lead(0xF7C3), ff(0xF7FF), b81(0xF781);
        QTest::newRow("lone lead byte at the end")
            << QString("A") + lead << QByteArray::fromHex("41c3");
        QTest::newRow("0xFF") << QString("A") + ff << QByteArray::fromHex("41ff");
        QTest::newRow("bad trail byte") << QString(b81) + " x" << QByteArray::fromHex("812078");
        QTest::newRow("lead before 0x7F")
            << QString(b81) + QChar(0x7F) << QByteArray::fromHex("817f");
    }
    void encode_roundTrips() {
        QFETCH(QString, text);
        QFETCH(QByteArray, bytes);
        QCOMPARE(gbk::encode(text).value(), bytes);
        QCOMPARE(gbk::decode(bytes), text);
        QCOMPARE(gbk::byteLength(text), bytes.size());
    }
    void encode_refusesWhatGbkCannotHold_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("refused");
        const QString emoji = QString::fromUtf8("\xF0\x9F\x98\x80");
        QTest::newRow("emoji") << "door " + emoji + " open" << emoji;
        // Bytes below 0x81 are characters, so their stand-ins never occur.
        QTest::newRow("stand-in of an ASCII byte")
            << QString(QChar(0xF741)) << QString(QChar(0xF741));
        QTest::newRow("stand-in of 0x80") << QString(QChar(0xF780)) << QString(QChar(0xF780));
    }
    void encode_refusesWhatGbkCannotHold() {
        QFETCH(QString, text);
        QFETCH(QString, refused);
        QVERIFY(!gbk::encode(text).has_value());
        QCOMPARE(gbk::firstUnencodable(text), refused);
        QVERIFY(gbk::firstUnencodable("plain").isEmpty());
    }
    // Every byte pair, and random byte strings, decode to characters a
    // workbook can hold (no replacement mark, no surrogate) and encode back.
    void decode_isLosslessForAnyBytes() {
        auto check = [](const QByteArray& bytes) {
            const QString text = gbk::decode(bytes);
            for (QChar c : text)
                if (c.unicode() == 0xFFFD || c.isSurrogate() || c.unicode() >= 0xFFFE) return false;
            return gbk::encode(text) == bytes && gbk::byteLength(text) == bytes.size();
        };
        for (int pair = 0; pair < 0x10000; ++pair) {
            const QByteArray bytes{char(pair >> 8), char(pair & 0xFF)};
            QVERIFY2(check(bytes), bytes.toHex().constData());
        }
        QRandomGenerator random(14);
        for (int i = 0; i < 2000; ++i) {
            QByteArray bytes(int(random.bounded(64)), '\0');
            for (char& b : bytes) b = char(random.bounded(256));
            QVERIFY2(check(bytes), bytes.toHex().constData());
        }
    }
};

QTEST_GUILESS_MAIN(TestGbk)
#include "test_gbk.moc"
