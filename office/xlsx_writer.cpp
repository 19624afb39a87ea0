// Writes a Sheet as an .xlsx file through libxlsxwriter.
//
// Every text is written as a string cell with the number format "@", so a
// spreadsheet keeps it exactly as typed: "0012", "+8613800138000",
// "2024/05/17" and "=1+1" stay texts. Nothing is ever written as a formula.

#include <dlfcn.h>
#include <xlsxwriter.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QStringEncoder>
#include <type_traits>
#include <vector>

#include "office/cell_text.h"
#include "office/readers.h"

namespace office::detail {
namespace {

QString temporaryNameBeside(const QString& path) {
    const QFileInfo target(path);
    for (;;) {
        const QString name = target.dir().filePath(
            QStringLiteral(".%1.%2.tmp")
                .arg(target.fileName())
                .arg(QRandomGenerator::global()->generate(), 8, 16, QLatin1Char('0')));
        if (!QFileInfo::exists(name)) return name;
    }
}

// libxlsxwriter, loaded into a link namespace of its own. It packs its
// archives through the system minizip, whose C names QuaZip exports too with
// another structure layout; sharing one namespace, one of the two would call
// into the other and crash. In its own namespace it sees only its minizip.
struct XlsxWriterLibrary {
    decltype(&workbook_new_opt) workbookNew = nullptr;
    decltype(&workbook_add_worksheet) addWorksheet = nullptr;
    decltype(&workbook_add_format) addFormat = nullptr;
    decltype(&format_set_num_format) setNumFormat = nullptr;
    decltype(&worksheet_set_column) setColumn = nullptr;
    decltype(&worksheet_write_string) writeString = nullptr;
    decltype(&worksheet_write_blank) writeBlank = nullptr;
    decltype(&workbook_close) close = nullptr;
    decltype(&lxw_strerror) strerror = nullptr;
    QString failure;

    XlsxWriterLibrary() {
        void* h = dlmopen(LM_ID_NEWLM, VARNEL_XLSXWRITER_PATH, RTLD_NOW | RTLD_LOCAL);
        if (!h) {
            failure = QString::fromLocal8Bit(dlerror());
            return;
        }
        bool ok = true;
        auto bind = [&](auto& fn, const char* name) {
            fn = reinterpret_cast<std::remove_reference_t<decltype(fn)>>(dlsym(h, name));
            ok = ok && fn;
        };
        bind(workbookNew, "workbook_new_opt");
        bind(addWorksheet, "workbook_add_worksheet");
        bind(addFormat, "workbook_add_format");
        bind(setNumFormat, "format_set_num_format");
        bind(setColumn, "worksheet_set_column");
        bind(writeString, "worksheet_write_string");
        bind(writeBlank, "worksheet_write_blank");
        bind(close, "workbook_close");
        bind(strerror, "lxw_strerror");
        if (!ok) failure = QStringLiteral("libxlsxwriter lacks a function this program needs");
        // The namespace stays loaded for the life of the process.
    }
};

const XlsxWriterLibrary& xlsxWriter() {
    static const XlsxWriterLibrary library;
    return library;
}

}  // namespace

bool writeXlsx(const Sheet& sheet, const QString& path, QString* error) {
    // Refuse what cannot be stored before any file is touched.
    const auto ordered = sheet.orderedCells();
    for (const auto& [where, cell] : ordered) {
        const int row = Sheet::rowOf(where), column = Sheet::columnOf(where);
        const QString& text = cell->value.text;
        if (text.size() > Workbook::kMaxTextChars) {
            *error = QStringLiteral(
                         "cell %1 holds more than %2 characters, more than a "
                         "workbook cell can keep")
                         .arg(cellName(row, column))
                         .arg(Workbook::kMaxTextChars);
            return false;
        }
        if (!text.isValidUtf16()) {
            *error = QStringLiteral("cell %1 holds a broken character").arg(cellName(row, column));
            return false;
        }
    }
    const XlsxWriterLibrary& lxw = xlsxWriter();
    if (!lxw.failure.isEmpty()) {
        *error =
            QStringLiteral("the workbook writer library cannot be loaded (%1)").arg(lxw.failure);
        return false;
    }
    const QFileInfo target(path);
    if (target.isDir()) {
        *error = QStringLiteral("\"%1\" is a folder").arg(QDir::toNativeSeparators(path));
        return false;
    }

    const QString temporary = temporaryNameBeside(path);
    const QByteArray temporaryName = QFile::encodeName(temporary);
    lxw_workbook_options options{};
    // Rows go out in order (orderedCells is row-major), so the writer can
    // stream them and store texts inline instead of building a shared-string
    // table: about a third faster for a full number list.
    options.constant_memory = LXW_TRUE;
    lxw_workbook* book = lxw.workbookNew(temporaryName.constData(), &options);
    if (!book) {
        *error = QStringLiteral("the workbook could not be created (out of memory)");
        return false;
    }
    lxw_worksheet* ws = lxw.addWorksheet(book, nullptr);
    lxw_format* text = lxw.addFormat(book);
    lxw_error rc = LXW_NO_ERROR;
    if (!ws || !text) rc = LXW_ERROR_MEMORY_MALLOC_FAILED;
    if (rc == LXW_NO_ERROR) lxw.setNumFormat(text, "@");

    for (auto it = sheet.columnWidths.cbegin();
         rc == LXW_NO_ERROR && it != sheet.columnWidths.cend(); ++it) {
        const auto col = lxw_col_t(it->first - 1);
        rc = lxw.setColumn(ws, col, col, it->second, nullptr);
    }
    // One UTF-8 buffer serves every cell.
    QStringEncoder toUtf8(QStringEncoder::Utf8);
    std::vector<char> utf8;
    for (auto it = ordered.cbegin(); rc == LXW_NO_ERROR && it != ordered.cend(); ++it) {
        const auto row = lxw_row_t(Sheet::rowOf(it->first) - 1);
        const auto col = lxw_col_t(Sheet::columnOf(it->first) - 1);
        const StoredCell& cell = *it->second;
        if (!cell.value.text.isEmpty()) {
            const QString safe = protectEscapes(cell.value.text);
            utf8.resize(size_t(toUtf8.requiredSpace(safe.size())) + 1);
            *toUtf8.appendToBuffer(utf8.data(), safe) = '\0';
            rc = lxw.writeString(ws, row, col, utf8.data(), text);
        } else if (cell.textFormat) {
            rc = lxw.writeBlank(ws, row, col, text);
        }
    }
    if (rc != LXW_NO_ERROR) {
        *error = QStringLiteral("the workbook could not be built (%1)")
                     .arg(QString::fromUtf8(lxw.strerror(rc)));
        // workbook_close() also frees; its file is the temporary one.
        lxw.close(book);
        QFile::remove(temporary);
        return false;
    }
    rc = lxw.close(book);
    if (rc != LXW_NO_ERROR) {
        QFile::remove(temporary);
        *error =
            QStringLiteral("it could not be written (%1)").arg(QString::fromUtf8(lxw.strerror(rc)));
        return false;
    }
    // rename() replaces an existing file in one step, so a reader never sees
    // half a workbook and a failed save leaves the old file as it was.
    if (std::rename(temporaryName.constData(), QFile::encodeName(path).constData()) != 0) {
        const int savedErrno = errno;
        QFile::remove(temporary);
        *error = QStringLiteral("it could not be put in place (%1)")
                     .arg(QString::fromLocal8Bit(std::strerror(savedErrno)));
        return false;
    }
    return true;
}

}  // namespace office::detail
