#include <unistd.h>

#include <cstdio>
#include <iostream>
#include <QCoreApplication>
#include <string>

#include "cli/cli.h"

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("varnel-cli"));
    QCoreApplication::setApplicationVersion(QStringLiteral("1.7.3"));
    QTextStream out(stdout);
    QTextStream err(stderr);
    cli::Io io{out, err, ::isatty(STDERR_FILENO) != 0, {}};
    if (::isatty(STDIN_FILENO)) {
        io.ask = [&err](const QString& question) {
            err << question << " [y/N] " << Qt::flush;
            std::string answer;
            if (!std::getline(std::cin, answer)) return false;
            return answer == "y" || answer == "Y" || answer == "yes";
        };
    }
    QStringList args = app.arguments();
    args.removeFirst();
    const int status = cli::run(args, io);
    out.flush();
    err.flush();
    return status;
}
