#include "office/history_files.h"

#include "core/text_grid.h"
#include "history/history_record.h"
#include "office/number_files.h"
#include "office/workbook.h"

// The CSV field quoting, GBK encoding and whole-file writing are the number
// list's (office/number_files.h): both CSV files follow the same rules.

namespace hisfiles {

namespace {
constexpr int kColumns = 8;
}

QString workbookFilter() {
    return numfiles::exportWorkbookFilter();
}
QString csvFilter() {
    return numfiles::csvFilter();
}
QString workbookProposedName(const QDateTime& now) {
    return QStringLiteral("hisinf_R") + numfiles::fileStamp(now);
}
QString csvProposedName(const QDateTime& now) {
    return QStringLiteral("hisinf_CSV") + numfiles::fileStamp(now) + QStringLiteral(".cvs");
}

void fillWorkbook(const TextGrid& grid, office::Workbook& book, const RowDone& rowDone) {
    static const int widths[kColumns] = {5, 16, 13, 13, 16, 16, 22, 22};
    for (int c = 0; c < kColumns; ++c) book.setColumnWidth(c + 1, widths[c]);
    const int lastRow = qMin(grid.rows() - 1, Rows);
    for (int r = 0; r <= lastRow; ++r) {
        for (int c = 0; c < kColumns; ++c) {
            book.setTextFormat(r + 1, c + 1);
            book.setText(r + 1, c + 1, grid.text(c, r));
        }
        if (rowDone) rowDone(r);
    }
}

Outcome exportWorkbook(const TextGrid& grid, const QString& chosenPath, const RowDone& rowDone) {
    Outcome out;
    out.path = office::exportFileName(chosenPath, &out.text);
    office::Workbook book;
    fillWorkbook(grid, book, rowDone);
    if (!book.saveAs(out.path)) return {false, book.errorText(), {}};
    return out;
}

std::optional<QByteArray> csvBytes(const TextGrid& grid, QString* error, const RowDone& rowDone) {
    QByteArray out;
    const int lastRow = qMin(grid.rows() - 1, Rows);
    for (int r = 1; r <= lastRow; ++r) {
        if (grid.text(historyrec::No, r).isEmpty()) continue;
        if (!numfiles::appendCsvLine(out, numfiles::csvLine(grid.rowTexts(r)),
                                     QStringLiteral("row %1").arg(r), error))
            return std::nullopt;
        if (rowDone) rowDone(r);
    }
    return out;
}

Outcome exportCsv(const TextGrid& grid, const QString& chosenPath, const RowDone& rowDone) {
    QString error;
    const std::optional<QByteArray> bytes = csvBytes(grid, &error, rowDone);
    if (!bytes) return {false, error, {}};
    const numfiles::Outcome written = numfiles::writeCsv(*bytes, chosenPath);
    return {written.ok(), written.text, written.path};
}

}  // namespace hisfiles
