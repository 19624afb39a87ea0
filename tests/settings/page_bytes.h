#pragma once
// Helpers for building and inspecting settings pages in tests.

#include <QByteArray>
#include <QString>

#include "settings/settings_pages.h"

inline settings::Page blankPage() {
    settings::Page p;
    p.fill(0xFF);
    return p;
}

inline void put(settings::Page& p, int offset, const QByteArray& bytes) {
    for (int i = 0; i < bytes.size(); ++i) p[offset + i] = quint8(bytes[i]);
}

inline QByteArray bytesAt(const settings::Page& p, int offset, int n) {
    return QByteArray(reinterpret_cast<const char*>(p.data()) + offset, n);
}

inline QByteArray toBytes(const settings::Page& p) {
    return bytesAt(p, 0, settings::PageSize);
}

// The factory page 1, as the editor's start contents give it, written out.
inline QByteArray startContentsPage1() {
    settings::Page p = blankPage();
    put(p, 0, "5729");
    put(p, 26, QByteArray::fromHex("0101"));
    put(p, 28, QByteArray("Unauthorized door opened") + '\0');
    put(p, 68, QByteArray("DIN2 Alarm") + '\0');
    put(p, 108,
        QByteArray::fromHex("0A00"
                            "0100"
                            "00000000"
                            "0303"));
    put(p, 118, QByteArray("Relay ON") + '\0');
    put(p, 158, QByteArray("Relay OFF") + '\0');
    put(p, 198,
        QByteArray::fromHex("0F27"
                            "E703"
                            "0000"));
    return toBytes(p);
}

inline QByteArray gbkBytes(const char* utf8) {
    // "开" is BF AA, "门" is C3 C5 in GBK.
    QByteArray out;
    const QString s = QString::fromUtf8(utf8);
    for (QChar c : s) {
        if (c == QChar(0x5F00))
            out += QByteArray::fromHex("BFAA");
        else if (c == QChar(0x95E8))
            out += QByteArray::fromHex("C3C5");
        else if (c.unicode() < 0x80)
            out += char(c.unicode());
        else
            qFatal("gbkBytes: no table entry for U+%04X", unsigned(c.unicode()));
    }
    return out;
}
