#pragma once
// The two settings pages of the in-process device as settings::Page arrays,
// for tests that edit them in place: answer() hands them to the device's own
// answer logic and takes back what a write stored. Starts blank (0xFF).

#include <QByteArray>
#include <QList>

#include "in_process_device.h"
#include "settings/settings_codec.h"

struct SettingsDevice {
    settings::Page pages[2];
    QList<int> pagesWritten;
    InProcessDevice device = InProcessDevice::blankSettings();

    SettingsDevice() {
        pages[0].fill(0xFF);
        pages[1].fill(0xFF);
    }

    QByteArray answer(const QByteArray& req) {
        using vdev::Region;
        for (int p = 1; p <= 2; ++p)
            device.setPageBytes(
                Region::Settings, p,
                QByteArray(reinterpret_cast<const char*>(pages[p - 1].data()), 256));
        const QByteArray reply = device(req);
        for (int p = 1; p <= 2; ++p) {
            const QByteArray bytes = device.pageBytes(Region::Settings, p);
            std::copy(bytes.cbegin(), bytes.cend(), pages[p - 1].begin());
        }
        pagesWritten = device.pagesWritten(Region::Settings);
        return reply;
    }
};
