#pragma once
// Helpers for building and inspecting settings pages in tests.

#include <QByteArray>
#include <QRandomGenerator>
#include <QString>

#include "settings/settings_codec.h"
#include "settings/settings_sheet.h"

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

// Random settings pages as a device may hold them: every text field filled
// with random bytes (0x00, 0x80, lone lead bytes and bad trail bytes
// included), each field laid out as the tool writes it (a 40-byte text ends
// in 0x00, the rest of a field is 0xFF fill), so that a lossless read and
// save gives the same bytes. With `strayLists` every choice byte names no
// item (0xFF or beyond the list).
struct RandomPages {
    settings::Page page[2];
};

inline quint8 randomTextByte(QRandomGenerator& random, bool nulAllowed) {
    static const quint8 special[] = {0x00, 0x80, 0x81, 0xFE, 0xA1, 0x7F, 0x40,
                                     0x20, 0x0A, 0x0D, 0x22, 0x2C, 0x3C, 0x26};
    quint8 b = random.bounded(4) == 0 ? special[random.bounded(int(sizeof special))]
                                      : quint8(random.bounded(0xFF));  // 0x00..0xFE
    if (b == 0x00 && !nulAllowed) b = 0x01;
    return b;
}

inline RandomPages randomPages(QRandomGenerator& random, bool strayLists) {
    RandomPages out;
    out.page[0] = blankPage();
    out.page[1] = blankPage();
    auto fill = [&](quint8* at, int n, bool nulAllowed) {
        for (int i = 0; i < n; ++i) at[i] = randomTextByte(random, nulAllowed);
    };
    QByteArray userName;
    quint16 row10 = quint16(random.bounded(0x10000));
    for (const settings::Field& f : settings::layout()) {
        quint8* at = out.page[f.page - 1].data() + f.offset;
        using E = settings::Encoding;
        switch (f.encoding) {
            case E::DigitString: {
                const int n = random.bounded(f.size + 1);
                for (int i = 0; i < n; ++i) at[i] = quint8("+0123456789"[random.bounded(11)]);
                if (n > 0 && n < f.size) at[n] = 0x00;
                break;
            }
            case E::Choice: {
                const int items =
                    SettingsSheet::items(SettingsSheet::Choice(SettingsSheet::choiceAt(f.row)))
                        .size();
                at[0] = quint8(strayLists ? random.bounded(items, 0x100) : random.bounded(items));
                break;
            }
            case E::Number: {
                const quint16 v = f.row == 10 ? row10 : quint16(random.bounded(0x10000));
                at[0] = quint8(v & 0xFF);
                at[1] = quint8(v >> 8);
                break;
            }
            case E::Text: {
                const int n = random.bounded(f.size + 1);
                fill(at, n, false);
                if (n < f.size) at[n] = 0x00;
                break;
            }
            case E::PlainText:
                fill(at, random.bounded(f.size + 1), true);
                break;
            case E::UserNameHead: {
                userName = QByteArray(random.bounded(17), '\0');
                fill(reinterpret_cast<quint8*>(userName.data()), userName.size(), true);
                if (userName.size() == 1) userName.append('\0');  // a one-byte name
                for (int i = 0; i < qMin(2, int(userName.size())); ++i) at[i] = quint8(userName[i]);
                break;
            }
            case E::UserNameTail:
                for (int i = 2; i < userName.size(); ++i) at[i - 2] = quint8(userName[i]);
                break;
        }
    }
    return out;
}
