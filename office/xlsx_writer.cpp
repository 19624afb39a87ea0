// Writes a Sheet as an .xlsx file through libxlsxwriter.
//
// Every text is written as a string cell with the number format "@", so a
// spreadsheet keeps it exactly as typed: "0012", "+8613800138000",
// "2024/05/17" and "=1+1" stay texts. Nothing is ever written as a formula.
// Control characters, U+0000 included, are stored as _xHHHH_ escapes (see
// protectEscapes); a character no workbook can hold refuses the whole save
// before any file is touched. Each call builds its own workbook object, so
// workbooks may be written from several threads at once.
//
// The library is opened when the first workbook is saved, not when the
// program starts: it brings the OpenSSL crypto library with it (for image
// checksums no workbook here needs), about a millisecond of every start.

#include <dlfcn.h>
#include <xlsxwriter.h>

#include <filesystem>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QStringEncoder>
#include <system_error>
#include <type_traits>
#include <vector>

#include "office/cell_text.h"
#include "office/readers.h"

namespace office::detail {
namespace {

// The functions used, from the library opened by name.
struct XlsxWriterLibrary {
    decltype(&::workbook_new_opt) workbook_new_opt = nullptr;
    decltype(&::workbook_add_worksheet) workbook_add_worksheet = nullptr;
    decltype(&::workbook_add_format) workbook_add_format = nullptr;
    decltype(&::workbook_close) workbook_close = nullptr;
    decltype(&::format_set_num_format) format_set_num_format = nullptr;
    decltype(&::worksheet_set_column) worksheet_set_column = nullptr;
    decltype(&::worksheet_write_string) worksheet_write_string = nullptr;
    decltype(&::worksheet_write_blank) worksheet_write_blank = nullptr;
    decltype(&::lxw_strerror) lxw_strerror = nullptr;
    QString problem;  // why it cannot be used; empty when it can
};

const XlsxWriterLibrary& xlsxWriter() {
    static const XlsxWriterLibrary library = [] {
        XlsxWriterLibrary l;
        void* handle = dlopen(VARNEL_XLSXWRITER_SONAME, RTLD_NOW | RTLD_LOCAL);
        if (!handle) {
            l.problem = QString::fromLocal8Bit(dlerror());
            return l;
        }
        const auto bind = [&](auto& function, const char* name) {
            function =
                reinterpret_cast<std::remove_reference_t<decltype(function)>>(dlsym(handle, name));
            if (!function && l.problem.isEmpty())
                l.problem = QStringLiteral("%1 has no %2").arg(VARNEL_XLSXWRITER_SONAME, name);
        };
        bind(l.workbook_new_opt, "workbook_new_opt");
        bind(l.workbook_add_worksheet, "workbook_add_worksheet");
        bind(l.workbook_add_format, "workbook_add_format");
        bind(l.workbook_close, "workbook_close");
        bind(l.format_set_num_format, "format_set_num_format");
        bind(l.worksheet_set_column, "worksheet_set_column");
        bind(l.worksheet_write_string, "worksheet_write_string");
        bind(l.worksheet_write_blank, "worksheet_write_blank");
        bind(l.lxw_strerror, "lxw_strerror");
        return l;
    }();
    return library;
}

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

}  // namespace

bool writeXlsx(const Sheet& sheet, const QString& path, QString* error) {
    // Refuse what cannot be stored before any file is touched. The escaped
    // texts are kept for writing.
    const auto ordered = sheet.orderedCells();
    std::vector<QString> stored(ordered.size());
    for (size_t i = 0; i < ordered.size(); ++i) {
        const int row = Sheet::rowOf(ordered[i].first), column = Sheet::columnOf(ordered[i].first);
        const QString& text = ordered[i].second->value.text;
        if (text.size() > Workbook::kMaxTextChars) {
            *error = QStringLiteral(
                         "cell %1 holds more than %2 characters, more than a "
                         "workbook cell can keep")
                         .arg(cellName(row, column))
                         .arg(Workbook::kMaxTextChars);
            return false;
        }
        if (const auto bad = unstorableCharacter(text)) {
            const QString code =
                QStringLiteral("U+%1").arg(uint(*bad), 4, 16, QLatin1Char('0')).toUpper();
            *error = (*bad >= 0xD800 && *bad <= 0xDFFF)
                         ? QStringLiteral("cell %1 holds a broken character (a lone %2)")
                               .arg(cellName(row, column), code)
                         : QStringLiteral(
                               "cell %1 holds the character %2, which a workbook "
                               "cannot keep")
                               .arg(cellName(row, column), code);
            return false;
        }
        stored[i] = protectEscapes(text);
        // The writer library counts the stored characters, escapes included.
        if (stored[i].size() > Workbook::kMaxTextChars &&
            stored[i].toUcs4().size() > Workbook::kMaxTextChars) {
            *error = QStringLiteral(
                         "cell %1 holds more than %2 characters once its control "
                         "characters are escaped, more than a workbook cell can keep")
                         .arg(cellName(row, column))
                         .arg(Workbook::kMaxTextChars);
            return false;
        }
    }
    const QFileInfo target(path);
    if (target.isDir()) {
        *error = QStringLiteral("\"%1\" is a folder").arg(QDir::toNativeSeparators(path));
        return false;
    }

    const XlsxWriterLibrary& lxw = xlsxWriter();
    if (!lxw.problem.isEmpty()) {
        *error = QStringLiteral("the workbook library could not be loaded (%1)").arg(lxw.problem);
        return false;
    }

    const QString temporary = temporaryNameBeside(path);
    const QByteArray temporaryName = QFile::encodeName(temporary);
    lxw_workbook_options options{};
    // Rows go out in order (orderedCells is row-major), so the writer can
    // stream them and store texts inline instead of building a shared-string
    // table: about a third faster for a full number list.
    options.constant_memory = LXW_TRUE;
    lxw_workbook* book = lxw.workbook_new_opt(temporaryName.constData(), &options);
    if (!book) {
        *error = QStringLiteral("the workbook could not be created (out of memory)");
        return false;
    }
    lxw_worksheet* ws = lxw.workbook_add_worksheet(book, nullptr);
    lxw_format* text = lxw.workbook_add_format(book);
    lxw_error rc = LXW_NO_ERROR;
    if (!ws || !text) rc = LXW_ERROR_MEMORY_MALLOC_FAILED;
    if (rc == LXW_NO_ERROR) lxw.format_set_num_format(text, "@");

    for (auto it = sheet.columnWidths.cbegin();
         rc == LXW_NO_ERROR && it != sheet.columnWidths.cend(); ++it) {
        const auto col = lxw_col_t(it->first - 1);
        rc = lxw.worksheet_set_column(ws, col, col, it->second, nullptr);
    }
    // One UTF-8 buffer serves every cell.
    QStringEncoder toUtf8(QStringEncoder::Utf8);
    std::vector<char> utf8;
    for (size_t i = 0; rc == LXW_NO_ERROR && i < ordered.size(); ++i) {
        const auto row = lxw_row_t(Sheet::rowOf(ordered[i].first) - 1);
        const auto col = lxw_col_t(Sheet::columnOf(ordered[i].first) - 1);
        const StoredCell& cell = *ordered[i].second;
        if (!cell.value.text.isEmpty()) {
            const QString& safe = stored[i];
            utf8.resize(size_t(toUtf8.requiredSpace(safe.size())) + 1);
            *toUtf8.appendToBuffer(utf8.data(), safe) = '\0';
            rc = lxw.worksheet_write_string(ws, row, col, utf8.data(), text);
        } else if (cell.textFormat) {
            rc = lxw.worksheet_write_blank(ws, row, col, text);
        }
    }
    if (rc != LXW_NO_ERROR) {
        *error = QStringLiteral("the workbook could not be built (%1)")
                     .arg(QString::fromUtf8(lxw.lxw_strerror(rc)));
        // workbook_close() also frees; its file is the temporary one.
        lxw.workbook_close(book);
        QFile::remove(temporary);
        return false;
    }
    rc = lxw.workbook_close(book);
    if (rc != LXW_NO_ERROR) {
        QFile::remove(temporary);
        *error = QStringLiteral("it could not be written (%1)")
                     .arg(QString::fromUtf8(lxw.lxw_strerror(rc)));
        return false;
    }
    // Renaming replaces an existing file in one step, so a reader never sees
    // half a workbook and a failed save leaves the old file as it was.
    std::error_code failure;
    std::filesystem::rename(std::filesystem::path(temporary.toStdU16String()),
                            std::filesystem::path(path.toStdU16String()), failure);
    if (failure) {
        QFile::remove(temporary);
        *error = QStringLiteral("it could not be put in place (%1)")
                     .arg(QString::fromLocal8Bit(failure.message()));
        return false;
    }
    return true;
}

}  // namespace office::detail
