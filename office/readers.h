#pragma once
// The two workbook readers and the writer (internal to the office layer).
// Each returns false with a reason for the user in `error`, phrased to
// follow "cannot be read as a workbook: " (readers) or to stand alone.

#include <QByteArray>
#include <QString>

#include "office/sheet.h"
#include "office/workbook.h"

namespace office::detail {

// .xlsx bytes (a zip archive).
bool readXlsx(const QByteArray& bytes, const ReadLimits& limits, Sheet* sheet, QString* error);
// Legacy .xls (BIFF in an OLE compound file), read from a file.
bool readXls(const QString& path, const ReadLimits& limits, Sheet* sheet, QString* error);

// Writes `sheet` as .xlsx to `path` through a temporary file beside it.
bool writeXlsx(const Sheet& sheet, const QString& path, QString* error);

}  // namespace office::detail
