#include "numbers/telephone_send.h"

#include "link/device_link.h"

void TtelephoneSend::ReadPage(int page) {
    sendRead(devaddr::numbersPage(page), QStringLiteral("Reading telephone number information"));
}

void TtelephoneSend::DecodePage() { ReadNext(); }

void TtelephoneSend::fillStartContents(TextGrid& grid) {
    const QStringList headers = {"Serial",     "Authorized number", "Start Date", "Start Time ",
                                 "End Date",   "End Time",          "Always(V)",  "Delete(V)"};
    QVector<QStringList> rows;
    rows.reserve(grid.rows());
    rows << headers;
    for (int r = 1; r < grid.rows(); ++r)
        rows << QStringList{QString::number(r), {}, {}, {}, {}, {}, QStringLiteral("no"), QStringLiteral("no")};
    grid.setRows(0, rows);
}
