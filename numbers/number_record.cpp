#include "numbers/number_record.h"

#include <cstring>

#include "core/gbk.h"
#include "core/text_grid.h"

namespace numrec {

namespace {

QString twoDigits(int v) {
    return QStringLiteral("%1").arg(v, 2, 10, QLatin1Char('0'));
}

bool isNumberChar(quint8 b) {
    return b == '+' || (b >= '0' && b <= '9');
}

// Pre-save rules read the flags strictly: only the exact text "yes" sets one.
bool flagSet(const TextGrid& grid, int col, int row) {
    return grid.text(col, row) == Yes;
}

// The refusal of a number that has no GBK byte form, or that holds a
// stand-in of a device byte (no device number has one: a read takes only "+"
// and digits, so it was typed); empty when the number can be sent.
QString unsendableNumber(const TextGrid& grid, int row) {
    const QString& number = grid.text(Number, row);
    QString bad = gbk::firstUnencodable(number);
    for (QChar c : number)
        if (bad.isEmpty() && gbk::isStandIn(c.unicode())) bad = c;
    if (bad.isEmpty()) return {};
    return QStringLiteral(
               "Serial %1: the authorized number \"%2\" holds the character \"%3\", "
               "which cannot be sent to the device.")
        .arg(grid.text(Serial, row), number, bad);
}

QString serialList(const QStringList& serials) {
    QStringList shown = serials.mid(0, 3);
    QString out = shown.join(QLatin1Char(','));
    if (serials.size() > 3) out += QStringLiteral(",....");
    return out;
}

}  // namespace

// ---- cell positions ------------------------------------------------------

QString dateYearText(const QString& cell) {
    return cell.mid(2, 2);
}
std::optional<int> dateYearByte(const QString& cell) {
    const auto full = cellNumber(dateYear4Text(cell));
    if (full && dateYear4Text(cell).size() == 4 && *full >= 2100 && *full <= 2255)
        return *full - 2000;
    return cellNumber(dateYearText(cell));
}
QString dateYear4Text(const QString& cell) {
    return cell.left(4);
}
QString dateMonthText(const QString& cell) {
    return cell.mid(5, 2);
}
QString dateDayText(const QString& cell) {
    return cell.right(2);
}

QString timeHourText(const QString& cell) {
    const int colon = cell.indexOf(QLatin1Char(':'));
    return colon < 0 ? QString() : cell.left(colon);
}

QString timeMinuteText(const QString& cell) {
    const int colon = cell.indexOf(QLatin1Char(':'));
    const int after = cell.size() - colon - 1;
    return after == 2 ? cell.right(2) : cell.right(1);
}

std::optional<int> cellNumber(const QString& text) {
    if (text.isEmpty() || text.size() > 9) return std::nullopt;
    int v = 0;
    for (QChar c : text) {
        if (c < QLatin1Char('0') || c > QLatin1Char('9')) return std::nullopt;
        v = v * 10 + (c.unicode() - '0');
    }
    return v;
}

QString notAnIntegerMessage(const QString& text) {
    return QStringLiteral("'%1' is not a valid integer value").arg(text);
}

bool dateTooLong(const QString& cell) {
    return cell.size() > 10;
}

bool timeTooLong(const QString& cell) {
    const int colon = cell.indexOf(QLatin1Char(':'));
    return colon >= 0 && cell.size() - colon - 1 > 2;
}

bool dateOutOfRange(const QString& cell) {
    if (cell.isEmpty()) return false;
    if (dateTooLong(cell)) return true;
    const auto month = cellNumber(dateMonthText(cell));
    const auto day = cellNumber(dateDayText(cell));
    if (!month || !day) return true;
    return *month > 12 || *day > 31;
}

bool timeOutOfRange(const QString& cell) {
    if (cell.isEmpty()) return false;
    if (timeTooLong(cell)) return true;
    const auto hour = cellNumber(timeHourText(cell));
    const auto minute = cellNumber(timeMinuteText(cell));
    if (!hour || !minute) return true;
    return *hour > 23 || *minute > 59;
}

std::optional<QDate> cellDate(const QString& cell) {
    if (cell.isEmpty()) return std::nullopt;
    const auto year = cellNumber(dateYear4Text(cell));
    const auto month = cellNumber(dateMonthText(cell));
    const auto day = cellNumber(dateDayText(cell));
    if (!year || !month || !day || dateYear4Text(cell).size() != 4) return std::nullopt;
    const QDate d(*year, *month, *day);
    if (!d.isValid()) return std::nullopt;
    return d;
}

std::optional<QTime> cellTime(const QString& cell) {
    if (cell.isEmpty()) return std::nullopt;
    const auto hour = cellNumber(timeHourText(cell));
    const auto minute = cellNumber(timeMinuteText(cell));
    if (!hour || !minute || *hour > 23 || *minute > 59) return std::nullopt;
    return QTime(*hour, *minute);
}

QString pickerDateText(const QDate& date) {
    return date.toString(QStringLiteral("yyyy/MM/dd"));
}
QString pickerTimeText(const QTime& time) {
    return time.toString(QStringLiteral("HH:mm"));
}

// ---- records -------------------------------------------------------------

QString encodePage(const TextGrid& grid, int page, quint8* out) {
    std::memset(out, 0, PageSize);
    QString error;
    for (int i = 0; i < RecordsPerPage; ++i) {
        const int row = firstRowOfPage(page) + i;
        quint8* rec = out + i * RecordSize;

        if (flagSet(grid, Delete, row)) {
            std::memset(rec, ClearedByte, RecordSize);
            continue;
        }

        const QString& number = grid.text(Number, row);
        if (!number.isEmpty()) {
            const QString refusal = unsendableNumber(grid, row);
            if (!refusal.isEmpty()) return refusal;
            const QByteArray bytes = gbk::encode(number).value_or(QByteArray());
            std::memcpy(rec, bytes.constData(), std::min<int>(bytes.size(), NumberMax));
        }

        if (flagSet(grid, Always, row)) {
            std::memset(rec + StartMonth, AlwaysMarker, EndMinute - StartMonth + 1);
            rec[StartYear] = 0x00;
            rec[EndYear] = AlwaysMarker;
            continue;
        }

        // Fields in the order the bytes are listed: a failure names the
        // first offending text.
        auto storeValue = [&](const std::optional<int>& v, const QString& text, int offset) {
            if (!v) {
                error = notAnIntegerMessage(text);
                return false;
            }
            rec[offset] = quint8(*v & 0xFF);
            return true;
        };
        auto store = [&](const QString& text, int offset) {
            return storeValue(cellNumber(text), text, offset);
        };
        auto tooLong = [&](int col) {
            error =
                QStringLiteral(
                    "Serial %1: the %2 \"%3\" holds a value above 99 that cannot be "
                    "written back as it was read; correct it before saving.")
                    .arg(grid.text(Serial, row), grid.text(col, 0).trimmed(), grid.text(col, row));
            return false;
        };
        auto date = [&](int col, int month, int day, int year) {
            const QString& cell = grid.text(col, row);
            if (dateTooLong(cell)) return tooLong(col);
            return cell.isEmpty() ||
                   (store(dateMonthText(cell), month) && store(dateDayText(cell), day) &&
                    storeValue(dateYearByte(cell), dateYearText(cell), year));
        };
        auto time = [&](int col, int hour, int minute) {
            const QString& cell = grid.text(col, row);
            if (timeTooLong(cell)) return tooLong(col);
            return cell.isEmpty() ||
                   (store(timeHourText(cell), hour) && store(timeMinuteText(cell), minute));
        };
        if (!date(StartDate, StartMonth, StartDay, StartYear) ||
            !time(StartTime, StartHour, StartMinute) || !date(EndDate, EndMonth, EndDay, EndYear) ||
            !time(EndTime, EndHour, EndMinute))
            return error;
    }
    return {};
}

QVector<QStringList> decodePage(const quint8* page) {
    QVector<QStringList> rows;
    rows.reserve(RecordsPerPage);
    for (int i = 0; i < RecordsPerPage; ++i) {
        const quint8* b = page + i * RecordSize;

        QString number;
        for (int k = 0; k < NumberMax && isNumberChar(b[k]); ++k) number += QLatin1Char(char(b[k]));

        // A date without month or day is no date. The year is written in
        // full: 2000 + the year byte.
        auto date = [](quint8 year, quint8 month, quint8 day) {
            if (month == 0 || day == 0) return QString();
            return QString::number(2000 + year) + QLatin1Char('-') + twoDigits(month) +
                   QLatin1Char('-') + twoDigits(day);
        };
        auto time = [](quint8 hour, quint8 minute) {
            return twoDigits(hour) + QLatin1Char(':') + twoDigits(minute);
        };

        QString startDate = date(b[StartYear], b[StartMonth], b[StartDay]);
        QString startTime = time(b[StartHour], b[StartMinute]);
        QString endDate = date(b[EndYear], b[EndMonth], b[EndDay]);
        QString endTime = time(b[EndHour], b[EndMinute]);

        bool always = true;
        for (int k = StartMonth; k <= EndMinute; ++k) always = always && b[k] == AlwaysMarker;

        if (b[StartMonth] == ClearedByte || number.isEmpty() || always) {
            startDate.clear();
            startTime.clear();
            endDate.clear();
            endTime.clear();
        }
        rows << QStringList{number, startDate, startTime, endDate, endTime, always ? Yes : No};
    }
    return rows;
}

QString checkListMessage(const TextGrid& grid) {
    QStringList serials;
    for (int row = 1; row < grid.rows(); ++row) {
        if (grid.text(Number, row).isEmpty()) continue;
        if (flagSet(grid, Delete, row) || flagSet(grid, Always, row)) continue;
        bool missing = false;
        for (int col = StartDate; col <= EndTime; ++col)
            missing = missing || grid.text(col, row).isEmpty();
        if (missing) serials << grid.text(Serial, row);
    }
    if (serials.isEmpty()) return {};
    return QStringLiteral(
               "Wrong operation:please select \"Always\" or setting the Start-End date and "
               "time.Total:") +
           QString::number(serials.size()) + QLatin1Char('\r') +
           QStringLiteral("Wrong serial number:") + serialList(serials);
}

QString unsendableNumberMessage(const TextGrid& grid) {
    for (int row = 1; row < grid.rows(); ++row) {
        if (flagSet(grid, Delete, row)) continue;
        const QString message = unsendableNumber(grid, row);
        if (!message.isEmpty()) return message;
    }
    return {};
}

void fillStartContents(TextGrid& grid) {
    const QStringList headers = {"Serial",   "Authorized number", "Start Date", "Start Time ",
                                 "End Date", "End Time",          "Always(V)",  "Delete(V)"};
    grid.setRows(0, {headers});
    // Column by column: the flags share one string, only the serials differ.
    const int count = grid.rows() - 1;
    QStringList serials;
    serials.reserve(count);
    for (int r = 1; r <= count; ++r) serials << QString::number(r);
    const QStringList empty(count), no(count, No);
    grid.setColumn(0, 1, serials);
    for (int c = 1; c <= 5; ++c) grid.setColumn(c, 1, empty);
    grid.setColumn(6, 1, no);
    grid.setColumn(7, 1, no);
}

}  // namespace numrec
