#pragma once
// A scripted controller for the settings pages: answers read and write
// requests from two 256-byte pages, and can refuse or stay silent.

#include <QByteArray>
#include <QList>

#include "fake_port.h"
#include "link/packet.h"
#include "settings/settings_pages.h"

struct SettingsDevice {
    settings::Page pages[2];
    int refusePage = 0;  // 1 or 2: that write is answered with 0
    bool silent = false;
    QList<int> pagesWritten;

    SettingsDevice() {
        pages[0].fill(0xFF);
        pages[1].fill(0xFF);
    }

    static qint32 addressOf(const QByteArray& req) {
        return qint32((quint8(req[2]) << 24) | (quint8(req[3]) << 16) | (quint8(req[4]) << 8) |
                      quint8(req[5]));
    }

    QByteArray answer(const QByteArray& req) {
        if (silent || req.size() < 9) return {};
        const quint8 code = quint8(req[1]);
        const qint32 address = addressOf(req);
        const int page = address / 0x100 + 1;
        if (page < 1 || page > 2) return {};
        if (code == cmd::ReadBlock) {
            const auto& p = pages[page - 1];
            return replyFrame(code, address,
                              QByteArray(reinterpret_cast<const char*>(p.data()), 256));
        }
        if (code == cmd::WriteBlock) {
            const bool ok = page != refusePage && req.size() == 265;
            if (ok) {
                std::copy(req.cbegin() + 8, req.cbegin() + 8 + 256, pages[page - 1].begin());
                pagesWritten << page;
            }
            return replyFrame(code, address, QByteArray(1, ok ? 1 : 0));
        }
        return {};
    }
};
