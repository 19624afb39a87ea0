// varnel-xls-reader: reads one legacy .xls file for the tool in a process of
// its own (see office/xls_worker.h for the arguments and the answer).
#include <cstdio>
#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#endif
#include <QCoreApplication>
#include <QStringList>

#include "office/xls_worker.h"

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const QStringList args = QCoreApplication::arguments();
    office::ReadLimits limits;
    bool ok = args.size() == 5;
    if (ok) {
        bool a = false, b = false, c = false;
        limits.maxRows = args[2].toInt(&a);
        limits.maxColumns = args[3].toInt(&b);
        limits.maxCellChars = args[4].toInt(&c);
        ok = a && b && c && limits.maxRows > 0 && limits.maxColumns > 0 && limits.maxCellChars > 0;
    }
    if (!ok) {
        std::fprintf(stderr, "usage: %s FILE MAX_ROWS MAX_COLUMNS MAX_CELL_CHARS\n",
                     office::detail::kXlsHelperName);
        return 2;
    }
#ifdef _WIN32
    _setmode(_fileno(stdout), _O_BINARY);  // the answer is binary
#endif
    const QByteArray answer = office::detail::xlsAnswer(args[1], limits);
    return std::fwrite(answer.constData(), 1, size_t(answer.size()), stdout) ==
                       size_t(answer.size()) &&
                   std::fflush(stdout) == 0
               ? 0
               : 1;
}
