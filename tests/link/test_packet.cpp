// Request frames byte for byte, and the checksum rules.
#include <QDateTime>
#include <QtTest>

#include "link/login.h"
#include "link/packet.h"

class TestPacket : public QObject {
    Q_OBJECT
private slots:
    void requestFrames_matchDeviceExamples_data();
    void requestFrames_matchDeviceExamples();
    void timeSync_forGivenMoment_isExactFrame();
    void writeBlock_is265BytesWithLength0100();
    void marker_insideFrame_isSentUnchangedAndNotInChecksum();
    void setData_beforeSetLength_copiesNothing();
    void addressesOfBlocks_followTheMap();
};

static QByteArray hex(const char* s) {
    return QByteArray::fromHex(QByteArray(s).replace(' ', ""));
}

void TestPacket::requestFrames_matchDeviceExamples_data() {
    QTest::addColumn<int>("code");
    QTest::addColumn<int>("address");
    QTest::addColumn<QByteArray>("frame");
    QTest::newRow("settings block 1")
        << 0x83 << devaddr::settingsPage(1) << hex("23 83 00 00 00 00 00 00 83");
    QTest::newRow("settings block 2")
        << 0x83 << devaddr::settingsPage(2) << hex("23 83 00 00 01 00 00 00 82");
    QTest::newRow("number block 1")
        << 0x83 << devaddr::numbersPage(1) << hex("23 83 00 00 10 00 00 00 93");
    QTest::newRow("history block 1")
        << 0x83 << devaddr::historyPage(1) << hex("23 83 00 03 00 00 00 00 80");
    QTest::newRow("delete history") << 0x85 << 0 << hex("23 85 00 00 00 00 00 00 85");
    QTest::newRow("checking mode") << 0x04 << 0 << hex("23 04 00 00 00 00 00 00 04");
}

void TestPacket::requestFrames_matchDeviceExamples() {
    QFETCH(int, code);
    QFETCH(int, address);
    QFETCH(QByteArray, frame);
    QCOMPARE(TDataPackage::request(quint8(code), address), frame);
    // The same through the builder steps, in the senders' order.
    TDataPackage p;
    p.SetCommand(quint8(code));
    p.SetLength(0);
    p.SetAddress(address);
    p.BuildFrame();
    QCOMPARE(p.FrameLength, 9);
    QCOMPARE(p.frameBytes(), frame);
}

void TestPacket::timeSync_forGivenMoment_isExactFrame() {
    const QDateTime moment(QDate(2026, 12, 7), QTime(12, 49, 2));
    QCOMPARE(Tsynchronizationtime_sc::frameFor(moment),
             hex("23 03 00 00 00 00 00 06 EA 0C 07 0C 31 02 DB"));
}

void TestPacket::writeBlock_is265BytesWithLength0100() {
    quint8 page[256];
    for (int i = 0; i < 256; ++i) page[i] = quint8(i);
    const QByteArray f = TDataPackage::request(0x82, devaddr::numbersPage(375), page, 256);
    QCOMPARE(f.size(), 265);
    QCOMPARE(f.mid(0, 8), hex("23 82 00 01 86 00 01 00"));
    QCOMPARE(f.mid(8, 256), QByteArray(reinterpret_cast<const char*>(page), 256));
    quint8 x = 0;
    for (int i = 1; i < 264; ++i) x ^= quint8(f[i]);
    QCOMPARE(quint8(f[264]), x);
}

void TestPacket::marker_insideFrame_isSentUnchangedAndNotInChecksum() {
    const quint8 data[6] = {0x23, 0x23, 0, 0, 0, 0};
    const QByteArray f = TDataPackage::request(0x03, 0x23232323, data, 6);
    QCOMPARE(f, hex("23 03 23 23 23 23 00 06 23 23 00 00 00 00 05"));
}

void TestPacket::setData_beforeSetLength_copiesNothing() {
    TDataPackage p;
    const quint8 data[4] = {1, 2, 3, 4};
    p.SetData(data);
    QCOMPARE(p.Data[0], quint8(0));
    p.SetLength(4);
    p.SetData(data);
    QCOMPARE(p.Data[3], quint8(4));
}

void TestPacket::addressesOfBlocks_followTheMap() {
    QCOMPARE(devaddr::numbersPage(375), 0x18600);
    QCOMPARE(devaddr::historyPage(500), 0x4F300);
    QCOMPARE(devaddr::settingsPage(2), 0x100);
}

QTEST_GUILESS_MAIN(TestPacket)
#include "test_packet.moc"
