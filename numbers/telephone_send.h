#pragma once
// Number list transfer: 3000 slots of 32 bytes, 8 to a page, 375 pages from
// device address 0x1000.

#include "link/text_grid.h"
#include "link/transfer.h"

class TtelephoneSend : public Tsend_rec_command {
public:
    TtelephoneSend(DeviceLink& link, TextGrid& grid) : Tsend_rec_command(link), grid_(grid) {}

    void ReadPage(int page) override;
    void DecodePage() override;

    // Header, serials and "no" flags of a fresh number grid (8 x 3001).
    static void fillStartContents(TextGrid& grid);

private:
    TextGrid& grid_;
};
