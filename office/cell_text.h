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

// A day serial as "yyyy/MM/dd", "hh:mm" or "yyyy/MM/dd hh:mm" (a date-time
// at midnight as "yyyy/MM/dd", its value as text); nothing when
// the serial lies outside the dates a spreadsheet can show (negative, or
// after 9999-12-31), so the caller keeps it as a number.
std::optional<QString> serialText(double serial, DateParts parts, bool date1904);

// Decodes the _xHHHH_ escapes of OOXML string content ("_x000D_" is a
// carriage return, "_x005F_" an underscore).
QString decodeEscapes(const QString& text);
// The reverse for writing: control characters (U+0000 to U+001F but tab and
// line feed), which XML text cannot hold or would not keep, become _xHHHH_
// escapes, and every underscore of the text that would start an escape is
// itself escaped ("_x0041_" -> "_x005F_x0041_"), so a reader decodes the
// result back to `text` exactly.
QString protectEscapes(const QString& text);

// The first character of `text` that no workbook can hold, even escaped: a
// lone surrogate, U+FFFE or U+FFFF. Nothing when every character can be kept.
std::optional<char32_t> unstorableCharacter(const QString& text);

}  // namespace office::detail
