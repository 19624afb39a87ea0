#pragma once
// Number list files: the number list workbook (export and import) and the
// number list CSV file (export only).
//
// Two levels:
//  - numfiles:: layout functions on a grid and a file name. They show
//    nothing; they return what happened and the text for the user, and call
//    an optional per-row callback. The window's buttons and the command line
//    both run these.
//  - NumberFiles: the three buttons of the number list tab ("Export .XLS",
//    "Import .XLS", "Export .CSV"): file dialogs in ConfigDir, proposed
//    names, status texts and progress, message boxes, around the layout
//    functions.
//
// Workbook layout (first sheet, row 1 the header, row s + 1 slot s):
//   A Serial | B Authorized number | C Start Date | D Start Time | E End Date
//   | F End Time | G Always(V) | H Delete(V); every cell a text cell.
//
// CSV layout: one line per slot 1..3000, no header, ten fields (the eight
// grid columns and two empty ones), each line ended by CR LF, GBK bytes (a
// text read from the device gives back the bytes it was read from).
// A field holding a comma, a double quote or a line break is quoted (inner
// quotes doubled) so that it cannot shift the later columns; every other
// field is written as it stands.

#include <functional>
#include <optional>
#include <QByteArray>
#include <QDateTime>
#include <QString>
#include <QStringList>
#include <QVector>

class TextGrid;

namespace office {
class Workbook;
}

namespace numfiles {

constexpr int Slots = 3000;

// Called after each slot an operation has handled, with the slot (1..3000).
using RowDone = std::function<void(int slot)>;

// Dialog filters and proposed names.
QString exportWorkbookFilter();  // "EXCEL file|*.xlsx;*.xls|(*.*)|*.*"
QString importWorkbookFilter();  // "EXCEL file|*.xls;*.xlsx|(*.*)|*.*"
QString csvFilter();             // "CVS file|*.cvs;*.cvs|(*.*)|*.*"
// "yyyy-mm-dd_hh-nn-ss" of `now` (hours 00..23).
QString fileStamp(const QDateTime& now);
QString workbookProposedName(const QDateTime& now);  // telinf_R2024-05-17_08-30-00
QString csvProposedName(const QDateTime& now);       // telinf_CSV2024-05-17_08-30-00.cvs

struct Outcome {
    enum Kind {
        Done,         // written or loaded; `text` may hold a note for the user
        Refused,      // nothing written or loaded; `text` is the message
        RowsInError,  // import: the check report in `text`; grid unchanged
    };
    Kind kind = Done;
    QString text;
    QString path;  // exports: the file actually written
    bool ok() const { return kind == Done; }
};

// ---- workbook ------------------------------------------------------------

// Fills `book` with the number list layout from `grid` (8 x 3001).
void fillWorkbook(const TextGrid& grid, office::Workbook& book, const RowDone& rowDone = {});

// Writes the grid as a workbook under the name office::exportFileName()
// makes of `chosenPath` (".xlsx" added when missing; a ".xls" name is
// written as ".xlsx" with a note in `text`).
Outcome exportWorkbook(const TextGrid& grid, const QString& chosenPath,
                       const RowDone& rowDone = {});

// Reads a number list workbook into grid columns 1..6 of slots 1..3000.
// Checks, in order: the file is a workbook; A1 shows "Serial"; the validity
// windows of the rows that are neither empty nor "Always" nor "Delete"
// (RowsInError with the report); numbers stored as numbers that cannot be
// telephone numbers (Refused, naming the slots). Any failure leaves the
// grid exactly as it was. Serial and "Delete(V)" are never changed.
Outcome importWorkbook(TextGrid& grid, const QString& path, const RowDone& rowDone = {});
// The same for a workbook already opened.
Outcome importWorkbook(TextGrid& grid, const office::Workbook& book, const RowDone& rowDone = {});

// True when a validity window cell passes the import check: a date of 10
// characters with numbers in characters 3-4, 6-7 and the last two; a time of
// 5 characters with numbers in the first two and the last two.
bool dateCellPasses(const QString& text);
bool timeCellPasses(const QString& text);

// "Wrong information on the profile,please correct it and then import
// again,error:" count "\r" "Serial: " first slots (at most three, then ",....").
QString checkReport(const QVector<int>& slotsInError);
// "Serial: 3,8,9,...." part of the reports.
QString slotList(const QVector<int>& serials);

// ---- CSV -----------------------------------------------------------------

// A field as written: unchanged, or quoted when it holds ',', '"', CR or LF.
QString csvField(const QString& text);
// The ten-field line of `fields` (missing fields are empty), without CR LF.
QString csvLine(const QStringList& fields);
// GBK bytes of `line` + CR LF appended to `out`; false when a character has
// no GBK form (only a text from elsewhere than the device can hold one), with
// the message in `error` (naming `what`, e.g. "slot 12").
bool appendCsvLine(QByteArray& out, const QString& line, const QString& what, QString* error);
// Writes `bytes` to `path` as a whole (temporary file, then renamed);
// an empty text on success, else the message.
QString writeFileAtomically(const QByteArray& bytes, const QString& path);
// The name a CSV export is written under: `chosen`, except that a workbook
// extension (".xlsx", ".xls", ...) gets ".cvs" appended, with a note for the
// user, so that no file ever carries a workbook name over CSV content.
QString csvFileName(const QString& chosen, QString* note = nullptr);

// The CSV bytes of the number list, or nothing (message in `error`) when a
// cell holds a character that GBK cannot encode.
std::optional<QByteArray> csvBytes(const TextGrid& grid, QString* error,
                                   const RowDone& rowDone = {});
// Builds and writes the CSV file.
Outcome exportCsv(const TextGrid& grid, const QString& chosenPath, const RowDone& rowDone = {});
// Writes CSV bytes already built.
Outcome writeCsv(const QByteArray& bytes, const QString& chosenPath);

}  // namespace numfiles
