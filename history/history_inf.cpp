#include "history/history_inf.h"

#include "history/history_record.h"
#include "link/device_link.h"

void THistoryInf::ReadPage(int page) {
    if (page < 1 || page > Pages) return;  // there is no page 0: nothing to ask
    sendRead(devaddr::historyPage(page), QStringLiteral("Reading historical data"));
}

void THistoryInf::DecodePage() {
    if (Address >= devaddr::HistoryBase) {
        const qint64 base =
            qint64((Address - devaddr::HistoryBase) / devaddr::BlockSize) * historyrec::PerPage;
        const qint64 first = base + 1;
        if (first >= 1 && first + historyrec::PerPage - 1 <= historyrec::Slots &&
            first < grid_.rows()) {
            QVector<QStringList> rows;
            rows.reserve(historyrec::PerPage);
            for (int i = 0; i < historyrec::PerPage; ++i)
                rows << historyrec::decode(Buffer.data() + historyrec::Size * i);
            grid_.setRows(int(first), rows, historyrec::No);
        }
    }
    ReadNext();
}

bool THistoryInf::keepRow(const QString& no, const QString& date) {
    if (no.isEmpty()) return false;
    int year = 0;
    // A date that does not start with a year cannot be judged: the record is
    // there (it has a number), so it stays rather than being thrown away.
    if (!historyfilter::toInt(QStringView(date).left(4), &year)) return true;
    return year < 2080;
}

void THistoryInf::CompactRows() {
    const int dataRows = grid_.rows() - 1;
    QVector<QStringList> rows;
    rows.reserve(dataRows);
    for (int r = 1; r <= dataRows; ++r) {
        if (!keepRow(grid_.text(historyrec::No, r), grid_.text(historyrec::Date, r))) continue;
        QStringList texts;
        texts.reserve(historyrec::DataColumns);
        for (int c = historyrec::No; c <= historyrec::Content; ++c) texts << grid_.text(c, r);
        rows << texts;
    }
    while (rows.size() < dataRows) rows << QStringList(historyrec::DataColumns, QString());
    grid_.setRows(1, rows, historyrec::No);
}

const QString& THistoryInf::deleteWarning() {
    static const QString text = QStringLiteral(
        "Warning: Thie operation will DELETE all of the historical data on GSM device! ");
    return text;
}

bool THistoryInf::DeleteAll() {
    if (link_.busy()) {
        link_.admit();
        return false;
    }
    if (!feedback_.prompts.warnOkCancel(deleteWarning())) return false;
    return link_.deleteHistory.Send();
}

historyfilter::Result THistoryInf::FilterRows(const historyfilter::Range& range) {
    Tstatusbar_ctrl& status = feedback_.status;
    const historyfilter::StatusSink show = [&status](const QString& t) { status.ShowStatus(t); };
    const historyfilter::Outcome out = historyfilter::FilterRows(grid_, range, show);
    if (out.result == historyfilter::Result::Applied)
        historyfilter::writeRows(grid_, out.rows, show);
    else
        feedback_.prompts.message(out.message);
    return out.result;
}

void THistoryInf::fillStartContents(TextGrid& grid) {
    const QStringList headers = {"Serial", "No.",    "Date",      "Time",
                                 "From",   "Action", "Executant", "Content"};
    grid.setRows(0, {headers});
    QStringList serials;
    for (int r = 1; r < grid.rows(); ++r) serials << QString::number(r);
    grid.setColumn(0, 1, serials);
}
