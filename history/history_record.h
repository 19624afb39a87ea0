#pragma once
// The device's event log record and its readable form.
//
// The log has 1000 slots of 128 bytes, two to a 256-byte block. All values
// are plain unsigned bytes (not BCD); the record number is least significant
// byte first. Erased memory reads 0xFF, so a slot that was never written has
// no record number.

#include <QString>
#include <QStringList>
#include <QtGlobal>

namespace historyrec {

// Layout of one record, offsets from its first byte.
constexpr int Size = 128;
constexpr int PerPage = 2;
constexpr int Pages = 500;
constexpr int Slots = Pages * PerPage;  // grid rows 1 .. 1000

constexpr int NumberAt = 0;  // 4 bytes, LSB first; FF FF FF FF: no number
constexpr int YearAt = 4;    // year - 2000; 0x00: the slot is empty
constexpr int MonthAt = 5;
constexpr int DayAt = 6;
constexpr int HourAt = 7;
constexpr int MinuteAt = 8;
constexpr int SecondAt = 9;
constexpr int SourceAt = 10;     // table sourceText
constexpr int ActionAt = 11;     // table actionText
constexpr int ExecutantAt = 12;  // "+" and digits, ends at any other byte
constexpr int ExecutantMax = 22;
constexpr int ContentAt = 34;  // GBK text, ends at 0x00 (or erased 0xFF)
constexpr int ContentMax = 41;
// Bytes 75 .. 127 are not used.

constexpr quint8 NotSet = 0xFF;  // a date or time byte of erased memory

// History grid columns (column 0 holds the row's serial number).
enum Column {
    Serial = 0,
    No = 1,
    Date = 2,
    Time = 3,
    From = 4,
    Action = 5,
    Executant = 6,
    Content = 7
};
constexpr int DataColumns = 7;  // columns 1 .. 7

// Text of a source code ("COM Port", "SMS", "GPRS", "Telephone"); empty for
// an unknown code.
QString sourceText(quint8 code);
// Text of an action code; empty for an unknown code.
QString actionText(quint8 code);
// For the alarm and power actions the event's origin is the input or the
// supply, not the channel: the text that replaces the source, or a null
// QString when the source text stands.
QString sourceOverride(quint8 action);

// The texts of grid columns 1 .. 7 for one 128-byte record.
QStringList decode(const quint8* record);

}  // namespace historyrec

// One history row in working form (the compaction and the filter).
struct historyinf_r {
    QString No, Date, Time, From, Action, Executant, Content;
    qint32 TimeKey = 0;
    qint32 DateKey = 0;

    static historyinf_r fromTexts(const QStringList& columns1to7);
    QStringList texts() const { return {No, Date, Time, From, Action, Executant, Content}; }
};
