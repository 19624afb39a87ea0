// varnel-cli end to end against virtual devices on pseudo-terminals.
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

#include "app/session.h"
#include "cli/cli.h"
#include "cli/file_ops.h"
#include "device_pages.h"
#include "recording_prompts.h"
#include "sim/virtual_device.h"

namespace {

struct Run {
    QString out, err;
    int status = -1;
};

Run runCli(const QStringList& args, std::function<bool(const QString&)> ask = {}) {
    Run r;
    QTextStream out(&r.out), err(&r.err);
    cli::Io io{out, err, false, std::move(ask)};
    r.status = cli::run(args, io);
    out.flush();
    err.flush();
    return r;
}

}  // namespace

class TestCli : public QObject {
    Q_OBJECT
    QTemporaryDir dir;

private slots:
    void usageErrors_haveTheirStatus_data() {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<int>("status");
        QTest::newRow("nothing") << QStringList{} << int(cli::Usage);
        QTest::newRow("unknown") << QStringList{"flash"} << int(cli::Usage);
        QTest::newRow("no subcommand") << QStringList{"settings"} << int(cli::Usage);
        QTest::newRow("no port") << QStringList{"time-sync"} << int(cli::Usage);
        QTest::newRow("no output")
            << QStringList{"numbers", "read", "--port", "x"} << int(cli::Usage);
        QTest::newRow("bad option")
            << QStringList{"numbers", "read", "--colour"} << int(cli::Usage);
        QTest::newRow("bad moment")
            << QStringList{"history", "read", "--port", "x", "-o", "h.cvs", "--from", "soon"}
            << int(cli::Usage);
        QTest::newRow("delete, no terminal")
            << QStringList{"history", "delete", "--port", "x"} << int(cli::Usage);
        QTest::newRow("ports --port without --probe")
            << QStringList{"ports", "--port", "x"} << int(cli::Usage);
        QTest::newRow("help") << QStringList{"--help"} << int(cli::Ok);
        QTest::newRow("command help") << QStringList{"numbers", "write", "--help"} << int(cli::Ok);
    }
    void usageErrors_haveTheirStatus() {
        QFETCH(QStringList, args);
        QFETCH(int, status);
        const Run r = runCli(args);
        QCOMPARE(r.status, status);
        if (status == cli::Usage) QVERIFY(!r.err.isEmpty());
    }

    void missingPort_isDeviceError() {
        const Run r = runCli({"time-sync", "--port", "/dev/no-such-port"});
        QCOMPARE(r.status, int(cli::DeviceError));
        QVERIFY(r.out.contains("/dev/no-such-port: FAILED"));
    }

    void settingsRead_thenWriteToSecondDevice_sameMemory() {
        vdev::VirtualDevice a, b;
        QByteArray p1 = a.pageBytes(vdev::Region::Settings, 1);
        p1.replace(4, 12, "861380013800");  // a SIM number
        p1[12 + 4] = 0;
        p1.replace(28, 9, QByteArray("Gate open", 9));
        p1[26] = 0;
        p1[254] = 'g';
        p1[255] = 'p';
        a.setPageBytes(vdev::Region::Settings, 1, p1);
        QByteArray p2(256, char(0xFF));
        p2[0] = 'r';
        a.setPageBytes(vdev::Region::Settings, 2, p2);
        const QString pa = a.start(), pb = b.start();
        const QString file = dir.filePath("profile.xlsx");
        Run r = runCli({"settings", "read", "--port", pa, "-o", file});
        QCOMPARE(r.status, int(cli::Ok));
        QVERIFY(QFileInfo::exists(file));
        r = runCli({"settings", "write", "--port", pb, "-i", file, "--verify"});
        QVERIFY2(r.status == cli::Ok, qPrintable(r.err + r.out));
        const QByteArray got = b.pageBytes(vdev::Region::Settings, 1),
                         want = a.pageBytes(vdev::Region::Settings, 1);
        for (int i = 0; i < 256; ++i)
            QVERIFY2(got[i] == want[i], qPrintable(QString("offset %1: %2 != %3")
                                                       .arg(i)
                                                       .arg(quint8(got[i]))
                                                       .arg(quint8(want[i]))));
        QCOMPARE(b.pageBytes(vdev::Region::Settings, 2), a.pageBytes(vdev::Region::Settings, 2));
    }

    void numberWorkbook_writtenToTwoDevices() {
        RecordingPrompts prompts;
        DeviceSession s(prompts);
        s.numbers.setRows(
            1, {{"1", "+8613800138000", "", "", "", "", "yes", "no"},
                {"2", "5550100", "2024/05/17", "08:30", "2025/01/02", "18:05", "no", "no"}});
        const QString file = dir.filePath("list.xlsx");
        QString error;
        QVERIFY2(cli::files::exportNumbers(s.numbers, file, &error), qPrintable(error));
        vdev::VirtualDevice a, b;
        const QString pa = a.start(), pb = b.start();
        const Run r = runCli({"numbers", "write", "--port", pa, "--port", pb, "-i", file});
        QVERIFY2(r.status == cli::Ok, qPrintable(r.err + r.out));
        QVERIFY(r.out.contains(pa + ": ok"));
        QVERIFY(r.out.contains(pb + ": ok"));
        QCOMPARE(regionBytes(a, vdev::Region::Numbers), regionBytes(b, vdev::Region::Numbers));
        const QByteArray first = a.pageBytes(vdev::Region::Numbers, 1);
        QCOMPARE(first.left(14), QByteArray("+8613800138000"));
        QCOMPARE(first.mid(32 + 22, 10),
                 QByteArray::fromRawData("\x05\x11\x08\x1e\x01\x02\x12\x05\x18\x19", 10));
    }

    void fileWithErrors_noDeviceTraffic() {
        RecordingPrompts prompts;
        DeviceSession s(prompts);
        s.numbers.setRows(1,
                          {{"1", "5550100", "", "", "", "", "no", "no"}});  // no dates, not Always
        const QString file = dir.filePath("bad.xlsx");
        QString error;
        QVERIFY(cli::files::exportNumbers(s.numbers, file, &error));
        vdev::VirtualDevice a;
        const QString pa = a.start();
        Run r = runCli({"numbers", "write", "--port", pa, "-i", file});
        QCOMPARE(r.status, int(cli::FileError));
        QVERIFY2(r.err.contains("Serial: 1"), qPrintable(r.err));
        r = runCli({"numbers", "write", "--port", pa, "-i", dir.filePath("missing.xlsx")});
        QCOMPARE(r.status, int(cli::FileError));
        QTest::qWait(50);
        QCOMPARE(a.totalRequests(), 0);
    }

    void historyRead_withRange_keepsOnlyEventsInside() {
        vdev::VirtualDevice a;
        a.fillSampleHistory(60);
        const QString pa = a.start();
        const QString all = dir.filePath("all.cvs"), some = dir.filePath("some.cvs");
        Run r = runCli({"history", "read", "--port", pa, "-o", all});
        QVERIFY2(r.status == cli::Ok, qPrintable(r.err));
        QFile f(all);
        QVERIFY(f.open(QIODevice::ReadOnly));
        const QList<QByteArray> lines = f.readAll().split('\n');
        QVERIFY(lines.size() > 10);
        // The middle event's date bounds a range that excludes some events.
        const QByteArray mid = lines[lines.size() / 2].split(',').value(2);
        r = runCli({"history", "read", "--port", pa, "-o", some, "--from", QString::fromLatin1(mid),
                    "--to", "2079-12-31 23:59:59"});
        QVERIFY2(r.status == cli::Ok, qPrintable(r.err));
        QFile g(some);
        QVERIFY(g.open(QIODevice::ReadOnly));
        const QByteArray text = g.readAll();
        QVERIFY(text.count('\n') > 0);
        QVERIFY(text.count('\n') < lines.size() - 1);
        for (const QByteArray& line : text.split('\n'))
            if (!line.isEmpty()) QVERIFY(line.split(',').value(2) >= mid);
    }

    void wrongPassword_status3() {
        vdev::VirtualDevice a;
        const Run r = runCli({"time-sync", "--port", a.start(), "--password", "0000"});
        QCOMPARE(r.status, int(cli::LoginFailed));
        QVERIFY(r.err.contains("Password Error!"));
    }

    void silentDevice_status5() {
        vdev::VirtualDevice a;
        vdev::Faults f;
        f.silent = true;
        a.setFaults(f);
        const Run r = runCli({"time-sync", "--port", a.start()});
        QCOMPARE(r.status, int(cli::NoAnswer));
        QVERIFY(r.out.contains("Receive timeout"));
    }

    // ports --probe: one line per port in the order given; the exit status
    // says whether any of them is a controller.
    void portsProbe_namesTheController_data() {
        QTest::addColumn<QStringList>("ports");  // "good", "silent", or a path
        QTest::addColumn<QStringList>("verdicts");
        QTest::addColumn<int>("status");
        QTest::newRow("one controller among others")
            << QStringList{"silent", "/dev/no-such-port", "good"}
            << QStringList{"no answer", "cannot open", "controller"} << int(cli::Ok);
        QTest::newRow("none answers") << QStringList{"silent", "/dev/no-such-port"}
                                      << QStringList{"no answer", "cannot open"}
                                      << int(cli::NoAnswer);
    }
    void portsProbe_namesTheController() {
        QFETCH(QStringList, ports);
        QFETCH(QStringList, verdicts);
        QFETCH(int, status);
        vdev::VirtualDevice silent, good;
        vdev::Faults f;
        f.silent = true;
        silent.setFaults(f);
        const QString silentPath = silent.start(), goodPath = good.start();
        QStringList args{"ports", "--probe"};
        for (QString& p : ports) {
            if (p == "silent") p = silentPath;
            if (p == "good") p = goodPath;
            args << "--port" << p;
        }
        const Run r = runCli(args);
        QCOMPARE(r.status, status);
        const QStringList lines = r.out.trimmed().split('\n');
        QCOMPARE(lines.size(), ports.size());
        for (int i = 0; i < ports.size(); ++i) {
            QVERIFY2(lines[i].startsWith(ports[i] + '\t'), qPrintable(lines[i]));
            QVERIFY2(lines[i].section('\t', 2).startsWith(verdicts[i]), qPrintable(lines[i]));
        }
        // The probe only reads.
        QCOMPARE(good.totalRequests(), good.requestCount(0x83));
    }

    // Line faults on the command's request (reply 2; reply 1 is the log-in):
    // once they are retried away, twice they end with the right status.
    void lineFaults_endWithTheirStatus_data() {
        QTest::addColumn<QStringList>("command");
        QTest::addColumn<QString>("fault");
        QTest::addColumn<int>("reply");
        QTest::addColumn<int>("times");
        QTest::addColumn<int>("status");
        const QStringList sync{"time-sync"}, numbers{"numbers", "read", "-o", "n.cvs"};
        QTest::newRow("bad checksum once") << sync << "bad-checksum" << 2 << 1 << int(cli::Ok);
        QTest::newRow("bad checksum twice") << sync << "bad-checksum" << 2 << 2 << int(cli::DeviceError);
        QTest::newRow("noise twice") << sync << "noise" << 2 << 2 << int(cli::DeviceError);
        QTest::newRow("short twice") << sync << "short" << 2 << 2 << int(cli::DeviceError);
        QTest::newRow("cut once") << sync << "cut" << 2 << 1 << int(cli::Ok);
        QTest::newRow("late once") << sync << "late" << 2 << 1 << int(cli::Ok);
        QTest::newRow("duplicated twice") << sync << "duplicate" << 2 << 2 << int(cli::Ok);
        QTest::newRow("log-in silent twice") << sync << "silence" << 1 << 2 << int(cli::NoAnswer);
        QTest::newRow("number page silent twice") << numbers << "silence" << 150 << 2 << int(cli::NoAnswer);
        QTest::newRow("number page chunked") << numbers << "chunked" << 150 << 2 << int(cli::Ok);
    }
    void lineFaults_endWithTheirStatus() {
        QFETCH(QStringList, command);
        QFETCH(QString, fault);
        QFETCH(int, reply);
        QFETCH(int, times);
        QFETCH(int, status);
        vdev::VirtualDevice a;
        vdev::Faults f;
        for (int i = 0; i < times; ++i) f.onReply.insert(reply + i, *vdev::replyFaultNamed(fault));
        a.setFaults(f);
        QStringList args = command;
        if (args.contains("-o")) args[args.indexOf("-o") + 1] = dir.filePath("faults.cvs");
        QElapsedTimer t;
        t.start();
        const Run r = runCli(args << "--port" << a.start());
        QCOMPARE(r.status, status);
        QVERIFY(t.elapsed() < 15000);
    }

    void reportsTheFileItWrote_andEmptyFilteredHistoryIsNoError() {
        vdev::VirtualDevice a;
        const QString pa = a.start();
        Run r = runCli({"settings", "read", "--port", pa, "-o", dir.filePath("x.XLS")});
        QCOMPARE(r.status, int(cli::Ok));
        QVERIFY2(r.out.contains(dir.filePath("x.xlsx")), qPrintable(r.out));
        r = runCli({"history", "read", "--port", pa, "-o", dir.filePath("empty.cvs"), "--from",
                    "2024-01-01"});
        QVERIFY2(r.status == cli::Ok, qPrintable(r.err + r.out));
    }

    void numbersWrite_changedOnly_writesAndVerifiesOnlyDifferingPages() {
        vdev::VirtualDevice a;
        const QString pa = a.start();
        const QString read = dir.filePath("list.xlsx"), edited = dir.filePath("edited.xlsx");
        QCOMPARE(runCli({"numbers", "read", "--port", pa, "-o", read}).status, int(cli::Ok));
        RecordingPrompts prompts;
        DeviceSession s(prompts);
        QString error;
        QVERIFY2(cli::files::importNumbers(s.numbers, read, &error), qPrintable(error));
        s.numbers.setRows(10, {{"5550010", "", "", "", "", "yes", "no"}}, 1);
        QVERIFY2(cli::files::exportNumbers(s.numbers, edited, &error), qPrintable(error));
        a.resetCounters();
        const Run r = runCli({"numbers", "write", "--changed-only", "--port", pa, "-i", edited});
        QVERIFY2(r.status == cli::Ok, qPrintable(r.err + r.out));
        QVERIFY2(r.out.contains("1 of 375 pages differed) and verified"), qPrintable(r.out));
        QCOMPARE(a.requestCount(0x82), 1);
        QCOMPARE(a.requestCount(0x83), 1 + 375 + 1);  // log-in, the read, the read-back
    }

    void refusedWrite_status4() {
        vdev::VirtualDevice a;
        vdev::Faults f;
        f.refuseWrites = true;
        a.setFaults(f);
        const QString pa = a.start();
        const QString file = dir.filePath("p.xlsx");
        QCOMPARE(runCli({"settings", "read", "--port", pa, "-o", file}).status, int(cli::Ok));
        const Run r = runCli({"settings", "write", "--port", pa, "-i", file});
        QCOMPARE(r.status, int(cli::DeviceError));
        QVERIFY(r.err.contains("Basic setting error"));
    }

    void historyDelete_askOrYes_andTimeSync() {
        vdev::VirtualDevice a;
        a.fillSampleHistory(10);
        const QString pa = a.start();
        Run r = runCli({"history", "delete", "--port", pa}, [](const QString&) { return false; });
        QCOMPARE(r.status, int(cli::Ok));
        QCOMPARE(a.requestCount(0x85), 0);
        r = runCli({"history", "delete", "--port", pa, "--yes"});
        QCOMPARE(r.status, int(cli::Ok));
        QCOMPARE(a.pageBytes(vdev::Region::History, 1), QByteArray(256, char(0xFF)));
        r = runCli({"time-sync", "--port", pa});
        QCOMPARE(r.status, int(cli::Ok));
        QVERIFY(a.deviceClock().has_value());
    }

    void executable_exitStatus() {
        QProcess p;
        p.start(QStringLiteral(VARNEL_CLI_EXE), {"--help"});
        QVERIFY(p.waitForFinished(10000));
        QCOMPARE(p.exitCode(), 0);
        QVERIFY(p.readAllStandardOutput().contains("numbers read"));
        p.start(QStringLiteral(VARNEL_CLI_EXE), {"bogus"});
        QVERIFY(p.waitForFinished(10000));
        QCOMPARE(p.exitCode(), int(cli::Usage));
    }
};

QTEST_GUILESS_MAIN(TestCli)
#include "test_cli.moc"
