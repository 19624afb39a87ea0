// varnel-devsim: the GSM relay controller emulated on a pseudo-terminal.
//
// Prints the slave path on the first line of standard output and answers the
// configuration protocol until SIGINT or SIGTERM. With --memory the device's
// memory is loaded from the image file at start (when the file exists) and
// written back on exit.

#include <csignal>
#include <cstdio>
#include <QCommandLineParser>
#include <QCoreApplication>
#include <QFileInfo>

#include "sim/virtual_device.h"

namespace {

bool parseCount(const QCommandLineParser& p, const QString& name, int* out, QString* error) {
    if (!p.isSet(name)) return true;
    bool ok = false;
    const int v = p.value(name).toInt(&ok);
    if (!ok || v < 0) {
        *error =
            QStringLiteral("--%1 needs a whole number >= 0, not '%2'").arg(name, p.value(name));
        return false;
    }
    *out = v;
    return true;
}

bool parsePair(const QCommandLineParser& p, const QString& name, int* a, int* b, QString* error) {
    if (!p.isSet(name)) return true;
    const QStringList parts = p.value(name).split(QLatin1Char(':'));
    bool ok1 = false, ok2 = false;
    if (parts.size() == 2) {
        *a = parts[0].toInt(&ok1);
        *b = parts[1].toInt(&ok2);
    }
    if (!ok1 || !ok2 || *a < 0 || *b < 0) {
        *error = QStringLiteral("--%1 needs two whole numbers as A:B, not '%2'")
                     .arg(name, p.value(name));
        return false;
    }
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("varnel-devsim"));

    QCommandLineParser p;
    p.setApplicationDescription(QStringLiteral(
        "Virtual GSM relay controller on a pseudo-terminal. Prints the slave path, then\n"
        "answers the configuration protocol (115200 8N1) until SIGINT or SIGTERM.\n"
        "Reply numbers count the valid requests received, from 1."));
    p.addHelpOption();
    const QList<QCommandLineOption> options = {
        {"link", "Also make a symbolic link PATH to the slave (removed on exit).", "PATH"},
        {"memory",
         "Device memory image: loaded at start when it exists, saved on exit "
         "(224512 bytes: settings pages 1-2, number pages 1-375, history pages "
         "1-500, 256 bytes each, in that order).",
         "FILE"},
        {"sample-history", "Fill the history log with sample events."},
        {"sample-count", "Number of sample events (default 120, at most 1000).", "N"},
        {"seed", "Seed of the sample events (default 1).", "N"},
        {"paced",
         "Keep 115200 baud timing: a request is complete 86.8 us per byte after its "
         "first byte, and reply bytes leave at that rate."},
        {"silent", "Never answer."},
        {"silent-after", "Answer the first N requests, then nothing.", "N"},
        {"bad-checksum", "Send reply N with a wrong checksum.", "N"},
        {"refuse-writes", "Refuse every write block (answer 00, store nothing)."},
        {"refuse-reply", "Refuse request N when it is a write or a command (answer 00).", "N"},
        {"cut-reply", "Stop reply N after K bytes.", "N:K"},
        {"garbage", "Send these bytes (hexadecimal) before replies.", "HEX"},
        {"garbage-reply", "Only before reply N (default: before every reply).", "N"},
        {"chunks", "Send replies in chunks of SIZE bytes, MS milliseconds apart.", "SIZE:MS"},
        {"corrupt-store", "Acknowledge writes but store the block with its first byte altered."},
        {"fault",
         "What happens to the replies numbered N,M,... (repeatable). KIND is one of: " +
             vdev::replyFaultNames().join(", ") +
             ". Example: --fault bad-checksum@5,6 --fault late@40.",
         "KIND@N[,N...]"},
        {"late-ms", "How long a 'late' reply is held back (default 3500).", "MS"},
    };
    p.addOptions(options);
    p.process(app);

    vdev::Faults f;
    QString error;
    int sampleCount = 120, seed = 1, chunkSize = 0, chunkMs = 0;
    f.silent = p.isSet("silent");
    f.refuseWrites = p.isSet("refuse-writes");
    f.corruptStore = p.isSet("corrupt-store");
    f.paced = p.isSet("paced");
    bool ok = parseCount(p, "sample-count", &sampleCount, &error) &&
              parseCount(p, "seed", &seed, &error) &&
              parseCount(p, "silent-after", &f.silentAfter, &error) &&
              parseCount(p, "bad-checksum", &f.badChecksumReply, &error) &&
              parseCount(p, "refuse-reply", &f.refuseReply, &error) &&
              parsePair(p, "cut-reply", &f.cutReply, &f.cutAfter, &error) &&
              parseCount(p, "garbage-reply", &f.garbageReply, &error) &&
              parsePair(p, "chunks", &chunkSize, &chunkMs, &error);
    if (ok && p.isSet("garbage")) {
        const QByteArray hex = p.value("garbage").toLatin1();
        f.garbage = QByteArray::fromHex(hex);
        if (f.garbage.isEmpty() || f.garbage.toHex() != hex.toLower()) {
            error = QStringLiteral("--garbage needs hexadecimal bytes such as 00ff23, not '%1'")
                        .arg(p.value("garbage"));
            ok = false;
        }
    }
    f.chunkSize = chunkSize;
    f.chunkDelayMs = chunkMs;
    if (ok) ok = parseCount(p, "late-ms", &f.lateMs, &error);
    for (const QString& spec : p.values("fault")) {
        if (!ok) break;
        const QString kind = spec.section(QLatin1Char('@'), 0, 0);
        const auto fault = vdev::replyFaultNamed(kind);
        const QStringList numbers =
            spec.section(QLatin1Char('@'), 1).split(QLatin1Char(','), Qt::SkipEmptyParts);
        ok = fault && !numbers.isEmpty();
        for (const QString& n : numbers) {
            bool isNumber = false;
            const int reply = n.toInt(&isNumber);
            ok = ok && isNumber && reply > 0;
            if (ok) f.onReply.insert(reply, *fault);
        }
        if (!ok)
            error = QStringLiteral("--fault needs KIND@N[,N...] with KIND one of %1, not '%2'")
                        .arg(vdev::replyFaultNames().join(", "), spec);
    }
    if (!ok) {
        std::fprintf(stderr, "varnel-devsim: %s\n", qPrintable(error));
        return 2;
    }

    vdev::VirtualDevice device;
    const QString memoryFile = p.value("memory");
    if (!memoryFile.isEmpty() && QFileInfo::exists(memoryFile) &&
        !device.loadImage(memoryFile, &error)) {
        std::fprintf(stderr, "varnel-devsim: %s\n", qPrintable(error));
        return 1;
    }
    if (p.isSet("sample-history")) device.fillSampleHistory(sampleCount, quint32(seed));
    device.setFaults(f);

    // Block the stop signals before the device thread starts, so that it
    // inherits the mask and only sigwait() below receives them.
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGINT);
    sigaddset(&stopSignals, SIGTERM);
    sigaddset(&stopSignals, SIGHUP);
    pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);

    const QString slave = device.start(p.value("link"), &error);
    if (slave.isEmpty()) {
        std::fprintf(stderr, "varnel-devsim: %s\n", qPrintable(error));
        return 1;
    }
    std::printf("%s\n", qPrintable(slave));
    std::fflush(stdout);
    if (p.isSet("link"))
        std::fprintf(stderr, "varnel-devsim: %s -> %s\n", qPrintable(p.value("link")),
                     qPrintable(slave));

    int sig = 0;
    sigwait(&stopSignals, &sig);
    device.stop();

    std::fprintf(stderr, "varnel-devsim: %d requests (%d invalid), %d replies\n",
                 device.totalRequests(), device.invalidRequests(), device.repliesSent());
    if (!memoryFile.isEmpty() && !device.saveImage(memoryFile, &error)) {
        std::fprintf(stderr, "varnel-devsim: %s\n", qPrintable(error));
        return 1;
    }
    return 0;
}
