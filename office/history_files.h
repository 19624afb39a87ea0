#pragma once
// History files: the history grid written as a workbook ("Export.XLS") and
// as a CSV file ("Export.CSV"). Nothing is ever read back.
//
// Two levels, as for the number list files:
//  - hisfiles:: layout functions on the grid and a file name, returning
//    what happened (the window and the command line both run these);
//  - Tcustomstringgrid_his: the two buttons with their dialogs in ConfigDir,
//    proposed names, status texts and progress.
//
// Workbook: the whole grid, header and all 1000 rows (empty ones too), one
// text cell per grid cell. CSV: one line per grid row that has a record
// number, ten fields (grid columns 0..7 and two empty ones), CR LF after
// every line, GBK bytes (a text read from the device gives back exactly the
// bytes it was read from, see core/gbk.h); fields holding ',', '"' or a line
// break are quoted.

#include <functional>
#include <optional>
#include <QByteArray>
#include <QDateTime>
#include <QString>

class TextGrid;

namespace office {
class Workbook;
}

namespace hisfiles {

constexpr int Rows = 1000;

// Called after each grid row an operation has handled, with that row.
using RowDone = std::function<void(int row)>;

QString workbookFilter();                            // "EXCEL file|*.xlsx;*.xls|(*.*)|*.*"
QString csvFilter();                                 // "CVS file|*.cvs;*.cvs|(*.*)|*.*"
QString workbookProposedName(const QDateTime& now);  // hisinf_R2024-05-17_08-30-00
QString csvProposedName(const QDateTime& now);       // hisinf_CSV2024-05-17_08-30-00.cvs

struct Outcome {
    bool ok = true;
    QString text;  // failure: the message; success: a note for the user, or empty
    QString path;  // the file actually written
};

// Fills `book` with the history layout; rowDone for rows 0..1000.
void fillWorkbook(const TextGrid& grid, office::Workbook& book, const RowDone& rowDone = {});
// Writes the grid as a workbook under office::exportFileName(chosenPath).
Outcome exportWorkbook(const TextGrid& grid, const QString& chosenPath,
                       const RowDone& rowDone = {});

// The CSV bytes (empty when no row has a record number), or nothing with the
// message in `error` when a text has a character that GBK cannot encode
// (never one read from the device).
// rowDone is called for each row written.
std::optional<QByteArray> csvBytes(const TextGrid& grid, QString* error,
                                   const RowDone& rowDone = {});
Outcome exportCsv(const TextGrid& grid, const QString& chosenPath, const RowDone& rowDone = {});

}  // namespace hisfiles
