#include <QApplication>
#include <QFont>
#include <QIcon>

#include "ui/main_window.h"

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("varnel-configurator"));
    QApplication::setApplicationVersion(QStringLiteral("1.7.3"));
    // The fixed layout is measured for a narrow 8-point sans face.
    QFont f(QStringLiteral("Liberation Sans"));
    f.setPointSize(8);
    QApplication::setFont(f);
    QApplication::setWindowIcon(QIcon(QStringLiteral(":/varnel-configurator.svg")));
    TForm1 form;
    form.show();
    return app.exec();
}
