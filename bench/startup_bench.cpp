// Start-up: how long the main window takes to be on screen, next to a bare
// Qt window of the same size in the same run (median of 9 each). Run under a
// display (Xvfb) for the figure that counts; without one it uses offscreen.
#include <algorithm>
#include <cstdio>
#include <QApplication>
#include <QElapsedTimer>
#include <QTest>
#include <QWidget>

#include "bench_support.h"
#include "ui/main_window.h"

namespace {

double median(QVector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

// Milliseconds from construction until the window is exposed and painted.
template <typename Make>
double timeToShow(Make make) {
    QElapsedTimer t;
    t.start();
    auto w = make();
    w->show();
    if (!QTest::qWaitForWindowExposed(w.get(), 5000)) return -1;
    QApplication::processEvents();
    const double ms = t.nsecsElapsed() / 1e6;
    w.reset();
    QApplication::processEvents();
    return ms;
}

}  // namespace

int main(int argc, char** argv) {
    bench::offscreenWithoutDisplay();
    QApplication app(argc, argv);
    const QSize size(TForm1::ClientWidth, TForm1::ClientHeight);
    QVector<double> bare, tool;
    // One of each first: fonts, styles and plugins load once per process.
    timeToShow([&] {
        auto w = std::make_unique<QWidget>();
        w->setFixedSize(size);
        return w;
    });
    timeToShow([] { return std::make_unique<TForm1>(); });
    for (int i = 0; i < 9; ++i) {
        bare << timeToShow([&] {
            auto w = std::make_unique<QWidget>();
            w->setFixedSize(size);
            return w;
        });
        tool << timeToShow([] { return std::make_unique<TForm1>(); });
    }
    const double b = median(bare), m = median(tool);
    std::printf("Window on screen (%s, median of 9): tool %.1f ms, bare Qt window %.1f ms, %.2f x "
                "(target 1.5)\n",
                qPrintable(QGuiApplication::platformName()), m, b, m / b);
    return 0;
}
