// Reads the first worksheet of a legacy .xls file (BIFF records in an OLE
// compound file) through FreeXL, with the same value rules as the .xlsx
// reader: numbers as decimal text, dates "yyyy/MM/dd", times "hh:mm".
//
// This runs only inside the helper program varnel-xls-reader, never in the
// tool itself: FreeXL is not safe on hostile files (fuzzing found crafted
// string records that make it read past a stack buffer while it opens the
// file), so a file that breaks it costs only the helper.

#include "office/xls_worker.h"

#include <freexl.h>

#include <QDataStream>
#include <QFile>

#include "office/cell_text.h"

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
// A date-time at midnight reads as the date alone, as the .xlsx reader does.
QString dateText(const char* text, int type) {
    const QString s = QString::fromUtf8(text);
    if (type == FREEXL_CELL_DATE && s.size() >= 10) return s.left(10).replace(u'-', u'/');
    if (type == FREEXL_CELL_DATETIME && s.size() >= 16) {
        const QString date = s.left(10).replace(u'-', u'/');
        return s.mid(11, 5) == u"00:00" ? date : date + u' ' + s.mid(11, 5);
    }
    if (type == FREEXL_CELL_TIME && s.size() >= 5) return s.left(5);
    return s;
}

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

}  // namespace

QByteArray xlsAnswer(const QString& path, const ReadLimits& limits) {
    Sheet sheet;
    QString error;
    QByteArray out;
    QDataStream stream(&out, QIODevice::WriteOnly);
    stream.setVersion(QDataStream::Qt_6_0);
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

}  // namespace office::detail
