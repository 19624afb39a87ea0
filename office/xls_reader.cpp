// Legacy .xls files are read by the helper program varnel-xls-reader, built
// and installed beside the tool, in a process of its own: the library that
// reads them is not safe on hostile files. A helper that crashes, hangs or
// says too much costs only an error message. The helper is found next to the
// running program, or where the build put it.

#include <QCoreApplication>
#include <QDataStream>
#include <QDeadlineTimer>
#include <QDir>
#include <QFileInfo>
#include <QProcess>

#include "office/readers.h"
#include "office/xls_worker.h"

namespace office::detail {
namespace {

// How long the helper may take over one file.
constexpr int kHelperMillis = 20000;

QString helperPath() {
    QString name = QString::fromLatin1(kXlsHelperName);
#ifdef Q_OS_WIN
    name += QStringLiteral(".exe");
#endif
    if (QCoreApplication::instance()) {
        const QString beside = QDir(QCoreApplication::applicationDirPath()).filePath(name);
        if (QFileInfo(beside).isExecutable()) return beside;
    }
#ifdef VARNEL_XLS_HELPER_BUILD_PATH
    if (QFileInfo(QStringLiteral(VARNEL_XLS_HELPER_BUILD_PATH)).isExecutable())
        return QStringLiteral(VARNEL_XLS_HELPER_BUILD_PATH);
#endif
    return {};
}

}  // namespace

bool readXls(const QString& path, const ReadLimits& limits, Sheet* sheet, QString* error) {
    const QString damaged = QStringLiteral("it is damaged (the legacy .xls reader stopped on it)");
    const QString helper = helperPath();
    if (helper.isEmpty()) {
        *error = QStringLiteral("the legacy .xls reader (%1) is not installed beside this program")
                     .arg(QString::fromLatin1(kXlsHelperName));
        return false;
    }
    QProcess process;
    process.setProcessChannelMode(QProcess::SeparateChannels);
    process.setStandardErrorFile(QProcess::nullDevice());
    process.start(helper,
                  {QDir::toNativeSeparators(path), QString::number(limits.maxRows),
                   QString::number(limits.maxColumns), QString::number(limits.maxCellChars)});
    if (!process.waitForStarted(kHelperMillis)) {
        *error = QStringLiteral("the legacy .xls reader could not be started");
        return false;
    }
    process.closeWriteChannel();

    // Collect the answer within a time and a size limit.
    QByteArray answer;
    bool overrun = false, timedOut = false;
    const QDeadlineTimer deadline(kHelperMillis);
    for (;;) {
        answer += process.readAllStandardOutput();
        if (answer.size() > limits.maxInflatedBytes) {
            overrun = true;
            break;
        }
        if (process.state() == QProcess::NotRunning) break;
        if (deadline.hasExpired()) {
            timedOut = true;
            break;
        }
        process.waitForReadyRead(
            int(std::max<qint64>(1, std::min<qint64>(deadline.remainingTime(), 100))));
    }
    if (timedOut || overrun) {
        process.kill();
        process.waitForFinished(5000);
    } else {
        process.waitForFinished(int(std::max<qint64>(1, deadline.remainingTime())));
        answer += process.readAllStandardOutput();
    }
    if (timedOut) {
        *error = QStringLiteral("reading it took too long");
        return false;
    }
    if (overrun || answer.size() > limits.maxInflatedBytes) {
        *error = QStringLiteral("it holds more than %1 MiB of cell text")
                     .arg(limits.maxInflatedBytes >> 20);
        return false;
    }
    if (process.exitStatus() != QProcess::NormalExit || process.exitCode() != 0) {
        *error = damaged;
        return false;
    }

    QDataStream stream(answer);
    stream.setVersion(QDataStream::Qt_6_0);
    quint8 ok = 0;
    stream >> ok;
    if (ok == 0) {
        stream >> *error;
        if (stream.status() != QDataStream::Ok || error->isEmpty()) *error = damaged;
        return false;
    }
    quint32 count = 0;
    stream >> count;
    for (quint32 i = 0; i < count && stream.status() == QDataStream::Ok; ++i) {
        qint32 row = 0, column = 0;
        quint8 kind = 0;
        StoredCell cell;
        stream >> row >> column >> kind >> cell.value.number >> cell.value.text;
        if (row < 1 || row > limits.maxRows || column < 1 || column > limits.maxColumns ||
            kind > quint8(CellKind::Date)) {
            stream.setStatus(QDataStream::ReadCorruptData);
            break;
        }
        cell.value.kind = CellKind(kind);
        sheet->at(row, column) = cell;
    }
    if (stream.status() != QDataStream::Ok) {
        sheet->clear();
        *error = damaged;
        return false;
    }
    return true;
}

}  // namespace office::detail
