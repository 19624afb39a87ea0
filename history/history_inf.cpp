#include "history/history_inf.h"

#include "link/device_link.h"

void THistoryInf::ReadPage(int page) {
    sendRead(devaddr::historyPage(page), QStringLiteral("Reading historical data"));
}

void THistoryInf::DecodePage() { ReadNext(); }

void THistoryInf::fillStartContents(TextGrid& grid) {
    const QStringList headers = {"Serial", "No.", "Date", "Time", "From", "Action", "Executant", "Content"};
    QVector<QStringList> rows;
    rows.reserve(grid.rows());
    rows << headers;
    for (int r = 1; r < grid.rows(); ++r) rows << QStringList{QString::number(r)};
    grid.setRows(0, rows);
}
