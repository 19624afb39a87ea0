#pragma once
// Basic settings transfer: the two 256-byte settings pages at device
// addresses 0x000 and 0x100, moved between the device and the settings sheet.
//
// Read:  "Read Settings" confirmed -> read page 1 -> decode -> read page 2
//        -> decode -> "Basic settings read to PC software success."
// Save:  both pages are built first (a cell that cannot be stored stops the
//        save before anything is sent) -> write page 1 (progress 50) -> ack
//        -> write page 2 (progress 100) -> ack -> "Basic setting saved success"
// A refused page ends the save in the dispatcher ("Basic setting error").

#include <optional>

#include "link/transfer.h"
#include "settings/settings_codec.h"
#include "settings/settings_sheet.h"

class TBasicInf : public Tsend_rec_command {
public:
    TBasicInf(DeviceLink& link, SettingsSheet& sheet) : Tsend_rec_command(link), sheet_(sheet) {}

    static constexpr quint16 Pages = 2;

    // "Read Settings": asks for confirmation, then reads both pages into the
    // sheet.
    void readSettings();
    // "Save Settings": no confirmation; writes both pages built from the sheet.
    // False (after a message naming the cell) when a page cannot be built or
    // the password is not 4 digits; then nothing is sent.
    bool saveSettings();

    // Why the sheet's password cannot be saved, or nothing. The device
    // compares exactly four typed characters with it, so any other password
    // would lock the user out for good.
    static std::optional<QString> passwordProblem(const SettingsSheet& sheet);

    void ReadPage(int page) override;
    bool WritePage(int page) override;
    void DecodePage() override;

    // Build a page into Buffer; false with a message when a cell cannot be
    // stored (not an integer, out of range, a character GBK cannot hold).
    bool EncodeFirstPage();
    bool EncodeSecondPage();

    // A page read back after a save that differs from what was written: the
    // names of the setting rows whose bytes differ.
    QStringList describeDifferences(int page, const QByteArray& written,
                                    const QByteArray& read) const override;

    QString successText() const override;
    QString refusalText() const override { return QStringLiteral("Basic setting error"); }

protected:
    // The password check, and both pages built from the sheet.
    bool prepareWrite() override;
    void beforeWritePage(int page) override;

private:
    bool encodeInto(int page, settings::Page& out);

    SettingsSheet& sheet_;
    settings::DecodeState decodeState_;
};
