#include "history/history_filter.h"

#include <algorithm>

#include "core/text_grid.h"

namespace historyfilter {

bool toInt(QStringView s, int* value) {
    int i = 0;
    bool negative = false;
    if (i < s.size() && (s[i] == QLatin1Char('+') || s[i] == QLatin1Char('-'))) {
        negative = s[i] == QLatin1Char('-');
        ++i;
    }
    if (i >= s.size() || s.size() - i > 9) return false;  // keys never need more
    int v = 0;
    for (; i < s.size(); ++i) {
        const char16_t c = s[i].unicode();
        if (c < u'0' || c > u'9') return false;
        v = v * 10 + (c - u'0');
    }
    *value = negative ? -v : v;
    return true;
}

namespace {

// Characters [from, from + n) counted from 1, cut at the end of the text.
QStringView part(const QString& s, int from, int n) {
    const qsizetype start = qMin<qsizetype>(from - 1, s.size());
    return QStringView(s).mid(start, qMin<qsizetype>(n, s.size() - start));
}
QStringView lastTwo(const QString& s) {
    return QStringView(s).right(2);
}

// (first x 10000 + second x 100 + last) from the three positions of a date
// or time text.
bool key(const QString& text, int firstAt, int secondAt, qint32* out, QString* bad) {
    const QStringView pieces[3] = {part(text, firstAt, 2), part(text, secondAt, 2), lastTwo(text)};
    int v[3];
    for (int i = 0; i < 3; ++i) {
        if (!toInt(pieces[i], &v[i])) {
            if (bad) *bad = pieces[i].toString();
            return false;
        }
    }
    *out = v[0] * 10000 + v[1] * 100 + v[2];
    return true;
}

bool usableText(const QString& s) {
    return !s.isEmpty() && s != QLatin1String("Invalid");
}

bool before(qint32 d1, qint32 t1, qint32 d2, qint32 t2) {
    return d1 < d2 || (d1 == d2 && t1 < t2);
}

}  // namespace

bool fillKeys(historyinf_r& row, QString* bad) {
    row.DateKey = 0;
    row.TimeKey = 0;
    if (row.Date != QLatin1String("null") && !key(row.Date, 3, 6, &row.DateKey, bad)) return false;
    if (row.Time != QLatin1String("null") && !key(row.Time, 1, 4, &row.TimeKey, bad)) return false;
    return true;
}

Outcome FilterRows(const TextGrid& grid, const Range& range, const StatusSink& status) {
    const auto show = [&status](const QString& text) {
        if (status) status(text);
    };
    Outcome out;

    // 1. The range, with four-digit years.
    const QDate& sd = range.startDate;
    const QDate& ed = range.endDate;
    const QTime& st = range.startTime;
    const QTime& et = range.endTime;
    if (!sd.isValid() || !ed.isValid() || !st.isValid() || !et.isValid()) {
        out.result = Result::TimeSelection;
        out.message = QStringLiteral("Time selection error");
        return out;
    }
    const qint64 S = qint64(sd.year()) * 10000 + sd.month() * 100 + sd.day();
    const qint64 E = qint64(ed.year()) * 10000 + ed.month() * 100 + ed.day();
    const qint32 s = st.hour() * 10000 + st.minute() * 100 + st.second();
    const qint32 e = et.hour() * 10000 + et.minute() * 100 + et.second();
    if (!(E > S || (E == S && s < e))) {
        out.result = Result::TimeSelection;
        out.message = QStringLiteral("Time selection error");
        return out;
    }
    show(QStringLiteral("Ready to order"));

    // 3. Usable rows: number, date and time present.
    QVector<historyinf_r> usable;
    usable.reserve(grid.rows());
    for (int r = 1; r < grid.rows(); ++r) {
        const QString& no = grid.text(historyrec::No, r);
        const QString& date = grid.text(historyrec::Date, r);
        const QString& time = grid.text(historyrec::Time, r);
        if (usableText(no) && usableText(date) && usableText(time)) {
            historyinf_r h;
            h.No = no;
            h.Date = date;
            h.Time = time;
            h.From = grid.text(historyrec::From, r);
            h.Action = grid.text(historyrec::Action, r);
            h.Executant = grid.text(historyrec::Executant, r);
            h.Content = grid.text(historyrec::Content, r);
            QString bad;
            if (!fillKeys(h, &bad)) {
                out.result = Result::NotAnInteger;
                out.message = QStringLiteral("'%1' is not a valid integer value").arg(bad);
                return out;
            }
            usable.append(std::move(h));
        }
        show(QStringLiteral("Records:") + QString::number(usable.size()));
    }
    out.usable = usable.size();
    if (usable.isEmpty()) {
        out.result = Result::NoCorrectRows;
        out.message = QStringLiteral("No correct records");
        return out;
    }

    // 5./6. Strictly after the start moment and strictly before the end one.
    const qint32 S2 = (sd.year() % 100) * 10000 + sd.month() * 100 + sd.day();
    const qint32 E2 = (ed.year() % 100) * 10000 + ed.month() * 100 + ed.day();
    const auto matches = [&](const historyinf_r& h) {
        return before(S2, s, h.DateKey, h.TimeKey) && before(h.DateKey, h.TimeKey, E2, e);
    };
    int n = 0;
    for (const historyinf_r& h : usable) {
        if (matches(h)) ++n;
        show(QStringLiteral("Search"));
    }
    if (n == 0) {
        out.result = Result::NoMatches;
        out.message = QStringLiteral("No records");
        return out;
    }

    // 7. The matches in grid order.
    out.rows.reserve(n);
    for (historyinf_r& h : usable) {
        if (matches(h)) out.rows.append(std::move(h));
        show(QStringLiteral("Loading"));
    }

    // 8./9. By date, then time; equal moments keep their grid order.
    for (int pass = 0; pass < n; ++pass) show(QStringLiteral("Sort date"));
    std::stable_sort(out.rows.begin(), out.rows.end(),
                     [](const historyinf_r& a, const historyinf_r& b) {
                         return before(a.DateKey, a.TimeKey, b.DateKey, b.TimeKey);
                     });
    out.result = Result::Applied;
    return out;
}

void writeRows(TextGrid& grid, const QVector<historyinf_r>& rows, const StatusSink& status) {
    const int dataRows = grid.rows() - 1;
    if (dataRows <= 0) return;
    QVector<QStringList> texts(dataRows, QStringList(historyrec::DataColumns, QString()));
    const int n = qMin<int>(rows.size(), dataRows);
    for (int k = 0; k < n; ++k) texts[k] = rows[k].texts();
    grid.setRows(1, texts, historyrec::No);
    if (status)
        for (int k = 0; k < n; ++k) status(QStringLiteral("Records"));
}

}  // namespace historyfilter
