// What the safeguards cost a transfer (prints figures; not a test).
//
// A full number list read over the real serial link against the unpaced
// virtual device, alternately with the traffic record and the snapshot off
// and on, several times each; prints the median times and their ratio.
// Target: snapshot and traffic view on within 2 % of both off.
//
// Usage: safety_bench [rounds]

#include <algorithm>
#include <cstdio>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>

#include "app/session.h"
#include "app/snapshots.h"
#include "bench/bench_support.h"
#include "link/tcomm.h"
#include "sim/virtual_device.h"

namespace {

double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const int rounds = argc > 1 ? std::max(1, atoi(argv[1])) : 7;
    vdev::VirtualDevice device;
    device.fillSampleHistory(0);
    const QString path = device.start();
    if (path.isEmpty()) {
        std::fprintf(stderr, "virtual device did not start\n");
        return 1;
    }
    QTemporaryDir dir;
    bench::SilentPrompts prompts;
    DeviceSession s(prompts);
    s.ConfigDir = dir.path() + "/";
    SnapshotKeeper keeper(s);
    TComm comm;
    if (!bench::connectSession(comm, s, path)) {
        std::fprintf(stderr, "cannot open %s\n", qPrintable(path));
        return 1;
    }

    std::vector<double> snapshotMs;
    auto readOnce = [&](bool traffic, bool snapshot) {
        s.traffic.enabled = traffic;
        keeper.enabled = snapshot;
        bool done = false;
        double ms = 0;
        QElapsedTimer t;
        // The read has ended when its last reply has been handled.
        auto c =
            QObject::connect(&s.link, &DeviceLink::transferFinished, [&](Tsend_rec_command*, bool) {
                ms = double(t.nsecsElapsed()) / 1e6;
                done = true;
            });
        t.start();
        s.telephoneSend.startRead(375);
        while (!done) QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 5);
        QObject::disconnect(c);
        keeper.waitForWrites();
        if (snapshot) snapshotMs.push_back(double(t.nsecsElapsed()) / 1e6 - ms);
        QCoreApplication::processEvents();
        s.traffic.clear();
        return ms;
    };

    readOnce(false, false);  // warm up
    std::vector<double> off, on, trafficOnly, snapshotOnly;
    for (int i = 0; i < rounds; ++i) {
        off.push_back(readOnce(false, false));
        on.push_back(readOnce(true, true));
        trafficOnly.push_back(readOnce(true, false));
        snapshotOnly.push_back(readOnce(false, true));
    }
    const double a = median(off), b = median(on);
    std::printf("number list read, 375 pages, unpaced virtual device, %d rounds\n", rounds);
    std::printf("  safeguards off: median %.1f ms\n", a);
    std::printf("  traffic record only: median %.1f ms\n", median(trafficOnly));
    std::printf("  snapshot only: median %.1f ms\n", median(snapshotOnly));
    std::printf("  traffic record + snapshot on: median %.1f ms\n", b);
    std::printf("  ratio on/off: %.3f (target at most 1.02)\n", b / a);
    std::printf("  snapshot written after the read ended, within: median %.1f ms\n",
                median(snapshotMs));
    return 0;
}
