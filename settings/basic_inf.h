#pragma once
// Basic settings transfer: the two 256-byte settings pages at device
// addresses 0x000 and 0x100.

#include "link/transfer.h"
#include "settings/settings_sheet.h"

class TBasicInf : public Tsend_rec_command {
public:
    TBasicInf(DeviceLink& link, SettingsSheet& sheet) : Tsend_rec_command(link), sheet_(sheet) {}

    void ReadPage(int page) override;
    bool WritePage(int page) override;
    void DecodePage() override;

private:
    SettingsSheet& sheet_;
};
