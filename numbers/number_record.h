#pragma once
// The authorized number list on the wire and in the number grid.
//
// The device holds 3000 slots of 32 bytes, 8 slots to a 256-byte block, 375
// blocks from address 0x1000. Grid row r (1..3000) is slot r.
//
// Record layout (offsets inside the 32 bytes):
//
//    0..21  number, ASCII "+" and digits; padded with 0x00 when shorter,
//           no terminator when all 22 bytes are used. The device ends the
//           number at the first byte that is neither "+" nor a digit.
//   22..25  start month, day, hour, minute   (plain byte values)
//   26..29  end   month, day, hour, minute
//   30, 31  start year - 2000, end year - 2000
//
// Special forms: "Always" has 0x63 in bytes 22..29, 0x00 in 30 and 0x63 in
// 31 (recognised on reading by 22..29 alone); a slot to be cleared is written
// as 32 bytes 0xFF; a row without number, flags or dates is 32 bytes 0x00.
//
// Date and time cells are read by character position, never by separator:
// a date is yyyy?MM?dd (year digits 3-4 on the wire, month 6-7, day = the last
// two), a time is the number before the first ":" and the one or two digits
// after it. A read writes dates as 2024-05-17; the pickers write 2024/05/17.
// Year bytes 100..255 read as the years 2100..2255, and a year of 2100 to
// 2255 is written back as year - 2000, so every year byte survives a read
// and a save (the last two digits alone would turn 2100 into 0).

#include <optional>
#include <QDate>
#include <QString>
#include <QStringList>
#include <QTime>
#include <QVector>

class TextGrid;

namespace numrec {

constexpr int SlotCount = 3000;
constexpr int RecordSize = 32;
constexpr int RecordsPerPage = 8;
constexpr int PageSize = RecordSize * RecordsPerPage;  // 256
constexpr int PageCount = SlotCount / RecordsPerPage;  // 375
constexpr qint32 BaseAddress = 0x1000;

constexpr int NumberMax = 22;
constexpr int StartMonth = 22, StartDay = 23, StartHour = 24, StartMinute = 25;
constexpr int EndMonth = 26, EndDay = 27, EndHour = 28, EndMinute = 29;
constexpr int StartYear = 30, EndYear = 31;
constexpr quint8 AlwaysMarker = 0x63;
constexpr quint8 ClearedByte = 0xFF;

// Grid columns of the number list.
enum Column {
    Serial = 0,
    Number = 1,
    StartDate = 2,
    StartTime = 3,
    EndDate = 4,
    EndTime = 5,
    Always = 6,
    Delete = 7,
    ColumnCount = 8
};

inline const QString Yes = QStringLiteral("yes");
inline const QString No = QStringLiteral("no");

constexpr qint32 pageAddress(int page) {
    return BaseAddress + (page - 1) * PageSize;
}
// The page a reply belongs to, from its own address (integer division).
constexpr int pageOfAddress(qint32 address) {
    return (address - BaseAddress) / PageSize + 1;
}
constexpr int firstRowOfPage(int page) {
    return (page - 1) * RecordsPerPage + 1;
}

// ---- cell positions ------------------------------------------------------

// The characters each field is read from. Missing characters give shorter
// (possibly empty) texts, which then fail as numbers.
QString dateYearText(const QString& cell);  // characters 3-4 (the year on the wire)
// The year byte of a date cell: year - 2000 for the years 2100..2255 in
// characters 1-4, else the number in characters 3-4; nothing when that is
// not a number.
std::optional<int> dateYearByte(const QString& cell);
QString dateYear4Text(const QString& cell);   // characters 1-4
QString dateMonthText(const QString& cell);   // characters 6-7
QString dateDayText(const QString& cell);     // the last two characters
QString timeHourText(const QString& cell);    // before the first ":" (empty when there is none)
QString timeMinuteText(const QString& cell);  // the last two characters when exactly two follow
                                              // the ":", else the last one

// A decimal number made of ASCII digits only (no sign, no blanks, at most
// nine digits); nothing for anything else.
std::optional<int> cellNumber(const QString& text);

// The message of a field that is not a number.
QString notAnIntegerMessage(const QString& text);

// Out-of-range marking of a non-empty date or time cell: month above 12 or
// day above 31; hour above 23 or minute above 59. A cell whose fields are not
// numbers is marked as well (it would stop a save), and so is one that holds
// a month, day or minute above 99 as a read shows it (see below). Empty cells
// are never marked; zero values are not marked.
bool dateOutOfRange(const QString& cell);
bool timeOutOfRange(const QString& cell);

// The value a picker takes from a cell: only a real calendar day (year from
// characters 1-4) or a real time of day. Anything else gives nothing.
std::optional<QDate> cellDate(const QString& cell);
std::optional<QTime> cellTime(const QString& cell);

// Texts the pickers write back.
QString pickerDateText(const QDate& date);  // 2024/05/17
QString pickerTimeText(const QTime& time);  // 08:30

// A read shows a month, day or minute byte above 99 with three digits
// ("2024-200-17", "08:150"), which the character positions cannot read back:
// such a date (more than 10 characters) or time (more than two characters
// after the ":") is refused on save, naming the slot, instead of being
// written as another value.
bool dateTooLong(const QString& cell);
bool timeTooLong(const QString& cell);

// ---- records -------------------------------------------------------------

// Encodes grid rows firstRowOfPage(page) .. +7 into `out` (PageSize bytes).
// Returns an empty text on success, else the message that stops the save:
// "'x' is not a valid integer value" for a date or time field that is not a
// number, the refusal of a date or time that cannot be written back as read
// (dateTooLong, timeTooLong), or the refusal of a number holding a character
// that has no GBK byte form. `out` is unspecified after a failure.
QString encodePage(const TextGrid& grid, int page, quint8* out);

// The six texts of grid columns 1..6 (number, four date/time cells, Always)
// for each of the 8 records of a page of PageSize bytes. Column 7 (Delete)
// is never taken from the device.
QVector<QStringList> decodePage(const quint8* page);

// The pre-save check: empty when the grid may be saved, else the report.
QString checkListMessage(const TextGrid& grid);

// First number cell (serial and character) that cannot be sent; empty text
// when every number of a row that is sent can be encoded.
QString unsendableNumberMessage(const TextGrid& grid);

// Header, serials and "no" flags of a fresh number grid (8 x 3001).
void fillStartContents(TextGrid& grid);

}  // namespace numrec
