#include <QApplication>
#include <QCommandLineParser>
#include <QFont>
#include <QIcon>

#include "ui/main_window.h"

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
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
    parser.process(app);

    // The fixed layout is measured for a narrow 8-point sans face.
    QFont f(QStringLiteral("Liberation Sans"));
    f.setPointSize(8);
    QApplication::setFont(f);
    QApplication::setWindowIcon(QIcon(QStringLiteral(":/varnel-configurator.svg")));
    TForm1 form(nullptr, nullptr, TForm1::PageBuilding::AfterFirstPaint);
    if (parser.isSet(port)) form.preselectPort(parser.value(port));
    form.show();
    return app.exec();
}
