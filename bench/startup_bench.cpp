// Start-up: how long a user waits for the window, next to a bare Qt window of
// the same size in the same run. Each is a fresh process, timed from its
// launch until its first frame is on screen (median of 21 each, alternating).
// The bare window is its own small program (startup_bare) that links nothing
// but Qt; the tool is the program itself (varnel-configurator --startup-probe),
// which also says when the pages other than the first are built ("all pages").
// Run under a display (Xvfb) for the figures that count; without one it uses
// offscreen.
#include <algorithm>
#include <cstdio>
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QProcess>

#include "bench_support.h"
#include "ui/main_window.h"

namespace {

// Launches of each program: the bare window's figure varies by a few
// milliseconds from one launch to the next on a loaded machine.
constexpr int Runs = 21;

double median(QVector<double> v) {
    std::sort(v.begin(), v.end());
    return v.isEmpty() ? -1 : v[v.size() / 2];
}

// Milliseconds from starting `program` until it prints each of `marks`.
QVector<double> timeLaunch(const QString& program, const QStringList& args,
                           const QList<QByteArray>& marks) {
    QProcess p;
    p.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    QElapsedTimer t;
    t.start();
    p.start(program, args);
    QVector<double> at(marks.size(), -1);
    QByteArray out;
    if (p.waitForStarted(5000)) {
        while (t.elapsed() < 10000 && at.last() < 0) {
            if (!p.waitForReadyRead(10000 - int(t.elapsed()))) break;
            out += p.readAllStandardOutput();
            for (int i = 0; i < marks.size(); ++i)
                if (at[i] < 0 && out.contains(marks[i])) at[i] = t.nsecsElapsed() / 1e6;
        }
    }
    if (!p.waitForFinished(5000)) p.kill(), p.waitForFinished(1000);
    return at;
}

}  // namespace

int main(int argc, char** argv) {
    bench::offscreenWithoutDisplay();
    QCoreApplication app(argc, argv);
    const QString program = QStringLiteral(VARNEL_TOOL_PATH);
    const QString bare =
        QDir(QCoreApplication::applicationDirPath()).filePath(QStringLiteral("startup_bare"));
    const QStringList bareArgs{QString::number(TForm1::ClientWidth),
                               QString::number(TForm1::ClientHeight)};
    const QStringList toolArgs{QStringLiteral("--startup-probe")};
    QVector<double> bareShown, toolShown, toolComplete;
    // One of each first: the programs and libraries come into the page cache.
    timeLaunch(bare, bareArgs, {"shown"});
    timeLaunch(program, toolArgs, {"shown", "complete"});
    for (int i = 0; i < Runs; ++i) {
        bareShown << timeLaunch(bare, bareArgs, {"shown"})[0];
        const QVector<double> tool = timeLaunch(program, toolArgs, {"shown", "complete"});
        toolShown << tool[0];
        toolComplete << tool[1];
    }
    const double b = median(bareShown), m = median(toolShown);
    std::printf(
        "From launch to window on screen (%s, median of %d): tool %.1f ms, bare Qt window "
        "%.1f ms, %.2f x (target 1.5); all pages built %.1f ms\n",
        qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") ? "xcb"
                                                       : qgetenv("QT_QPA_PLATFORM").constData(),
        Runs, m, b, m / b, median(toolComplete));
    return 0;
}
