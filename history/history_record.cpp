#include "history/history_record.h"

#include <QByteArray>

#include "core/gbk.h"

namespace historyrec {

QString sourceText(quint8 code) {
    switch (code) {
        case 0:
            return QStringLiteral("COM Port");
        case 1:
            return QStringLiteral("SMS");
        case 2:
            return QStringLiteral("GPRS");
        case 3:
            return QStringLiteral("Telephone");
        default:
            return QString();
    }
}

QString actionText(quint8 code) {
    switch (code) {
        case 0:
            return QStringLiteral("Add number");
        case 1:
            return QStringLiteral("Delete Number");
        case 2:
            return QStringLiteral("Relay ON");
        case 3:
            return QStringLiteral("Relay OFF");
        case 4:
            return QStringLiteral("DIN1 Alarm");
        case 5:
            return QStringLiteral("DIN2 Alarm");
        case 6:
            return QStringLiteral("Power failure");
        case 7:
            return QStringLiteral("Arm");
        case 8:
            return QStringLiteral("Disarm");
        case 9:
            return QStringLiteral("Power recovery");
        default:
            return QString();
    }
}

QString sourceOverride(quint8 action) {
    switch (action) {
        case 4:
            return QStringLiteral("DIN1");
        case 5:
            return QStringLiteral("DIN2");
        case 6:
        case 9:
            return QStringLiteral("Power supply");
        default:
            return QString();
    }
}

namespace {

// At least two digits; 100 and more keep all three.
QString twoDigits(quint8 v) {
    return QStringLiteral("%1").arg(uint(v), 2, 10, QLatin1Char('0'));
}

QString joined(quint8 a, quint8 b, quint8 c, QChar sep) {
    if (a == NotSet || b == NotSet || c == NotSet) return QString();
    return twoDigits(a) + sep + twoDigits(b) + sep + twoDigits(c);
}

}  // namespace

QStringList decode(const quint8* r) {
    if (r[YearAt] == 0x00) return QStringList(DataColumns, QString());

    QStringList out;
    out.reserve(DataColumns);

    if (r[NumberAt] == 0xFF && r[NumberAt + 1] == 0xFF && r[NumberAt + 2] == 0xFF &&
        r[NumberAt + 3] == 0xFF) {
        out << QString();
    } else {
        const quint32 u = quint32(r[NumberAt]) | quint32(r[NumberAt + 1]) << 8 |
                          quint32(r[NumberAt + 2]) << 16 | quint32(r[NumberAt + 3]) << 24;
        out << QString::number(qint32(u));
    }

    const QString date = joined(r[YearAt], r[MonthAt], r[DayAt], QLatin1Char('-'));
    out << (date.isEmpty() ? date : QStringLiteral("20") + date);
    out << joined(r[HourAt], r[MinuteAt], r[SecondAt], QLatin1Char(':'));

    const QString over = sourceOverride(r[ActionAt]);
    out << (over.isNull() ? sourceText(r[SourceAt]) : over);
    out << actionText(r[ActionAt]);

    QString executant;
    for (int i = 0; i < ExecutantMax; ++i) {
        const quint8 b = r[ExecutantAt + i];
        if (b != '+' && (b < '0' || b > '9')) break;
        executant += QLatin1Char(char(b));
    }
    out << executant;

    // The text ends at 0x00. 0xFF ends it too: it is erased memory, never a
    // byte of GBK text, and would otherwise show as 41 stand-ins in every
    // unwritten slot. Every other byte is kept (see core/gbk.h).
    int len = 0;
    while (len < ContentMax && r[ContentAt + len] != 0x00 && r[ContentAt + len] != NotSet) ++len;
    out << gbk::decode(QByteArray(reinterpret_cast<const char*>(r + ContentAt), len));
    return out;
}

}  // namespace historyrec

historyinf_r historyinf_r::fromTexts(const QStringList& c) {
    historyinf_r h;
    const auto at = [&c](int i) { return i < c.size() ? c[i] : QString(); };
    h.No = at(0);
    h.Date = at(1);
    h.Time = at(2);
    h.From = at(3);
    h.Action = at(4);
    h.Executant = at(5);
    h.Content = at(6);
    return h;
}
