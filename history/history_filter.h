#pragma once
// The history filter: narrows the history grid to the events strictly
// between a start and an end moment and sorts them by date, then time.
//
// It works on the grid's texts alone. FilterRows computes the result without
// touching the grid; only a successful run (Applied) is written back, so a
// refused or failed filter leaves the grid exactly as it was.
//
// Keys compare two-digit years (yymmdd, hhmmss), as the grid's dates carry
// the century only as the constant "20". A range that crosses into 2100 is
// accepted but can match nothing.

#include <functional>
#include <QDate>
#include <QString>
#include <QTime>
#include <QVector>

#include "history/history_record.h"

class TextGrid;

namespace historyfilter {

struct Range {
    QDate startDate;  // dtp1
    QTime startTime;  // dtp2
    QDate endDate;    // dtp3
    QTime endTime;    // dtp4
};

enum class Result {
    Applied,        // `rows` replaces the grid's rows
    TimeSelection,  // the end moment is not after the start moment
    NoCorrectRows,  // no grid row has a number, a date and a time
    NoMatches,      // nothing lies inside the range
    NotAnInteger,   // a date or time text does not hold numbers where keys are read
};

struct Outcome {
    Result result = Result::TimeSelection;
    QString message;             // message box text; empty for Applied
    int usable = 0;              // usable rows found
    QVector<historyinf_r> rows;  // Applied: the matches in display order
};

// Receives the progress texts in the order they are produced.
using StatusSink = std::function<void(const QString&)>;

// Fills DateKey and TimeKey from the Date and Time texts ("null" gives 0).
// False when the characters at a read position are not a whole number; they
// are then put in *bad.
bool fillKeys(historyinf_r& row, QString* bad);

// Runs the filter over rows 1 .. grid.rows()-1 without changing the grid.
Outcome FilterRows(const TextGrid& grid, const Range& range, const StatusSink& status = {});

// Writes an Applied outcome: clears columns 1..7 of every data row and puts
// the matches from row 1 on (column 0 keeps the serial numbers).
void writeRows(TextGrid& grid, const QVector<historyinf_r>& rows, const StatusSink& status = {});

// Whole number as the grid's texts hold them: optional sign, then digits.
bool toInt(QStringView text, int* value);

}  // namespace historyfilter
