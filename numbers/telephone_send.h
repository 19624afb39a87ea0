#pragma once
// Number list transfer: 3000 slots of 32 bytes, 8 to a page, 375 pages from
// device address 0x1000 (record layout: numbers/number_record.h).
//
// Read:  confirmation, then 375 read requests; each reply is decoded into
//        the grid rows its own address names, then the next page is asked.
// Save:  the pre-save check, then 375 write requests; each page is encoded
//        from the grid just before it is sent, and the device's
//        acknowledgement (routed by the dispatcher) asks for the next one.

#include "link/text_grid.h"
#include "link/transfer.h"

class TtelephoneSend : public Tsend_rec_command {
public:
    TtelephoneSend(DeviceLink& link, TextGrid& grid) : Tsend_rec_command(link), grid_(grid) {}

    static constexpr quint16 Pages = 375;

    void ReadPage(int page) override;
    // Encodes the page and sends it; false (nothing sent, the chain stops)
    // when a cell cannot be converted, after telling the user why.
    bool WritePage(int page) override;
    void DecodePage() override;

    // Pre-save check; shows its report and returns false when a row with a
    // number has neither "Always" nor a complete validity window, or when a
    // number holds a character that cannot be sent.
    bool CheckList();

    // Read-back after a save: the slots whose records differ.
    QStringList describeDifferences(int page, const QByteArray& written,
                                    const QByteArray& read) const override;

    // The "Read" and "Save" buttons.
    void btn10Click();
    void btn9Click();

    // Header, serials and "no" flags of a fresh number grid (8 x 3001).
    static void fillStartContents(TextGrid& grid);

protected:
    void readFinished() override;
    void writeFinished() override;

private:
    TextGrid& grid_;
};
