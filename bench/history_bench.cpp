// History read figures (prints numbers; not a test).
//
//  1. Tool time per page, unpaced: 500 prepared reply frames fed byte by byte
//     into the session, each answering the request the previous one caused,
//     through the dispatcher, the decoding into the grid and, after the last
//     page, the compaction. Target: 0.5 ms per page.
//  2. The filter over a full 1000-row grid with its status texts shown.
//  3. Over a real serial link against the virtual device: a full read
//     unpaced, and paced at 115200 baud as a ratio to the wire floor
//     (500 pages x 274 bytes x 10 bits / 115200 = 11.89 s). Target: 1.03.
//
// Usage: history_bench [--no-paced]

#include <cstdio>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>

#include "app/session.h"
#include "bench/bench_support.h"
#include "history/history_inf.h"
#include "link/byte_sink.h"
#include "link/tcomm.h"
#include "sim/virtual_device.h"

namespace {

using bench::frame;
using bench::LastRequest;
using bench::SilentPrompts;

// A log of `count` events in slots 1..count, the rest erased.
QByteArray sampleLog(int count) {
    QByteArray log(1000 * 128, char(0xFF));
    for (int i = 0; i < count; ++i) {
        QByteArray r(128, '\0');
        const quint32 n = quint32(i + 1);
        for (int b = 0; b < 4; ++b) r[b] = char(n >> (8 * b));
        const char stamp[] = {char(20 + i % 5), char(1 + i % 12),   char(1 + i % 28), char(i % 24),
                              char(i % 60),     char((i * 7) % 60), char(3),          char(2)};
        r.replace(4, 8, QByteArray(stamp, 8));
        const QByteArray executant = "+8613900001111";
        const QByteArray content = "Relay ON by the main door";
        r.replace(12, executant.size(), executant);
        r.replace(34, content.size(), content);
        log.replace(i * 128, 128, r);
    }
    return log;
}

double unpacedToolTime(int events, int rounds) {
    const QByteArray log = sampleLog(events);
    QList<QByteArray> replies;
    for (int p = 1; p <= 500; ++p)
        replies << frame(0x83, 0x30000 + (p - 1) * 0x100, log.mid((p - 1) * 256, 256));

    double best = 1e9;
    for (int round = 0; round < rounds; ++round) {
        SilentPrompts prompts;
        DeviceSession session(prompts);
        LastRequest sink;
        session.link.port = &sink;
        QElapsedTimer t;
        t.start();
        session.historyInf.ReadAll();
        for (int p = 0; p < 500; ++p)
            for (char c : replies[p]) session.link.cm1ReceiveData(quint8(c));
        const double ms = t.nsecsElapsed() / 1e6;
        if (sink.count != 500 || session.history.text(1, events) != QString::number(events) ||
            !session.history.text(1, events + 1).isEmpty()) {
            std::printf("  (unexpected result: %d requests)\n", sink.count);
            return -1;
        }
        best = qMin(best, ms);
    }
    return best;
}

double filterTime(int rounds, int* kept) {
    double best = 1e9;
    for (int round = 0; round < rounds; ++round) {
        SilentPrompts prompts;
        DeviceSession session(prompts);
        const QByteArray log = sampleLog(1000);
        QVector<QStringList> rows;
        for (int s = 0; s < 1000; ++s)
            rows << historyrec::decode(reinterpret_cast<const quint8*>(log.constData()) + s * 128);
        session.history.setRows(1, rows, 1);
        QElapsedTimer t;
        t.start();
        session.historyInf.FilterRows(
            {QDate(2021, 6, 1), QTime(0, 0), QDate(2023, 6, 1), QTime(12, 0)});
        best = qMin(best, t.nsecsElapsed() / 1e6);
        int n = 0;
        while (n < 1000 && !session.history.text(1, n + 1).isEmpty()) ++n;
        *kept = n;
    }
    return best;
}

// A full read from the virtual device; seconds, or -1.
double deviceRead(bool paced) {
    SilentPrompts prompts;
    DeviceSession session(prompts);
    vdev::VirtualDevice device;
    device.fillSampleHistory(300, 11);
    vdev::Faults f;
    f.paced = paced;
    device.setFaults(f);
    const QString path = device.start();
    if (path.isEmpty()) return -1;
    TComm comm;
    if (!bench::connectSession(comm, session, path)) return -1;

    // Done when the reply of page 500 has been handled (PageNext is already
    // 501 once its request has gone out). The loop is the real event loop,
    // sleeping until the port has bytes: a busy loop here would take the CPU
    // the device's pacing thread needs.
    QEventLoop loop;
    int replies = 0;
    QElapsedTimer clock;
    clock.start();
    qint64 lastSent = 0, lastReply = 0, waitNs = 0, reactNs = 0;
    QObject::connect(&session.link, &DeviceLink::requestSent, &loop, [&] {
        lastSent = clock.nsecsElapsed();
        if (lastReply) reactNs += lastSent - lastReply;
    });
    QObject::connect(&session.link, &DeviceLink::replyReceived, &loop, [&] {
        lastReply = clock.nsecsElapsed();
        waitNs += lastReply - lastSent;
        if (++replies == 500)
            QTimer::singleShot(0, &loop, &QEventLoop::quit);  // after its decoding
    });
    QTimer limit;
    QObject::connect(&limit, &QTimer::timeout, &loop, [&] {
        if (!prompts.shown.isEmpty()) loop.quit();
    });
    limit.start(100);
    QTimer::singleShot(60000, &loop, &QEventLoop::quit);
    QElapsedTimer t;
    t.start();
    session.historyInf.ReadAll();
    loop.exec();
    const double s = t.nsecsElapsed() / 1e9;
    comm.ClosePort();
    device.stop();
    if (replies != 500 || !prompts.shown.isEmpty()) return -1;
    std::printf(
        "    per page: request to complete reply %.3f ms (wire %.3f ms), reply to next request "
        "%.3f ms\n",
        waitNs / 500 / 1e6, 274 * 10 / 115200.0 * 1000, reactNs / 499 / 1e6);
    return s;
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const bool paced = !app.arguments().contains(QStringLiteral("--no-paced"));
    const double wireFloor = 500.0 * 274 * 10 / 115200;

    std::printf("History read, tool time (500 pages fed in memory, best of 5):\n");
    for (int events : {40, 1000}) {
        const double ms = unpacedToolTime(events, 5);
        std::printf("  %4d events: %8.2f ms total, %6.3f ms per page (target 0.5)\n", events, ms,
                    ms / 500);
    }

    int kept = 0;
    const double f = filterTime(5, &kept);
    std::printf("History filter over 1000 rows (status texts shown): %.2f ms, %d rows kept\n", f,
                kept);

    const double unpacedS = deviceRead(false);
    if (unpacedS < 0)
        std::printf("Virtual device, unpaced: failed\n");
    else
        std::printf("Virtual device, unpaced: %.3f s, %.3f ms per page round trip\n", unpacedS,
                    unpacedS * 1000 / 500);

    if (paced) {
        const double s = deviceRead(true);
        if (s < 0)
            std::printf("Virtual device, paced: failed\n");
        else
            std::printf(
                "Virtual device, paced at 115200 baud: %.3f s, %.4f x wire floor %.2f s (target "
                "1.03)\n",
                s, s / wireFloor, wireFloor);
    }
    return 0;
}
