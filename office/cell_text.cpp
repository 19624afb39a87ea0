#include "office/cell_text.h"

#include <cmath>
#include <QDate>
#include <QLocale>
#include <vector>

namespace office::detail {

QString numberText(double value) {
    if (!std::isfinite(value)) return QString::number(value);
    // Below 1e17 every whole double converts to qint64 exactly; beyond that
    // the digits are no longer those of the stored value anyway.
    if (value == std::trunc(value) && std::fabs(value) < 1e17)
        return QString::number(static_cast<qint64>(value));
    return QString::number(value, 'g', QLocale::FloatingPointShortest);
}

DateParts builtinFormatParts(int id) {
    if (id >= 14 && id <= 17) return kDatePart;
    if (id >= 18 && id <= 21) return kTimePart;
    if (id == 22) return kDateAndTime;
    if (id >= 45 && id <= 47) return kTimePart;
    // East Asian built-ins: year/month/day forms and hour/minute forms.
    if ((id >= 27 && id <= 31) || id == 36) return kDatePart;
    if (id >= 32 && id <= 35) return kTimePart;
    if ((id >= 50 && id <= 54) || id == 57 || id == 58) return kDatePart;
    if (id == 55 || id == 56) return kTimePart;
    return kNoDate;
}

DateParts customFormatParts(QStringView code) {
    bool year = false, day = false, month = false, hour = false, second = false;
    const qsizetype n = code.size();
    for (qsizetype i = 0; i < n; ++i) {
        const QChar c = code[i];
        if (c == u'"') {  // literal text
            ++i;
            while (i < n && code[i] != u'"') ++i;
            continue;
        }
        if (c == u'\\' || c == u'_' || c == u'*') {  // escaped, padding, fill character
            ++i;
            continue;
        }
        if (c == u'[') {  // [Red], [$-804], [>100], or elapsed [h] [mm] [ss]
            const qsizetype end = code.indexOf(u']', i);
            if (end < 0) break;
            const QString inner = code.mid(i + 1, end - i - 1).toString().toLower();
            if (!inner.isEmpty() &&
                (inner.count(u'h') == inner.size() || inner.count(u'm') == inner.size() ||
                 inner.count(u's') == inner.size()))
                hour = true;  // elapsed time
            i = end;
            continue;
        }
        if (code.mid(i, 5).compare(u"AM/PM", Qt::CaseInsensitive) == 0) {
            hour = true;
            i += 4;
            continue;
        }
        if (code.mid(i, 3).compare(u"A/P", Qt::CaseInsensitive) == 0) {
            hour = true;
            i += 2;
            continue;
        }
        switch (c.toLower().unicode()) {
            case u'y':
                year = true;
                break;
            case u'd':
                day = true;
                break;
            case u'm':
                month = true;
                break;
            case u'h':
                hour = true;
                break;
            case u's':
                second = true;
                break;
            default:
                break;
        }
    }
    // "m" is the month unless the format shows hours or seconds, where it is
    // the minute ("mm:ss", "h:mm"); a format with both keeps y or d for the date.
    const bool datePart = year || day || (month && !hour && !second);
    const bool timePart = hour || second;
    return DateParts((datePart ? kDatePart : 0) | (timePart ? kTimePart : 0));
}

std::optional<QString> serialText(double serial, DateParts parts, bool date1904) {
    if (parts == kNoDate || !std::isfinite(serial) || serial < 0) return std::nullopt;
    // 9999-12-31 is the last day either date system can show.
    const double lastDay = date1904 ? 2957003.0 : 2958465.0;
    if (serial >= lastDay + 1) return std::nullopt;
    // Round to the millisecond as a spreadsheet does before it shows a time;
    // minutes are then shown without rounding up the seconds.
    const qint64 totalMs = std::llround(serial * 86400000.0);
    const qint64 days = totalMs / 86400000;
    const qint64 msOfDay = totalMs % 86400000;

    QString text;
    if (parts & kDatePart) {
        if (date1904) {
            text = QDate(1904, 1, 1).addDays(days).toString(u"yyyy/MM/dd");
        } else if (days == 0) {
            text = QStringLiteral("1900/01/00");  // what a spreadsheet shows for serial 0
        } else if (days == 60) {
            // The 1900 system counts a 29 February 1900 that never was.
            text = QStringLiteral("1900/02/29");
        } else if (days < 60) {
            text = QDate(1899, 12, 31).addDays(days).toString(u"yyyy/MM/dd");
        } else {
            text = QDate(1899, 12, 30).addDays(days).toString(u"yyyy/MM/dd");
        }
    }
    // A date at midnight reads as the date alone, even where the format
    // also shows a time: that is its value as text in a spreadsheet.
    const int minutes = int(msOfDay / 60000);
    if ((parts & kTimePart) && !((parts & kDatePart) && minutes == 0)) {
        if (!text.isEmpty()) text += u' ';
        text += QStringLiteral("%1:%2")
                    .arg(minutes / 60, 2, 10, QLatin1Char('0'))
                    .arg(minutes % 60, 2, 10, QLatin1Char('0'));
    }
    return text;
}

namespace {

int hexValue(QChar c) {
    const char16_t u = c.unicode();
    if (u >= u'0' && u <= u'9') return u - u'0';
    if (u >= u'a' && u <= u'f') return u - u'a' + 10;
    if (u >= u'A' && u <= u'F') return u - u'A' + 10;
    return -1;
}

// The code unit of an _xHHHH_ escape starting at `i`, or -1.
int escapeAt(const QString& text, qsizetype i) {
    if (i + 6 >= text.size() || text[i] != u'_' || text[i + 1] != u'x' || text[i + 6] != u'_')
        return -1;
    int value = 0;
    for (int k = 2; k < 6; ++k) {
        const int h = hexValue(text[i + k]);
        if (h < 0) return -1;
        value = value * 16 + h;
    }
    return value;
}

}  // namespace

QString decodeEscapes(const QString& text) {
    if (!text.contains(u"_x")) return text;
    QString out;
    out.reserve(text.size());
    for (qsizetype i = 0; i < text.size();) {
        const int v = escapeAt(text, i);
        if (v >= 0) {
            out += QChar(char16_t(v));
            i += 7;
        } else {
            out += text[i++];
        }
    }
    return out;
}

QString protectEscapes(const QString& text) {
    auto needsEscape = [](char16_t u) { return u < 0x20 && u != u'\t' && u != u'\n'; };
    bool plain = !text.contains(u"_x");
    for (qsizetype i = 0; plain && i < text.size(); ++i) plain = !needsEscape(text[i].unicode());
    if (plain) return text;
    // First the control characters become escapes; then every underscore of
    // the text itself that would start an escape there is escaped too.
    QString escaped;
    std::vector<bool> literal;  // per character of `escaped`: an underscore of the text
    escaped.reserve(text.size() + 16);
    for (const QChar c : text) {
        if (needsEscape(c.unicode())) {
            escaped += QStringLiteral("_x%1_").arg(int(c.unicode()), 4, 16, QLatin1Char('0'));
            literal.resize(size_t(escaped.size()), false);
        } else {
            escaped += c;
            literal.push_back(c == u'_');
        }
    }
    QString out;
    out.reserve(escaped.size() + 8);
    for (qsizetype i = 0; i < escaped.size(); ++i) {
        if (literal[size_t(i)] && escapeAt(escaped, i) >= 0) out += QStringLiteral("_x005F");
        out += escaped[i];
    }
    return out;
}

std::optional<char32_t> unstorableCharacter(const QString& text) {
    const qsizetype n = text.size();
    for (qsizetype i = 0; i < n; ++i) {
        const char16_t u = text[i].unicode();
        if (QChar::isHighSurrogate(u)) {
            if (i + 1 < n && QChar::isLowSurrogate(text[i + 1].unicode())) {
                ++i;
                continue;
            }
            return u;
        }
        if (QChar::isLowSurrogate(u) || u == 0xFFFE || u == 0xFFFF) return u;
    }
    return std::nullopt;
}

}  // namespace office::detail
