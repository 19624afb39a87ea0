#pragma once
// How stored cell values become the texts the file layouts compare and copy
// (internal to the office layer). Both readers use these, so an .xlsx and an
// .xls with the same content read the same.

#include <cstdint>
#include <optional>
#include <QString>
#include <QStringView>

namespace office::detail {

// A whole number as its decimal digits without ".0"; any other number in
// its shortest round-trip form.
QString numberText(double value);

// Which parts a number format shows when it shows a date or a time.
enum DateParts : std::uint8_t { kNoDate = 0, kDatePart = 1, kTimePart = 2, kDateAndTime = 3 };

// Built-in number formats (ids below 164) that show dates or times,
// including the East Asian built-ins 27-36 and 50-58.
DateParts builtinFormatParts(int numFmtId);
// A custom format code ("yyyy/mm/dd", "h:mm AM/PM", "[$-804]yyyy\"年\"m\"月\"").
DateParts customFormatParts(QStringView code);

// A day serial as "yyyy/MM/dd", "hh:mm" or "yyyy/MM/dd hh:mm"; nothing when
// the serial lies outside the dates a spreadsheet can show (negative, or
// after 9999-12-31), so the caller keeps it as a number.
std::optional<QString> serialText(double serial, DateParts parts, bool date1904);

// Decodes the _xHHHH_ escapes of OOXML string content ("_x000D_" is a
// carriage return, "_x005F_" an underscore).
QString decodeEscapes(const QString& text);
// The reverse for writing: protects every literal "_xHHHH_" in `text` so a
// reader decodes it back to itself. Control characters are escaped by the
// writer library.
QString protectEscapes(const QString& text);

}  // namespace office::detail
