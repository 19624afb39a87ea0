#pragma once
// Builders of raw history records and pages for the history tests.

#include <QByteArray>
#include <QDate>
#include <QTime>

#include "history/history_record.h"

namespace testrec {

struct Event {
    qint32 number = 1;
    bool noNumber = false;
    quint8 year = 24, month = 3, day = 9;
    quint8 hour = 14, minute = 5, second = 0;
    quint8 source = 3, action = 2;
    QByteArray executant = "+123";
    QByteArray content = "Door";
};

inline QByteArray record(const Event& e) {
    QByteArray r(historyrec::Size, '\0');
    const quint32 n = e.noNumber ? 0xFFFFFFFFu : quint32(e.number);
    for (int i = 0; i < 4; ++i) r[historyrec::NumberAt + i] = char((n >> (8 * i)) & 0xFF);
    r[historyrec::YearAt] = char(e.year);
    r[historyrec::MonthAt] = char(e.month);
    r[historyrec::DayAt] = char(e.day);
    r[historyrec::HourAt] = char(e.hour);
    r[historyrec::MinuteAt] = char(e.minute);
    r[historyrec::SecondAt] = char(e.second);
    r[historyrec::SourceAt] = char(e.source);
    r[historyrec::ActionAt] = char(e.action);
    r.replace(historyrec::ExecutantAt, qMin<int>(e.executant.size(), 22), e.executant.left(22));
    r.replace(historyrec::ContentAt, qMin<int>(e.content.size(), 41), e.content.left(41));
    return r;
}

inline QByteArray erased() {
    return QByteArray(historyrec::Size, char(0xFF));
}

inline QStringList decoded(const QByteArray& rec) {
    return historyrec::decode(reinterpret_cast<const quint8*>(rec.constData()));
}

}  // namespace testrec
