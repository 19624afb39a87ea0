// The real serial link (TComm on QSerialPort) against the virtual device on a
// pseudo-terminal: opening and its failures, byte delivery, request order,
// close/reopen and the loss of the device while the port is open.

#include <sys/resource.h>
#include <sys/stat.h>

#include <QProcess>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

#include "link/tcomm.h"
#include "sim/device_frame.h"
#include "sim/virtual_device.h"

using namespace vdev;

namespace {

QByteArray allByteValues() {
    QByteArray p(256, 0);
    for (int i = 0; i < 256; ++i) p[i] = char(i);
    return p;
}

QByteArray readRequest(quint32 address) {
    return encodeFrame(CmdReadBlock, address, {});
}

double cpuSeconds() {
    rusage ru{};
    ::getrusage(RUSAGE_SELF, &ru);
    return double(ru.ru_utime.tv_sec + ru.ru_stime.tv_sec) +
           double(ru.ru_utime.tv_usec + ru.ru_stime.tv_usec) / 1e6;
}

// Collects what OnReceiveData delivers.
struct Received {
    QByteArray bytes;
    int calls = 0;
    void attach(TComm& comm) {
        comm.OnReceiveData = [this](quint8 b) {
            ++calls;
            bytes.append(char(b));
        };
    }
};

}  // namespace

class TestLinkSerial : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();

    void open_pty_succeedsWithoutError();
    void open_throughFixedLink_works();
    void reply_deliversOneBytePerCall_data();
    void reply_deliversOneBytePerCall();
    void bytes_allValuesPassUnchanged();
    void requests_backToBack_arriveInOrderUnmixed();
    void close_thenReopen_works();
    void open_missingPort_raisesOpenError_data();
    void open_missingPort_raisesOpenError();
    void open_notASerialDevice_raises();
    void open_whileOpen_keepsThePortOpen();
    void reason_mapsTheFailure_data();
    void reason_mapsTheFailure();
    void open_permissionDenied_namesDialoutGroup();
    void unplug_costsOneLinkLostAndNoBusyLoop();
    void unplug_withoutAnyPortError_isStillNoticed();
    void nestedEventLoop_keepsDeliveringInOrder_data();
    void nestedEventLoop_keepsDeliveringInOrder();
    void closeInsideHandler_stopsDelivery();

private:
    VirtualDevice* dev_ = nullptr;
    QString path_;
};

void TestLinkSerial::init() {
    dev_ = new VirtualDevice;
    path_ = dev_->start();
    QVERIFY(!path_.isEmpty());
}

void TestLinkSerial::cleanup() {
    delete dev_;
    dev_ = nullptr;
}

void TestLinkSerial::open_pty_succeedsWithoutError() {
    TComm comm;
    comm.CommName = path_;
    comm.OpenPort();
    QVERIFY(comm.isOpen());
    QVERIFY(comm.PortOpenError.isEmpty());
    QVERIFY(comm.PortOpenReason.isEmpty());
}

void TestLinkSerial::open_throughFixedLink_works() {
    QTemporaryDir dir;
    const QString link = dir.filePath("ttyVARNEL");
    VirtualDevice other;
    QString error;
    QVERIFY2(!other.start(link, &error).isEmpty(), qPrintable(error));
    TComm comm;
    comm.CommName = link;
    Received rx;
    rx.attach(comm);
    comm.OpenPort();
    QVERIFY(comm.SendBytes(readRequest(0x100)));
    QTRY_COMPARE_WITH_TIMEOUT(rx.bytes.size(), 265, 3000);
    QSignalSpy lost(&comm, &TComm::linkLost);
    other.stop();  // removes the link as well
    QTRY_COMPARE_WITH_TIMEOUT(lost.count(), 1, 2000);
}

void TestLinkSerial::reply_deliversOneBytePerCall_data() {
    QTest::addColumn<QString>("delivery");
    QTest::newRow("whole frame at once") << "whole";
    QTest::newRow("chunks of 7 bytes") << "chunks";
    QTest::newRow("paced at 115200 baud") << "paced";
    QTest::newRow("garbage before the reply") << "garbage";
}

void TestLinkSerial::reply_deliversOneBytePerCall() {
    QFETCH(QString, delivery);
    Faults f;
    f.chunkSize = delivery == "chunks" ? 7 : 0;
    f.chunkDelayMs = 2;
    f.paced = delivery == "paced";
    if (delivery == "garbage") f.garbage = QByteArray::fromHex("00ff2311");
    dev_->setFaults(f);

    TComm comm;
    comm.CommName = path_;
    Received rx;
    rx.attach(comm);
    comm.OpenPort();
    QVERIFY(comm.SendBytes(readRequest(0)));
    const QByteArray want =
        f.garbage + encodeFrame(CmdReadBlock, 0, dev_->pageBytes(Region::Settings, 1));
    QTRY_COMPARE_WITH_TIMEOUT(rx.bytes.size(), want.size(), 3000);
    QCOMPARE(rx.bytes.toHex(), want.toHex());
    QCOMPARE(rx.calls, int(want.size()));
    QCOMPARE(dev_->requestCount(CmdReadBlock), 1);
}

void TestLinkSerial::bytes_allValuesPassUnchanged() {
    // 0x00, CR, LF, XON/XOFF, ^C, ^Z, 0x7F and 0xFF must all cross both ways
    // untouched: no line discipline, no software flow control.
    TComm comm;
    comm.CommName = path_;
    Received rx;
    rx.attach(comm);
    comm.OpenPort();
    QVERIFY(comm.SendBytes(encodeFrame(CmdWriteBlock, 0x1000, allByteValues())));
    QTRY_COMPARE_WITH_TIMEOUT(rx.bytes.size(), 10, 3000);
    QCOMPARE(rx.bytes, encodeFrame(CmdWriteBlock, 0x1000, QByteArray(1, 1)));
    QCOMPARE(dev_->pageBytes(Region::Numbers, 1), allByteValues());

    rx.bytes.clear();
    QVERIFY(comm.SendBytes(readRequest(0x1000)));
    QTRY_COMPARE_WITH_TIMEOUT(rx.bytes.size(), 265, 3000);
    QCOMPARE(rx.bytes, encodeFrame(CmdReadBlock, 0x1000, allByteValues()));
    QCOMPARE(dev_->invalidRequests(), 0);
}

void TestLinkSerial::requests_backToBack_arriveInOrderUnmixed() {
    TComm comm;
    comm.CommName = path_;
    Received rx;
    rx.attach(comm);
    comm.OpenPort();
    const int n = 40;  // 40 x 265 bytes: far more than one pty buffer
    for (int i = 0; i < n; ++i) {
        QByteArray page(256, char(i));
        page[0] = '#';  // a start marker inside the payload changes nothing
        QVERIFY(comm.SendBytes(encodeFrame(CmdWriteBlock, 0x1000 + 0x100 * quint32(i), page)));
    }
    QTRY_COMPARE_WITH_TIMEOUT(rx.bytes.size(), n * 10, 5000);
    QCOMPARE(dev_->invalidRequests(), 0);
    const QList<ReceivedRequest> log = dev_->receivedRequests();
    QCOMPARE(log.size(), n);
    for (int i = 0; i < n; ++i) {
        QCOMPARE(log[i].number, i + 1);
        QCOMPARE(log[i].frame.address, 0x1000 + 0x100 * quint32(i));
        QCOMPARE(log[i].frame.payload.mid(1), QByteArray(255, char(i)));
        QCOMPARE(rx.bytes.mid(i * 10, 10),
                 encodeFrame(CmdWriteBlock, 0x1000 + 0x100 * quint32(i), QByteArray(1, 1)));
    }
}

void TestLinkSerial::close_thenReopen_works() {
    TComm comm;
    comm.CommName = path_;
    Received rx;
    rx.attach(comm);
    comm.OpenPort();
    QVERIFY(comm.SendBytes(readRequest(0x100)));
    QTRY_COMPARE_WITH_TIMEOUT(rx.bytes.size(), 265, 3000);

    comm.ClosePort();
    comm.ClosePort();  // closing a closed port does nothing
    QVERIFY(!comm.isOpen());
    QVERIFY(!comm.SendBytes(readRequest(0)));
    QVERIFY(!comm.SendBytes(QByteArray()));
    QTest::qWait(100);
    QCOMPARE(dev_->requestCount(CmdReadBlock), 1);  // nothing was sent

    comm.OpenPort();
    QVERIFY(comm.isOpen());
    QVERIFY(!comm.SendBytes(QByteArray()));
    QVERIFY(comm.SendBytes(readRequest(0x30000)));
    QTRY_COMPARE_WITH_TIMEOUT(rx.bytes.size(), 530, 3000);
    QCOMPARE(rx.bytes.mid(265), encodeFrame(CmdReadBlock, 0x30000, QByteArray(256, char(0xFF))));
    QCOMPARE(rx.calls, 530);
}

void TestLinkSerial::open_missingPort_raisesOpenError_data() {
    QTest::addColumn<QString>("name");
    QTest::newRow("full path") << "/dev/ttyVARNEL_NO_SUCH_PORT";
    QTest::newRow("bare name") << "ttyVARNEL_NO_SUCH_PORT";
}

void TestLinkSerial::open_missingPort_raisesOpenError() {
    QFETCH(QString, name);
    TComm comm;
    comm.CommName = name;
    for (int attempt = 0; attempt < 2; ++attempt) {  // the next click tries again
        try {
            comm.OpenPort();
            QFAIL("OpenPort did not raise");
        } catch (const ECommsError& e) {
            QCOMPARE(QString::fromUtf8(e.what()), QStringLiteral("Error opening serial port"));
        }
        QCOMPARE(comm.PortOpenError, QStringLiteral("Error opening serial port"));
        QVERIFY2(comm.PortOpenReason.contains("does not exist"), qPrintable(comm.PortOpenReason));
        QVERIFY(!comm.isOpen());
    }
    // A good open afterwards clears the texts.
    comm.CommName = path_;
    comm.OpenPort();
    QVERIFY(comm.PortOpenError.isEmpty() && comm.PortOpenReason.isEmpty());
}

void TestLinkSerial::open_notASerialDevice_raises() {
    QTemporaryDir dir;
    const QString file = dir.filePath("not-a-port");
    QFile f(file);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.close();
    for (const QString& name : {file, QStringLiteral("/dev/null")}) {
        TComm comm;
        comm.CommName = name;
        QVERIFY_THROWS_EXCEPTION(ECommsError, comm.OpenPort());
        QVERIFY2(!comm.PortOpenError.isEmpty(), qPrintable(name));
        QVERIFY(!comm.isOpen());
    }
}

void TestLinkSerial::open_whileOpen_keepsThePortOpen() {
    TComm comm;
    comm.CommName = path_;
    Received rx;
    rx.attach(comm);
    comm.OpenPort();
    comm.OpenPort();
    QCOMPARE(comm.PortOpenError, QStringLiteral("This serial port already opened"));
    QVERIFY(comm.isOpen());
    QVERIFY(comm.SendBytes(readRequest(0)));
    QTRY_COMPARE_WITH_TIMEOUT(rx.bytes.size(), 265, 3000);
}

void TestLinkSerial::reason_mapsTheFailure_data() {
    QTest::addColumn<int>("error");
    QTest::addColumn<bool>("denied");
    QTest::addColumn<QString>("mentions");
    QTest::newRow("no access: dialout") << int(QSerialPort::PermissionError) << true << "dialout";
    QTest::newRow("locked by another program")
        << int(QSerialPort::PermissionError) << false << "another program";
    QTest::newRow("missing") << int(QSerialPort::DeviceNotFoundError) << false << "does not exist";
    QTest::newRow("already open") << int(QSerialPort::OpenError) << false << "already open";
    QTest::newRow("other: system text")
        << int(QSerialPort::UnknownError) << false << "Input/output";
}

void TestLinkSerial::reason_mapsTheFailure() {
    QFETCH(int, error);
    QFETCH(bool, denied);
    QFETCH(QString, mentions);
    const QString reason = TComm::openFailureReason(QSerialPort::SerialPortError(error),
                                                    "/dev/ttyUSB0", denied, "Input/output error");
    QVERIFY2(reason.contains(mentions), qPrintable(reason));
    QVERIFY(reason.contains("/dev/ttyUSB0"));
    if (mentions != "dialout") QVERIFY(!reason.contains("dialout"));
}

void TestLinkSerial::open_permissionDenied_namesDialoutGroup() {
    // A port the user may not open. Root may open anything, so the probe
    // drops to nobody first when run as root.
    QVERIFY(::chmod(path_.toLocal8Bit().constData(), 0) == 0);
    QProcess probe;
    probe.start(QStringLiteral(OPEN_PROBE_PATH), {path_});
    QVERIFY(probe.waitForFinished(10000));
    if (probe.exitCode() == 3) QSKIP("cannot drop privileges to run the probe");
    QCOMPARE(probe.exitCode(), 0);
    const QStringList lines = QString::fromLocal8Bit(probe.readAllStandardOutput()).split('\n');
    QVERIFY(lines.size() >= 2);
    QCOMPARE(lines[0], QStringLiteral("Error opening serial port"));
    QVERIFY2(lines[1].contains("dialout"), qPrintable(lines[1]));
    QCOMPARE(dev_->totalRequests(), 0);
}

void TestLinkSerial::unplug_costsOneLinkLostAndNoBusyLoop() {
    // Through a link of its own: once the device is gone the name stays gone,
    // even when another program on this machine gets the same pty number.
    QTemporaryDir dir;
    dev_->stop();
    const QString link = dir.filePath("ttyVIRT0");
    QVERIFY(!dev_->start(link).isEmpty());
    TComm comm;
    comm.CommName = link;
    Received rx;
    rx.attach(comm);
    comm.OpenPort();
    auto* port = comm.findChild<QSerialPort*>();
    QVERIFY(port);
    int portErrors = 0;
    connect(port, &QSerialPort::errorOccurred, this, [&](QSerialPort::SerialPortError e) {
        if (e != QSerialPort::NoError) ++portErrors;
    });
    QSignalSpy lost(&comm, &TComm::linkLost);
    QVERIFY(comm.SendBytes(readRequest(0)));
    QTRY_COMPARE_WITH_TIMEOUT(rx.bytes.size(), 265, 3000);

    dev_->stop();  // the adapter is pulled
    QTRY_COMPARE_WITH_TIMEOUT(lost.count(), 1, 2000);
    QVERIFY(!comm.isOpen());
    QVERIFY2(lost.first().first().toString().contains("disconnected"),
             qPrintable(lost.first().first().toString()));

    const double before = cpuSeconds();
    QTest::qWait(1000);
    const double used = cpuSeconds() - before;
    qInfo("after the unplug: %d port error(s), %.3f s CPU in 1 s", portErrors, used);
    QCOMPARE(lost.count(), 1);
    QVERIFY2(portErrors <= 1, qPrintable(QString::number(portErrors)));
    QVERIFY2(used < 0.2, qPrintable(QString::number(used)));
    QVERIFY(!comm.SendBytes(readRequest(0)));

    // The device is gone: opening it again fails cleanly.
    QVERIFY_THROWS_EXCEPTION(ECommsError, comm.OpenPort());
}

void TestLinkSerial::unplug_withoutAnyPortError_isStillNoticed() {
    // Newer Qt versions may not report a vanished device at all; the link must
    // notice the hang-up by itself.
    TComm comm;
    comm.CommName = path_;
    comm.OpenPort();
    QSignalSpy lost(&comm, &TComm::linkLost);
    comm.findChild<QSerialPort*>()->blockSignals(true);
    dev_->stop();
    QTRY_COMPARE_WITH_TIMEOUT(lost.count(), 1, 2000);
    QVERIFY(!comm.isOpen());
    comm.findChild<QSerialPort*>()->blockSignals(false);
    QTest::qWait(300);
    QCOMPARE(lost.count(), 1);
}

void TestLinkSerial::nestedEventLoop_keepsDeliveringInOrder_data() {
    QTest::addColumn<int>("chunk");
    QTest::newRow("reply already complete") << 0;
    QTest::newRow("reply still arriving") << 20;
}

void TestLinkSerial::nestedEventLoop_keepsDeliveringInOrder() {
    // A handler that shows a modal message box re-enters the event loop; the
    // bytes queued behind it and those arriving meanwhile are delivered from
    // inside, in order.
    QFETCH(int, chunk);
    Faults f;
    f.chunkSize = chunk;
    f.chunkDelayMs = 5;
    dev_->setFaults(f);
    TComm comm;
    comm.CommName = path_;
    QByteArray got;
    int depth = 0, insideNested = 0;
    comm.OnReceiveData = [&](quint8 b) {
        got.append(char(b));
        if (depth > 0) ++insideNested;
        if (got.size() == 1) {
            ++depth;
            QEventLoop modal;
            QTimer::singleShot(600, &modal, &QEventLoop::quit);
            modal.exec();
            --depth;
        }
    };
    comm.OpenPort();
    QVERIFY(comm.SendBytes(readRequest(0)));
    const QByteArray want = encodeFrame(CmdReadBlock, 0, dev_->pageBytes(Region::Settings, 1));
    QTRY_COMPARE_WITH_TIMEOUT(got.size(), want.size(), 3000);
    QCOMPARE(got.toHex(), want.toHex());
    QCOMPARE(insideNested, int(want.size()) - 1);
}

void TestLinkSerial::closeInsideHandler_stopsDelivery() {
    TComm comm;
    comm.CommName = path_;
    int calls = 0;
    comm.OnReceiveData = [&](quint8) {
        if (++calls == 10) comm.ClosePort();
    };
    comm.OpenPort();
    QVERIFY(comm.SendBytes(readRequest(0)));
    QTRY_COMPARE_WITH_TIMEOUT(calls, 10, 3000);
    QTest::qWait(200);
    QCOMPARE(calls, 10);
    QVERIFY(!comm.isOpen());
}

QTEST_GUILESS_MAIN(TestLinkSerial)
#include "test_link_serial.moc"
