#pragma once
// The legacy .xls reader, run in the helper program varnel-xls-reader (see
// xls_reader.cpp for the side of the tool).
//
// The helper is started as
//     varnel-xls-reader FILE MAX_ROWS MAX_COLUMNS MAX_CELL_CHARS
// and writes one answer to its standard output, in QDataStream form
// (Qt 6.0): quint8 0 and the error text, or quint8 1, the cell count and per
// cell row, column (qint32, from 1), kind (quint8, office::CellKind),
// number (double) and text (QString).

#include <QByteArray>
#include <QString>

#include "office/sheet.h"

namespace office::detail {

// Reads `path` and returns the answer as described above.
QByteArray xlsAnswer(const QString& path, const ReadLimits& limits);

// The helper program's file name.
inline constexpr char kXlsHelperName[] = "varnel-xls-reader";

}  // namespace office::detail
