// The files round trip through the programs themselves: varnel-devsim holds
// a device's memory image with random text bytes, varnel-cli reads it into a
// settings profile, a number list workbook and a history CSV file, and
// writes the profile and the list to a second virtual device, whose saved
// image must hold the same bytes.

#include <csignal>
#include <QProcess>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QtTest>

#include "../history/history_records.h"
#include "../settings/page_bytes.h"
#include "files_fixture.h"
#include "sim/device_memory.h"

namespace {

// The memory image file's layout is the virtual device's own.
using vdev::ImageSize, vdev::PageSize;
const int kNumbersAt = vdev::DeviceMemory::imageOffset(vdev::Region::Numbers, 1);
const int kHistoryAt = vdev::DeviceMemory::imageOffset(vdev::Region::History, 1);

// A running varnel-devsim on a memory image; stopped (and the image saved)
// by stop() or on destruction.
struct Devsim {
    QProcess process;
    QString port;

    bool start(const QString& image) {
        process.start(QStringLiteral(VARNEL_DEVSIM_PATH), {"--memory", image});
        if (!process.waitForStarted() || !process.waitForReadyRead(5000)) return false;
        port = QString::fromLocal8Bit(process.readLine()).trimmed();
        return port.startsWith("/dev/");
    }
    bool stop() {
        if (process.state() == QProcess::NotRunning) return true;
        ::kill(pid_t(process.processId()), SIGTERM);
        return process.waitForFinished(5000) && process.exitCode() == 0;
    }
    ~Devsim() {
        if (!stop()) process.kill();
    }
};

// varnel-cli's exit status, with its output for a failure message.
int cli(const QStringList& args, QString* output) {
    QProcess p;
    p.start(QStringLiteral(VARNEL_CLI_EXE), args);
    if (!p.waitForFinished(60000)) {
        p.kill();
        *output = "varnel-cli did not finish: " + args.join(' ');
        return -1;
    }
    *output = args.join(' ') + ":\n" + QString::fromLocal8Bit(p.readAllStandardOutput()) +
              QString::fromLocal8Bit(p.readAllStandardError());
    return p.exitCode();
}

}  // namespace

class TestFilesDevsim : public QObject {
    Q_OBJECT

private slots:
    void deviceToFilesToDevice_data() {
        QTest::addColumn<bool>("strayLists");
        QTest::newRow("list bytes name items") << false;
        QTest::newRow("list bytes name no item") << true;
    }

    void deviceToFilesToDevice() {
        QFETCH(bool, strayLists);
        QTemporaryDir dir;
        QRandomGenerator random(1416 + strayLists);

        // Settings: random text bytes; the factory password to log in with.
        QByteArray image(ImageSize, '\0');
        const RandomPages settingsPages = randomPages(random, strayLists);
        for (int p = 0; p < vdev::SettingsPages; ++p)
            image.replace(p * PageSize, PageSize, toBytes(settingsPages.page[p]));
        image.replace(0, 4, "5729");
        // Numbers: every start and end year byte 0..255 in slots 1..256, the
        // rest empty rows (32 x 0x00, as the tool writes them).
        for (int slot = 0; slot < 256; ++slot) {
            const char rec[] = {'+', '4', '9', '1', '2', '3', 0,  0,  0,  0,  0, 0, 0, 0, 0, 0,
                                0,   0,   0,   0,   0,   0,   12, 31, 23, 59, 1, 1, 0, 0, 0, 0};
            QByteArray r(rec, 32);
            r[30] = char(slot);
            r[31] = char(255 - slot);
            image.replace(kNumbersAt + slot * 32, 32, r);
        }
        // History: every slot an event with random content bytes.
        QList<QByteArray> contents;
        for (int slot = 0; slot < 2 * vdev::HistoryPages; ++slot) {
            QByteArray content(1 + random.bounded(historyrec::ContentMax), '\0');
            for (char& b : content) b = char(random.bounded(0x01, 0xFF));
            testrec::Event e;
            e.number = slot + 1;
            e.content = content;
            contents << content;
            image.replace(kHistoryAt + slot * historyrec::Size, historyrec::Size,
                          testrec::record(e));
        }
        const QString imageA = dir.filePath("a.bin"), imageB = dir.filePath("b.bin");
        QVERIFY(writeAll(imageA, image));

        QString out;
        const QString profile = dir.filePath("profile.xlsx"), list = dir.filePath("list.xlsx"),
                      events = dir.filePath("events.cvs");
        {
            Devsim a;
            QVERIFY(a.start(imageA));
            for (const QStringList& args :
                 {QStringList{"settings", "read", "--port", a.port, "-o", profile},
                  QStringList{"numbers", "read", "--port", a.port, "-o", list},
                  QStringList{"history", "read", "--port", a.port, "-o", events}})
                QVERIFY2(cli(args, &out) == 0, qPrintable(out));
            QVERIFY(a.stop());
        }
        {
            Devsim b;  // a factory device
            QVERIFY(b.start(imageB));
            for (const QStringList& args :
                 {QStringList{"settings", "write", "--port", b.port, "-i", profile},
                  QStringList{"numbers", "write", "--port", b.port, "-i", list}})
                QVERIFY2(cli(args, &out) == 0, qPrintable(out));
            QVERIFY(b.stop());
        }
        const QByteArray written = readAll(imageB);
        QCOMPARE(written.size(), ImageSize);
        for (int p = 0; p < vdev::SettingsPages; ++p)
            QCOMPARE(written.mid(p * PageSize, PageSize).toHex(' '),
                     image.mid(p * PageSize, PageSize).toHex(' '));
        for (int p = 0; p < vdev::NumberPages; ++p)
            QVERIFY2(written.mid(kNumbersAt + p * PageSize, PageSize) ==
                         image.mid(kNumbersAt + p * PageSize, PageSize),
                     qPrintable(QString("number page %1").arg(p + 1)));

        // Each event's line holds its content bytes (quoted where a comma,
        // a quote or a line break asks for it); nothing else is in the file.
        const QByteArray csv = readAll(events);
        qsizetype expectedSize = 0;
        for (int slot = 0; slot < contents.size(); ++slot) {
            QByteArray field = contents[slot];
            if (field.contains(',') || field.contains('"') || field.contains('\r') ||
                field.contains('\n'))
                field = '"' + field.replace("\"", "\"\"") + '"';
            const QByteArray line = "," + QByteArray::number(slot + 1) +
                                    ",2024-03-09,14:05:00,Telephone,Relay ON,+123," + field +
                                    ",,\r\n";
            QVERIFY2(csv.contains(line), qPrintable(QString("event %1").arg(slot + 1)));
            expectedSize += QByteArray::number(slot + 1).size() + line.size();  // + its serial
        }
        QCOMPARE(csv.size(), expectedSize);
    }
};

QTEST_GUILESS_MAIN(TestFilesDevsim)
#include "test_files_devsim.moc"
