#pragma once
// Number list transfer: 3000 slots of 32 bytes, 8 to a page, 375 pages from
// device address 0x1000 (record layout: numbers/number_record.h).
//
// Read:  confirmation, then 375 read requests; each reply is decoded into
//        the grid rows its own address names, then the next page is asked.
// Save:  the pre-save check, then every page is encoded from the grid before
//        the first request (a cell that cannot be converted stops the save
//        with nothing sent), then the write requests; the device's
//        acknowledgement of each asks for the next one. When the pages the
//        device holds are known (read or saved on this port), only the pages
//        that differ are written (and read back); otherwise all 375.

#include <QVector>

#include "core/text_grid.h"
#include "link/transfer.h"

class TtelephoneSend : public Tsend_rec_command {
public:
    TtelephoneSend(DeviceLink& link, TextGrid& grid) : Tsend_rec_command(link), grid_(grid) {}

    static constexpr quint16 Pages = 375;

    void ReadPage(int page) override;
    // Sends the page encoded when the save started.
    bool WritePage(int page) override;
    void DecodePage() override;

    // Pre-save check; shows its report and returns false when a row with a
    // number has neither "Always" nor a complete validity window, or when a
    // number holds a character that cannot be sent.
    bool CheckList();

    // Read-back after a save: the slots whose records differ.
    QStringList describeDifferences(int page, const QByteArray& written,
                                    const QByteArray& read) const override;

    // The "Read" and "Save" buttons. The save runs CheckList, then encodes
    // every page; true when the save started.
    void btn10Click();
    bool btn9Click();

    QString successText() const override;
    QString refusalText() const override { return QStringLiteral("Number list data error"); }

    // Header, serials and "no" flags of a fresh number grid (8 x 3001).
    static void fillStartContents(TextGrid& grid);

protected:
    // Encodes every page from the grid.
    bool prepareWrite() override;
    std::optional<std::pair<qint32, QByteArray>> plannedPage(int page) const override;
    QByteArray heldForm(const QByteArray& read) const override;

private:
    TextGrid& grid_;
    QVector<QByteArray> pages_;  // the save's pages, encoded before it starts
};
