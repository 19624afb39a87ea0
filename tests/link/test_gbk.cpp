// The device code page: exact bytes, refusal of what it cannot hold.
#include <QtTest>

#include "link/gbk.h"

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
    }
    void encode_roundTrips() {
        QFETCH(QString, text);
        QFETCH(QByteArray, bytes);
        QCOMPARE(gbk::encode(text).value(), bytes);
        QCOMPARE(gbk::decode(bytes), text);
        QCOMPARE(gbk::byteLength(text), bytes.size());
    }
    void encode_refusesWhatGbkCannotHold() {
        const QString text = QString::fromUtf8("door \xF0\x9F\x98\x80 open");  // an emoji
        QVERIFY(!gbk::encode(text).has_value());
        QCOMPARE(gbk::firstUnencodable(text), QString::fromUtf8("\xF0\x9F\x98\x80"));
        QVERIFY(gbk::firstUnencodable("plain").isEmpty());
    }
    void decode_keepsNulAndMarksBrokenBytes() {
        QCOMPARE(gbk::decode(QByteArray("a\0", 2)), QString(QChar('a')) + QChar(0));
        QCOMPARE(gbk::decode(QByteArray::fromHex("41ff")), QString("A") + QChar(0xFFFD));
        QCOMPARE(gbk::decode(QByteArray::fromHex("c3")), QString(QChar(0xFFFD)));
    }
};

QTEST_GUILESS_MAIN(TestGbk)
#include "test_gbk.moc"
