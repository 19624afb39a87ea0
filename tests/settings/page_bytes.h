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
