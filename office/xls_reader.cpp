// Reads the first worksheet of a legacy .xls file (BIFF records in an OLE
// compound file) through FreeXL, with the same value rules as the .xlsx
// reader: numbers as decimal text, dates "yyyy/MM/dd", times "hh:mm".
//
// FreeXL is not safe on hostile files: fuzzing found crafted string records
// that make it read past a stack buffer while it opens the file. So FreeXL
// runs in a forked child process that hands the cells back through a pipe;
// a child that crashes, hangs or says too much costs only an error message.

#include <fcntl.h>
#include <freexl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <QDataStream>
#include <QElapsedTimer>
#include <QFile>

#include "office/cell_text.h"
#include "office/readers.h"

namespace office::detail {
namespace {

QString freexlReason(int code) {
    switch (code) {
        case FREEXL_FILE_NOT_FOUND:
            return QStringLiteral("the file cannot be opened");
        case FREEXL_INSUFFICIENT_MEMORY:
            return QStringLiteral("it is too large to read");
        case FREEXL_INVALID_CHARACTER:
        case FREEXL_UNSUPPORTED_CHARSET:
            return QStringLiteral("its texts are in an unknown encoding");
        case FREEXL_BIFF_WORKBOOK_NOT_FOUND:
            return QStringLiteral("the file holds no workbook");
        case FREEXL_BIFF_ILLEGAL_SHEET_INDEX:
        case FREEXL_BIFF_UNSELECTED_SHEET:
            return QStringLiteral("it has no worksheet");
        default:
            return QStringLiteral("it is damaged (legacy .xls format, code %1)").arg(code);
    }
}

// FreeXL gives dates as "YYYY-MM-DD", date-times as "YYYY-MM-DD HH:MM:SS"
// and times as "HH:MM:SS".
QString dateText(const char* text, int type) {
    const QString s = QString::fromUtf8(text);
    if (type == FREEXL_CELL_DATE && s.size() >= 10) return s.left(10).replace(u'-', u'/');
    if (type == FREEXL_CELL_DATETIME && s.size() >= 16)
        return s.left(10).replace(u'-', u'/') + u' ' + s.mid(11, 5);
    if (type == FREEXL_CELL_TIME && s.size() >= 5) return s.left(5);
    return s;
}

}  // namespace

namespace {

bool readXlsHere(const QString& path, const ReadLimits& limits, Sheet* sheet, QString* error) {
    const void* handle = nullptr;
    const QByteArray native = QFile::encodeName(path);
    int rc = freexl_open(native.constData(), &handle);
    if (rc != FREEXL_OK) {
        if (handle) freexl_close(handle);
        *error = freexlReason(rc);
        return false;
    }
    struct Closer {
        const void* h;
        ~Closer() { freexl_close(h); }
    } closer{handle};

    unsigned int info = 0;
    if (freexl_get_info(handle, FREEXL_BIFF_PASSWORD, &info) == FREEXL_OK &&
        info == FREEXL_BIFF_OBFUSCATED) {
        *error = QStringLiteral("it is protected by a password");
        return false;
    }
    // FreeXL applies the workbook's date system (1900 or 1904) itself.
    if ((rc = freexl_select_active_worksheet(handle, 0)) != FREEXL_OK) {
        *error = freexlReason(rc);
        return false;
    }
    unsigned int rows = 0;
    unsigned short columns = 0;
    if ((rc = freexl_worksheet_dimensions(handle, &rows, &columns)) != FREEXL_OK) {
        *error = freexlReason(rc);
        return false;
    }
    const unsigned int lastRow = std::min<unsigned int>(rows, unsigned(limits.maxRows));
    const unsigned int lastColumn = std::min<unsigned int>(columns, unsigned(limits.maxColumns));
    for (unsigned int r = 0; r < lastRow; ++r) {
        for (unsigned int c = 0; c < lastColumn; ++c) {
            FreeXL_CellValue cell;
            if ((rc = freexl_get_cell_value(handle, r, (unsigned short)c, &cell)) != FREEXL_OK) {
                *error = freexlReason(rc);
                return false;
            }
            CellValue value;
            switch (cell.type) {
                case FREEXL_CELL_INT:
                    value = {CellKind::Number, QString::number(cell.value.int_value),
                             double(cell.value.int_value)};
                    break;
                case FREEXL_CELL_DOUBLE:
                    value = {CellKind::Number, numberText(cell.value.double_value),
                             cell.value.double_value};
                    break;
                case FREEXL_CELL_TEXT:
                case FREEXL_CELL_SST_TEXT: {
                    QString text = QString::fromUtf8(cell.value.text_value);
                    if (text.size() > limits.maxCellChars) {
                        *error = QStringLiteral("cell %1 holds more than %2 characters")
                                     .arg(cellName(int(r) + 1, int(c) + 1))
                                     .arg(limits.maxCellChars);
                        return false;
                    }
                    value = {CellKind::String, text, 0};
                    break;
                }
                case FREEXL_CELL_DATE:
                case FREEXL_CELL_DATETIME:
                case FREEXL_CELL_TIME:
                    value = {CellKind::Date, dateText(cell.value.text_value, cell.type), 0};
                    break;
                default:  // FREEXL_CELL_NULL
                    continue;
            }
            sheet->at(int(r) + 1, int(c) + 1) = StoredCell{value, false};
        }
    }
    return true;
}

// How long a child may take over one file, and how much it may send.
constexpr int kChildMillis = 20000;

bool writeAll(int fd, const QByteArray& bytes) {
    qsizetype done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.constData() + done, size_t(bytes.size() - done));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        done += n;
    }
    return true;
}

// The child's answer: ok flag, then the error text or the cells.
QByteArray runChild(const QString& path, const ReadLimits& limits) {
    Sheet sheet;
    QString error;
    QByteArray out;
    QDataStream stream(&out, QIODevice::WriteOnly);
    if (!readXlsHere(path, limits, &sheet, &error)) {
        stream << quint8(0) << error;
        return out;
    }
    stream << quint8(1) << quint32(sheet.cells.size());
    for (const auto& [key, cell] : sheet.cells)
        stream << qint32(Sheet::rowOf(key)) << qint32(Sheet::columnOf(key))
               << quint8(cell.value.kind) << cell.value.number << cell.value.text;
    return out;
}

}  // namespace

bool readXls(const QString& path, const ReadLimits& limits, Sheet* sheet, QString* error) {
    const QString damaged = QStringLiteral("it is damaged (the legacy .xls reader stopped on it)");
    int fds[2];
    if (::pipe2(fds, O_CLOEXEC) != 0) {
        *error = QStringLiteral("no reader process could be started");
        return false;
    }
    const pid_t child = ::fork();
    if (child < 0) {
        ::close(fds[0]);
        ::close(fds[1]);
        *error = QStringLiteral("no reader process could be started");
        return false;
    }
    if (child == 0) {
        ::close(fds[0]);
        const bool sent = writeAll(fds[1], runChild(path, limits));
        ::_exit(sent ? 0 : 1);
    }
    ::close(fds[1]);

    // Collect the answer within a time and a size limit.
    QByteArray answer;
    bool overrun = false, timedOut = false;
    QElapsedTimer clock;
    clock.start();
    char chunk[65536];
    for (;;) {
        const qint64 left = kChildMillis - clock.elapsed();
        if (left <= 0) {
            timedOut = true;
            break;
        }
        pollfd p{fds[0], POLLIN, 0};
        const int ready = ::poll(&p, 1, int(left));
        if (ready < 0 && errno == EINTR) continue;
        if (ready <= 0) {
            timedOut = ready == 0;
            break;
        }
        const ssize_t n = ::read(fds[0], chunk, sizeof chunk);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        answer.append(chunk, n);
        if (answer.size() > limits.maxInflatedBytes) {
            overrun = true;
            break;
        }
    }
    ::close(fds[0]);
    if (timedOut || overrun) ::kill(child, SIGKILL);
    int status = 0;
    while (::waitpid(child, &status, 0) < 0 && errno == EINTR) {
    }
    if (timedOut) {
        *error = QStringLiteral("reading it took too long");
        return false;
    }
    if (overrun) {
        *error = QStringLiteral("it holds more than %1 MiB of cell text")
                     .arg(limits.maxInflatedBytes >> 20);
        return false;
    }
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        *error = damaged;
        return false;
    }

    QDataStream stream(answer);
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
            kind > quint8(CellKind::Date))
            break;
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
