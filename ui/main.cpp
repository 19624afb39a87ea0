#include <cstdio>
#include <QApplication>
#include <QCommandLineParser>
#include <QFont>
#include <QIcon>
#include <thread>

#include "ui/main_window.h"

#ifdef __linux__
#include <dlfcn.h>
#endif

namespace {

// Qt reads the system's font configuration (fontconfig) the first time text is
// measured, about 3 ms. Read on a worker, it is ready by the time the display
// connection is made. fontconfig comes with Qt's GUI library on Linux and its
// set-up may run on any thread; where it is not loaded nothing is done.
void readFontConfiguration() {
#ifdef __linux__
    using Init = int (*)();
    if (auto init = reinterpret_cast<Init>(dlsym(RTLD_DEFAULT, "FcInit"))) init();
#endif
}

}  // namespace

int main(int argc, char* argv[]) {
    std::thread fonts(readFontConfiguration);
    QApplication app(argc, argv);
    fonts.join();
    QApplication::setApplicationName(QStringLiteral("varnel-configurator"));
    QApplication::setApplicationVersion(QStringLiteral("1.7.3"));

    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Configuration tool for the Varnel GSM relay controller."));
    parser.addHelpOption();
    parser.addVersionOption();
    const QCommandLineOption port(
        QStringLiteral("port"),
        QStringLiteral("Put PORT (a port name or a device path) in \"COM Port:\" at start."),
        QStringLiteral("PORT"));
    parser.addOption(port);
    // For startup_bench: prints "shown" once the first frame is on screen,
    // then "complete" (or "incomplete") when the other pages are built, and quits.
    QCommandLineOption probe(QStringLiteral("startup-probe"));
    probe.setFlags(QCommandLineOption::HiddenFromHelp);
    parser.addOption(probe);
    parser.process(app);

    // The fixed layout is measured for a narrow 8-point sans face.
    QFont f(QStringLiteral("Liberation Sans"));
    f.setPointSize(8);
    QApplication::setFont(f);
    TForm1 form(nullptr, nullptr, TForm1::PageBuilding::AfterFirstPaint);
    if (parser.isSet(port)) form.preselectPort(parser.value(port));
    if (parser.isSet(probe)) {
        QObject::connect(&form, &TForm1::firstPainted, &form, [&form] {
            std::printf("shown\n");
            std::fflush(stdout);
            QMetaObject::invokeMethod(
                &form,
                [&form] {
                    std::printf(form.pagesComplete() ? "complete\n" : "incomplete\n");
                    std::fflush(stdout);
                    QApplication::quit();
                },
                Qt::QueuedConnection);
        });
    }
    // The icon is drawn from its SVG by a plug-in: not worth holding up the
    // first frame for.
    QObject::connect(&form, &TForm1::firstPainted, &form, [] {
        QApplication::setWindowIcon(QIcon(QStringLiteral(":/varnel-configurator.svg")));
    });
    form.show();
    return app.exec();
}
