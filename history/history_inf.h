#pragma once
// History transfer: 1000 records of 128 bytes, 2 to a page, 500 pages from
// device address 0x30000.

#include "link/text_grid.h"
#include "link/transfer.h"

class THistoryInf : public Tsend_rec_command {
public:
    THistoryInf(DeviceLink& link, TextGrid& grid) : Tsend_rec_command(link), grid_(grid) {}

    void ReadPage(int page) override;
    void DecodePage() override;

    // Header and row numbers of a fresh history grid (8 x 1001).
    static void fillStartContents(TextGrid& grid);

private:
    TextGrid& grid_;
};
