#include "history/history_files.h"

#include "history/history_record.h"
#include "link/text_grid.h"
#include "numbers/number_files.h"
#include "office/workbook.h"
#include "ui/session.h"

// The CSV field quoting, GBK encoding and whole-file writing are the number
// list's (numbers/number_files.h): both CSV files follow the same rules.

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

Tcustomstringgrid_his::Tcustomstringgrid_his(DeviceSession& session)
    : clock([] { return QDateTime::currentDateTime(); }), session_(session) {}

void Tcustomstringgrid_his::ExportHistoryWorkbook() {
    DeviceLink& link = session_.link;
    const QString chosen = link.prompts.saveFile(session_.ConfigDir, hisfiles::workbookFilter(),
                                                 hisfiles::workbookProposedName(clock()));
    if (chosen.isEmpty()) return;
    Tprogressbar_ctrl progress(link.bar);
    const hisfiles::Outcome out = hisfiles::exportWorkbook(session_.history, chosen, [&](int r) {
        if (r > 0) progress.SetProgress(quint16(r * 100 / hisfiles::Rows));
        link.status.ShowStatus(
            QStringLiteral("historical information records:%1/%2").arg(r).arg(hisfiles::Rows));
    });
    if (!out.ok) {
        link.prompts.message(out.text);
        return;
    }
    if (!out.text.isEmpty()) link.prompts.inform(out.text);
}

void Tcustomstringgrid_his::ExportHistoryCsv() {
    DeviceLink& link = session_.link;
    const QString proposed = hisfiles::csvProposedName(clock());
    QString error;
    std::optional<QByteArray> bytes;
    {
        Tprogressbar_ctrl progress(link.bar);
        bytes = hisfiles::csvBytes(session_.history, &error, [&](int r) {
            progress.SetProgress(quint16(r * 100 / (hisfiles::Rows + 1)));
            link.status.ShowStatus(
                QStringLiteral("Export.csv:%1/%2").arg(r - 1).arg(hisfiles::Rows));
        });
    }
    if (!bytes) {
        link.prompts.message(error);
        return;
    }
    const QString chosen =
        link.prompts.saveFile(session_.ConfigDir, hisfiles::csvFilter(), proposed);
    if (chosen.isEmpty()) return;
    const numfiles::Outcome out = numfiles::writeCsv(*bytes, chosen);
    if (!out.ok()) {
        link.prompts.message(out.text);
        return;
    }
    if (!out.text.isEmpty()) link.prompts.inform(out.text);
}
