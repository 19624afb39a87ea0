// The reference for startup_bench: a bare Qt window of the tool's size, from
// launch until it is on screen. Links nothing but Qt Widgets (and Qt Test for
// the wait). Arguments: width height.
#include <cstdio>
#include <QApplication>
#include <QStringList>
#include <QWidget>
#include <QTest>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QWidget w;
    const QStringList args = app.arguments();
    if (args.size() < 3) return 2;
    w.setFixedSize(args[1].toInt(), args[2].toInt());
    w.show();
    if (!QTest::qWaitForWindowExposed(&w, 5000)) return 1;
    QApplication::processEvents();
    std::printf("shown\n");
    std::fflush(stdout);
    return 0;
}
