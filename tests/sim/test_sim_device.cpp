// The virtual device on its own: memory layout and image file, the request
// reader, every command's answer over the pty, the fault schedule and the
// command-line program.

#include <csignal>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

#include "frames.h"
#include "pty_client.h"
#include "sim/device_frame.h"
#include "sim/device_memory.h"
#include "sim/virtual_device.h"

using namespace vdev;

namespace {

QByteArray ff(int n) {
    return QByteArray(n, char(0xFF));
}

// Settings page 1 as shipped, written out byte by byte.
QByteArray goldenFactoryPage1() {
    QByteArray p;
    p += "5729";
    p += ff(22);
    p += QByteArray::fromHex("0101");
    p += QByteArray("Unauthorized door opened") + '\0' + ff(15);
    p += QByteArray("DIN2 Alarm") + '\0' + ff(29);
    p += QByteArray::fromHex(
        "0a00"
        "0100"
        "00000000"
        "0303");
    p += QByteArray("Relay ON") + '\0' + ff(31);
    p += QByteArray("Relay OFF") + '\0' + ff(30);
    p += QByteArray::fromHex(
        "0f27"
        "e703"
        "0000");
    p += ff(52);
    return p;
}

QByteArray read(quint32 address) {
    return encodeFrame(CmdReadBlock, address, {});
}
QByteArray ack(quint8 code, quint32 address, bool ok) {
    return encodeFrame(code, address, QByteArray(1, ok ? 1 : 0));
}
QByteArray pattern(int seed) {
    QByteArray p(256, 0);
    for (int i = 0; i < 256; ++i) p[i] = char(i * 7 + seed);
    return p;
}

}  // namespace

class TestSimDevice : public QObject {
    Q_OBJECT
private slots:
    void factory_memory_matchesShippedContents();
    void blockAt_mapsAddresses_data();
    void blockAt_mapsAddresses();
    void image_roundTripsThroughFile();
    void image_wrongSize_isRejected();
    void sampleHistory_isPlausibleAndDeterministic();

    void reader_collectsRequests_data();
    void reader_collectsRequests();
    void reader_abandonsStalledFrame();

    void command_answersLikeTheDevice_data();
    void command_answersLikeTheDevice();
    void command_invalidRequests_getNoAnswer();
    void deleteHistory_erasesToFF();
    void timeSync_keepsTheReceivedTime();

    void fault_scheduleHitsTheNamedReply_data();
    void fault_scheduleHitsTheNamedReply();
    void fault_corruptStore_acknowledgesButStoresOther();
    void fault_chunks_arriveSeparately();
    void paced_roundTripTakesLineTime();

    void program_savesWrittenMemoryOnSigterm();
};

void TestSimDevice::factory_memory_matchesShippedContents() {
    DeviceMemory m;
    QCOMPARE(goldenFactoryPage1().size(), 256);
    QCOMPARE(m.page(Region::Settings, 1), goldenFactoryPage1());
    QCOMPARE(m.page(Region::Settings, 2), ff(256));
    QCOMPARE(m.page(Region::Numbers, 1), ff(256));
    QCOMPARE(m.page(Region::Numbers, 375), ff(256));
    QCOMPARE(m.page(Region::History, 500), ff(256));
    QVERIFY(m.page(Region::Numbers, 376).isEmpty());
    QVERIFY(m.page(Region::Settings, 0).isEmpty());
    QCOMPARE(m.image().size(), 224512);
}

void TestSimDevice::blockAt_mapsAddresses_data() {
    QTest::addColumn<quint32>("address");
    QTest::addColumn<int>("region");  // -1: not a block in use
    QTest::addColumn<int>("page");
    QTest::newRow("settings 1") << 0x0u << int(Region::Settings) << 1;
    QTest::newRow("settings 2") << 0x100u << int(Region::Settings) << 2;
    QTest::newRow("settings gap") << 0x200u << -1 << 0;
    QTest::newRow("settings range end") << 0xF00u << -1 << 0;
    QTest::newRow("numbers 1") << 0x1000u << int(Region::Numbers) << 1;
    QTest::newRow("numbers 375") << 0x18600u << int(Region::Numbers) << 375;
    QTest::newRow("numbers 376") << 0x18700u << -1 << 0;
    QTest::newRow("numbers unaligned") << 0x1020u << -1 << 0;
    QTest::newRow("history 1") << 0x30000u << int(Region::History) << 1;
    QTest::newRow("history 500") << 0x4F300u << int(Region::History) << 500;
    QTest::newRow("history 501") << 0x4F400u << -1 << 0;
    QTest::newRow("below history") << 0x2FF00u << -1 << 0;
    QTest::newRow("huge") << 0xFFFFFF00u << -1 << 0;
}

void TestSimDevice::blockAt_mapsAddresses() {
    QFETCH(quint32, address);
    QFETCH(int, region);
    QFETCH(int, page);
    const auto b = blockAt(address);
    QCOMPARE(b.has_value(), region >= 0);
    if (b) {
        QCOMPARE(int(b->region), region);
        QCOMPARE(b->page, page);
        QCOMPARE(pageAddress(b->region, b->page), address);
    }
}

void TestSimDevice::image_roundTripsThroughFile() {
    QTemporaryDir dir;
    const QString file = dir.filePath("mem.bin");
    DeviceMemory a;
    QVERIFY(a.setPage(Region::Settings, 2, pattern(1)));
    QVERIFY(a.setPage(Region::Numbers, 375, pattern(2)));
    a.fillSampleHistory(30, 5);
    QString err;
    QVERIFY2(a.saveImage(file, &err), qPrintable(err));

    // Documented layout: regions back to back.
    QFile f(file);
    QVERIFY(f.open(QIODevice::ReadOnly));
    const QByteArray raw = f.readAll();
    QCOMPARE(raw.size(), 224512);
    QCOMPARE(raw.mid(0x100, 256), pattern(1));
    QCOMPARE(raw.mid(0x200 + (0x18600 - 0x1000), 256), pattern(2));
    QCOMPARE(raw.mid(0x17900, 256), a.page(Region::History, 1));

    DeviceMemory b;
    QVERIFY2(b.loadImage(file, &err), qPrintable(err));
    QCOMPARE(b.image(), a.image());
}

void TestSimDevice::image_wrongSize_isRejected() {
    QTemporaryDir dir;
    const QString file = dir.filePath("short.bin");
    QFile f(file);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write(QByteArray(224511, 0));
    f.close();
    DeviceMemory m;
    QString err;
    QVERIFY(!m.loadImage(file, &err));
    QVERIFY(err.contains("224511"));
    QCOMPARE(m.page(Region::Settings, 1), goldenFactoryPage1());  // unchanged
    QVERIFY(!m.loadImage(dir.filePath("missing.bin"), &err));
}

void TestSimDevice::sampleHistory_isPlausibleAndDeterministic() {
    DeviceMemory m;
    m.fillSampleHistory(301, 7);
    QString lastDate;
    for (int slot = 0; slot < 1000; ++slot) {
        const QByteArray rec = m.page(Region::History, slot / 2 + 1).mid((slot % 2) * 128, 128);
        if (slot >= 301) {
            QCOMPARE(rec, ff(128));
            continue;
        }
        const quint32 no = quint8(rec[0]) | quint8(rec[1]) << 8 | quint8(rec[2]) << 16 |
                           quint32(quint8(rec[3])) << 24;
        QCOMPARE(no, quint32(slot + 1));
        const int y = quint8(rec[4]), mo = quint8(rec[5]), d = quint8(rec[6]);
        QVERIFY(y >= 1 && y <= 79);
        QVERIFY(mo >= 1 && mo <= 12 && d >= 1 && d <= 31);
        QVERIFY(quint8(rec[7]) < 24 && quint8(rec[8]) < 60 && quint8(rec[9]) < 60);
        QVERIFY(quint8(rec[10]) <= 3);
        QVERIFY(quint8(rec[11]) <= 9);
        const QString date = QString::asprintf("%02d%02d%02d%02d%02d%02d", y, mo, d, quint8(rec[7]),
                                               quint8(rec[8]), quint8(rec[9]));
        QVERIFY2(date >= lastDate, qPrintable(date));
        lastDate = date;
        const QByteArray exe = rec.mid(12, 22);
        const int exeEnd = exe.indexOf('\0');
        QVERIFY(exeEnd >= 0);
        QVERIFY(exe.mid(exeEnd).count('\0') == exe.size() - exeEnd);
        if (exeEnd > 0) QVERIFY(QRegularExpression("^\\+\\d+$").match(exe.left(exeEnd)).hasMatch());
        const QByteArray content = rec.mid(34, 41);
        const int end = content.indexOf('\0');
        QVERIFY(end > 0);
        for (char c : content.left(end)) QVERIFY(c >= 0x20 && c < 0x7F);
    }
    DeviceMemory again;
    again.fillSampleHistory(301, 7);
    QCOMPARE(again.image(), m.image());
    again.fillSampleHistory(301, 8);
    QVERIFY(again.image() != m.image());
}

void TestSimDevice::reader_collectsRequests_data() {
    QTest::addColumn<QByteArray>("stream");
    QTest::addColumn<int>("frames");
    QTest::addColumn<int>("bad");
    const QByteArray f1 = encodeFrame(0x83, 0x1000, {});
    const QByteArray f2 = encodeFrame(0x82, 0x23232323, QByteArray(256, 0x23));
    QByteArray corrupt = f2;
    corrupt[100] = 0;
    QByteArray oversize = QByteArray::fromHex("2383000000000101");
    QTest::newRow("one") << f1 << 1 << 0;
    QTest::newRow("garbage before") << (QByteArray::fromHex("0011ff") + f1) << 1 << 0;
    QTest::newRow("0x23 everywhere") << f2 << 1 << 0;
    QTest::newRow("back to back") << (f1 + f2 + f1) << 3 << 0;
    QTest::newRow("corrupt then good") << (corrupt + f1) << 1 << 1;
    QTest::newRow("oversize then good") << (oversize + f1) << 1 << 1;
}

void TestSimDevice::reader_collectsRequests() {
    QFETCH(QByteArray, stream);
    QFETCH(int, frames);
    QFETCH(int, bad);
    FrameReader r;
    int got = 0, invalid = 0;
    const auto t = Clock::now();
    for (char c : stream) {
        switch (r.feed(quint8(c), t)) {
            case FrameReader::Result::Complete:
                ++got;
                break;
            case FrameReader::Result::Pending:
                break;
            default:
                ++invalid;
        }
    }
    QCOMPARE(got, frames);
    QCOMPARE(invalid, bad);
}

void TestSimDevice::reader_abandonsStalledFrame() {
    FrameReader r(std::chrono::milliseconds(500));
    const QByteArray f = encodeFrame(0x83, 0x100, {});
    auto t = Clock::now();
    for (int i = 0; i < 5; ++i) r.feed(quint8(f[i]), t);  // a request cut short
    t += std::chrono::milliseconds(600);
    FrameReader::Result last{};
    for (char c : f) last = r.feed(quint8(c), t);
    QCOMPARE(last, FrameReader::Result::Complete);
    QCOMPARE(r.frame().address, 0x100u);
}

void TestSimDevice::command_answersLikeTheDevice_data() {
    QTest::addColumn<QByteArray>("request");
    QTest::addColumn<QByteArray>("reply");
    QTest::newRow("read settings 1") << read(0) << encodeFrame(0x83, 0, goldenFactoryPage1());
    QTest::newRow("read settings 1, exact bytes")
        << QByteArray::fromHex("238300000000000083") << encodeFrame(0x83, 0, goldenFactoryPage1());
    QTest::newRow("read numbers 375") << read(0x18600) << encodeFrame(0x83, 0x18600, ff(256));
    QTest::newRow("read outside: unprogrammed") << read(0x200) << encodeFrame(0x83, 0x200, ff(256));
    QTest::newRow("write settings 2")
        << encodeFrame(0x82, 0x100, pattern(3)) << ack(0x82, 0x100, true);
    QTest::newRow("write numbers 1")
        << encodeFrame(0x82, 0x1000, pattern(4)) << ack(0x82, 0x1000, true);
    QTest::newRow("write history refused")
        << encodeFrame(0x82, 0x30000, pattern(5)) << ack(0x82, 0x30000, false);
    QTest::newRow("write outside refused")
        << encodeFrame(0x82, 0x18700, pattern(5)) << ack(0x82, 0x18700, false);
    QTest::newRow("write short payload refused")
        << encodeFrame(0x82, 0x1000, QByteArray(6, 1)) << ack(0x82, 0x1000, false);
    QTest::newRow("checking mode")
        << QByteArray::fromHex("230400000000000004") << ack(0x04, 0, true);
    QTest::newRow("delete history")
        << QByteArray::fromHex("238500000000000085") << ack(0x85, 0, true);
    QTest::newRow("time sync") << QByteArray::fromHex("2303000000000006EA0C070C3102DB")
                               << ack(0x03, 0, true);
}

void TestSimDevice::command_answersLikeTheDevice() {
    QFETCH(QByteArray, request);
    QFETCH(QByteArray, reply);
    VirtualDevice dev;
    const QString path = dev.start();
    QVERIFY(!path.isEmpty());
    PtyClient c(path);
    QVERIFY(c.ok());
    QVERIFY(c.send(request));
    QCOMPARE(c.read(int(reply.size()), 2000).toHex(), reply.toHex());
    QCOMPARE(c.drain(50), QByteArray());
    QCOMPARE(dev.requestCount(quint8(request[1])), 1);
    // A write answered 01 is stored; one answered 00 leaves the memory as it was.
    if (quint8(request[1]) == CmdWriteBlock) {
        const auto block = blockAt(quint32(parseFrame(request).address));
        const QByteArray image = DeviceMemory().image();
        if (reply[8] == 1) {
            QVERIFY(block);
            QCOMPARE(dev.pageBytes(block->region, block->page), request.mid(8, 256));
        } else {
            QCOMPARE(dev.image(), image);
        }
    }
}

void TestSimDevice::command_invalidRequests_getNoAnswer() {
    VirtualDevice dev;
    PtyClient c(dev.start());
    QByteArray bad = read(0);
    bad[8] = char(bad[8] ^ 1);
    QVERIFY(c.send(bad));
    QVERIFY(c.send(encodeFrame(0x42, 0, {})));  // a code the device does not know
    QCOMPARE(c.drain(200), QByteArray());
    QCOMPARE(dev.invalidRequests(), 1);
    QCOMPARE(dev.requestCount(0x42), 1);
    QCOMPARE(dev.repliesSent(), 0);
    // Still listening afterwards.
    QVERIFY(c.send(read(0x100)));
    QCOMPARE(c.read(265, 2000), encodeFrame(0x83, 0x100, ff(256)));
}

void TestSimDevice::deleteHistory_erasesToFF() {
    VirtualDevice dev;
    dev.fillSampleHistory(1000);
    PtyClient c(dev.start());
    QVERIFY(dev.pageBytes(Region::History, 500) != ff(256));
    QVERIFY(c.send(encodeFrame(CmdDeleteHistory, 0, {})));
    QCOMPARE(c.read(10, 2000), ack(0x85, 0, true));
    for (int p = 1; p <= 500; ++p) QCOMPARE(dev.pageBytes(Region::History, p), ff(256));
    QCOMPARE(dev.pageBytes(Region::Settings, 1), goldenFactoryPage1());
}

void TestSimDevice::timeSync_keepsTheReceivedTime() {
    VirtualDevice dev;
    PtyClient c(dev.start());
    QVERIFY(c.send(encodeFrame(CmdTimeSync, 0, QByteArray::fromHex("EA0C070C3102"))));
    QCOMPARE(c.read(10, 2000), ack(0x03, 0, true));
    QVERIFY(dev.deviceClock());
    const std::array<quint8, 6> want{0xEA, 12, 7, 12, 49, 2};
    QCOMPARE(*dev.deviceClock(), want);
    QVERIFY(c.send(encodeFrame(CmdTimeSync, 0, QByteArray::fromHex("EA0D070C3102"))));  // month 13
    QCOMPARE(c.read(10, 2000), ack(0x03, 0, false));
    QCOMPARE(*dev.deviceClock(), want);
}

void TestSimDevice::fault_scheduleHitsTheNamedReply_data() {
    QTest::addColumn<QString>("fault");
    QTest::addColumn<QByteArray>("expected");  // what 3 writes of settings page 2 bring back
    const QByteArray okAck = ack(0x82, 0x100, true);
    const QByteArray noAck = ack(0x82, 0x100, false);
    QByteArray badSum = okAck;
    badSum[9] = char(badSum[9] ^ 0x5A);
    QTest::newRow("none") << "none" << okAck + okAck + okAck;
    QTest::newRow("silent") << "silent" << QByteArray();
    QTest::newRow("silent after 2") << "silentAfter" << okAck + okAck;
    QTest::newRow("bad checksum on 2") << "badChecksum" << okAck + badSum + okAck;
    QTest::newRow("refuse reply 3") << "refuseReply" << okAck + okAck + noAck;
    QTest::newRow("refuse all writes") << "refuseWrites" << noAck + noAck + noAck;
    QTest::newRow("cut reply 2 after 4") << "cut" << okAck + okAck.left(4) + okAck;
    QTest::newRow("garbage before 1")
        << "garbage" << QByteArray::fromHex("0023ff") + okAck + okAck + okAck;
}

void TestSimDevice::fault_scheduleHitsTheNamedReply() {
    QFETCH(QString, fault);
    QFETCH(QByteArray, expected);
    Faults f;
    if (fault == "silent") f.silent = true;
    if (fault == "silentAfter") f.silentAfter = 2;
    if (fault == "badChecksum") f.badChecksumReply = 2;
    if (fault == "refuseReply") f.refuseReply = 3;
    if (fault == "refuseWrites") f.refuseWrites = true;
    if (fault == "cut") f.cutReply = 2, f.cutAfter = 4;
    if (fault == "garbage") f.garbage = QByteArray::fromHex("0023ff"), f.garbageReply = 1;
    VirtualDevice dev;
    dev.setFaults(f);
    PtyClient c(dev.start());
    for (int i = 1; i <= 3; ++i) {
        QVERIFY(c.send(encodeFrame(CmdWriteBlock, 0x100, pattern(i))));
        QVERIFY(dev.waitForRequests(i, 2000));
        QVERIFY(dev.waitIdle(2000));
    }
    QCOMPARE(c.drain(100).toHex(), expected.toHex());
    QCOMPARE(dev.requestCount(CmdWriteBlock), 3);
    // The page holds the last write that was accepted.
    const int lastStored = fault == "refuseReply"    ? 2
                           : fault == "refuseWrites" ? 0
                           : fault == "silent"       ? 0
                           : fault == "silentAfter"  ? 2
                                                     : 3;
    QCOMPARE(dev.pageBytes(Region::Settings, 2), lastStored ? pattern(lastStored) : ff(256));
}

void TestSimDevice::fault_corruptStore_acknowledgesButStoresOther() {
    Faults f;
    f.corruptStore = true;
    VirtualDevice dev;
    dev.setFaults(f);
    PtyClient c(dev.start());
    QVERIFY(c.send(encodeFrame(CmdWriteBlock, 0x1000, pattern(9))));
    QCOMPARE(c.read(10, 2000), ack(0x82, 0x1000, true));
    const QByteArray stored = dev.pageBytes(Region::Numbers, 1);
    QVERIFY(stored != pattern(9));
    QCOMPARE(stored.mid(1), pattern(9).mid(1));
}

void TestSimDevice::fault_chunks_arriveSeparately() {
    Faults f;
    f.chunkSize = 50;
    f.chunkDelayMs = 20;
    VirtualDevice dev;
    dev.setFaults(f);
    PtyClient c(dev.start());
    QElapsedTimer t;
    t.start();
    QVERIFY(c.send(read(0)));
    int pieces = 0;
    QCOMPARE(c.read(265, 3000, &pieces), encodeFrame(0x83, 0, goldenFactoryPage1()));
    // 6 chunks of at most 50, 20 ms apart; a loaded machine may read two at once.
    QVERIFY2(pieces >= 2, qPrintable(QString::number(pieces)));
    QVERIFY(t.elapsed() >= 5 * 20);
}

void TestSimDevice::paced_roundTripTakesLineTime() {
    Faults f;
    f.paced = true;
    VirtualDevice dev;
    dev.setFaults(f);
    PtyClient c(dev.start());
    QElapsedTimer t;
    t.start();
    QVERIFY(c.send(read(0x30000)));
    QCOMPARE(c.read(265, 3000), encodeFrame(0x83, 0x30000, ff(256)));
    // 9 request bytes + 265 reply bytes at 86.8 us each: 23.8 ms at the least.
    QVERIFY2(t.nsecsElapsed() >= (9 + 265) * 86806LL,
             qPrintable(QString::number(t.nsecsElapsed())));
}

void TestSimDevice::program_savesWrittenMemoryOnSigterm() {
    const QString exe = QStringLiteral(VARNEL_DEVSIM_PATH);
    QTemporaryDir dir;
    const QString mem = dir.filePath("device.bin");
    const QString link = dir.filePath("ttyVARNEL");
    QProcess sim;
    sim.start(exe, {"--memory", mem, "--link", link, "--sample-history", "--sample-count", "10"});
    QVERIFY(sim.waitForStarted());
    QVERIFY(sim.waitForReadyRead(5000));
    const QString slave = QString::fromLocal8Bit(sim.readLine()).trimmed();
    QVERIFY2(slave.startsWith("/dev/"), qPrintable(slave));
    QCOMPARE(QFileInfo(link).symLinkTarget(), slave);
    {
        PtyClient c(link);
        QVERIFY(c.send(encodeFrame(CmdWriteBlock, 0x1000, pattern(11))));
        QCOMPARE(c.read(10, 2000), ack(0x82, 0x1000, true));
    }
    ::kill(pid_t(sim.processId()), SIGTERM);
    QVERIFY(sim.waitForFinished(5000));
    QCOMPARE(sim.exitCode(), 0);
    QVERIFY(!QFileInfo::exists(link) && !QFileInfo(link).isSymLink());

    DeviceMemory m;
    QString err;
    QVERIFY2(m.loadImage(mem, &err), qPrintable(err));
    QCOMPARE(m.page(Region::Numbers, 1), pattern(11));
    QCOMPARE(m.page(Region::Settings, 1), goldenFactoryPage1());
    DeviceMemory sample;
    sample.fillSampleHistory(10, 1);
    QCOMPARE(m.page(Region::History, 1), sample.page(Region::History, 1));

    // The next run starts from the saved image.
    QProcess again;
    again.start(exe, {"--memory", mem});
    QVERIFY(again.waitForReadyRead(5000));
    {
        PtyClient c(QString::fromLocal8Bit(again.readLine()).trimmed());
        QVERIFY(c.send(read(0x1000)));
        QCOMPARE(c.read(265, 2000), encodeFrame(0x83, 0x1000, pattern(11)));
    }
    ::kill(pid_t(again.processId()), SIGINT);
    QVERIFY(again.waitForFinished(5000));
    QCOMPARE(again.exitCode(), 0);
}

QTEST_GUILESS_MAIN(TestSimDevice)
#include "test_sim_device.moc"
