#include "settings/settings_codec.h"

#include <algorithm>
#include <QList>

#include "core/gbk.h"

namespace settings {

namespace {

using E = Encoding;

// Page 1 does not follow the row order everywhere: the byte of row 9 comes
// before the byte of row 8, the three intervals are stored as rows 17, 15,
// 16, and row 10 is kept twice. The GPRS user name straddles the two pages.
constexpr Field kLayout[] = {
    {1, 0, 4, 1, E::DigitString},    {1, 4, 22, 2, E::DigitString},
    {1, 26, 1, 3, E::Choice},        {1, 27, 1, 4, E::Choice},
    {1, 28, 40, 5, E::Text},         {1, 68, 40, 6, E::Text},
    {1, 108, 2, 7, E::Number},       {1, 110, 1, 9, E::Choice},
    {1, 111, 1, 8, E::Choice},       {1, 112, 2, 10, E::Number},
    {1, 114, 2, 10, E::Number},      {1, 116, 1, 11, E::Choice},
    {1, 117, 1, 12, E::Choice},      {1, 118, 40, 13, E::Text},
    {1, 158, 40, 14, E::Text},       {1, 198, 2, 17, E::Number},
    {1, 200, 2, 15, E::Number},      {1, 202, 2, 16, E::Number},
    {1, 204, 32, 18, E::PlainText},  {1, 236, 2, 19, E::Number},
    {1, 238, 16, 20, E::PlainText},  {1, 254, 2, 21, E::UserNameHead},
    {2, 0, 14, 21, E::UserNameTail}, {2, 14, 16, 22, E::PlainText},
};

constexpr int UserNameMax = 16;  // 2 bytes on page 1 + 14 on page 2

std::optional<QString> encodeBytes(int row, const QString& text, int maxBytes, QByteArray& out) {
    if (auto bytes = encodeCut(text, maxBytes)) {
        out = *bytes;
        return std::nullopt;
    }
    return unencodableMessage(row, gbk::firstUnencodable(text));
}

// A decimal integer: optional sign, then digits only.
enum class NumberCheck { Ok, NotInteger, OutOfRange };
NumberCheck parseNumber(const QString& text, quint16& value) {
    int i = 0;
    bool negative = false;
    if (i < text.size() && (text[i] == QLatin1Char('+') || text[i] == QLatin1Char('-'))) {
        negative = text[i] == QLatin1Char('-');
        ++i;
    }
    if (i == text.size()) return NumberCheck::NotInteger;
    qint64 v = 0;
    bool big = false;
    for (; i < text.size(); ++i) {
        const QChar c = text[i];
        if (c < QLatin1Char('0') || c > QLatin1Char('9')) return NumberCheck::NotInteger;
        v = v * 10 + (c.unicode() - '0');
        if (v > 65535) big = true, v = 65536;  // keep the value bounded; only "too big" matters
    }
    if (big || (negative && v != 0)) return NumberCheck::OutOfRange;
    value = quint16(v);
    return NumberCheck::Ok;
}

std::optional<QString> encodeField(const Field& f, const SettingsSheet& sheet, Page& page) {
    quint8* at = page.data() + f.offset;
    const QString& text = sheet.content(f.row);
    QByteArray bytes;
    switch (f.encoding) {
        case E::DigitString:
        case E::Text:
            if (text.isEmpty() && f.encoding == E::DigitString) return std::nullopt;
            if (auto err = encodeBytes(f.row, text, f.size, bytes)) return err;
            std::copy(bytes.cbegin(), bytes.cend(), at);
            if (bytes.size() < f.size) at[bytes.size()] = 0x00;
            return std::nullopt;
        case E::Choice:
            // A list without selection writes back the byte it was read with.
            *at = sheet.choiceByte(SettingsSheet::Choice(SettingsSheet::choiceAt(f.row)));
            return std::nullopt;
        case E::Number: {
            if (text.isEmpty()) return std::nullopt;  // 0xFF 0xFF, read back as 65535
            quint16 v = 0;
            switch (parseNumber(text, v)) {
                case NumberCheck::NotInteger:
                    return notIntegerMessage(text);
                case NumberCheck::OutOfRange:
                    return outOfRangeMessage(f.row, text);
                case NumberCheck::Ok:
                    break;
            }
            at[0] = quint8(v & 0xFF);
            at[1] = quint8(v >> 8);
            return std::nullopt;
        }
        case E::PlainText:
            if (auto err = encodeBytes(f.row, text, f.size, bytes)) return err;
            std::copy(bytes.cbegin(), bytes.cend(), at);
            return std::nullopt;
        case E::UserNameHead:
            if (auto err = encodeBytes(f.row, text, UserNameMax, bytes)) return err;
            if (bytes.isEmpty()) return std::nullopt;
            at[0] = quint8(bytes[0]);
            at[1] = bytes.size() > 1 ? quint8(bytes[1]) : 0x00;
            return std::nullopt;
        case E::UserNameTail:
            if (auto err = encodeBytes(f.row, text, UserNameMax, bytes)) return err;
            bytes = bytes.mid(2, f.size);
            std::copy(bytes.cbegin(), bytes.cend(), at);
            return std::nullopt;
    }
    return std::nullopt;
}

void decodeField(const Field& f, const Page& page, SettingsSheet& sheet, DecodeState& state) {
    const quint8* at = page.data() + f.offset;
    switch (f.encoding) {
        case E::DigitString:
            sheet.setContent(f.row, decodeDigits(at, f.size));
            break;
        case E::Choice:
            sheet.setChoice(SettingsSheet::Choice(SettingsSheet::choiceAt(f.row)), at[0]);
            break;
        case E::Number:
            sheet.setContent(f.row, QString::number(at[0] + 256 * at[1]));
            break;
        case E::Text:
            sheet.setContent(f.row, decodeText(at, f.size));
            break;
        case E::PlainText:
            sheet.setContent(f.row, gbk::decode(plainBytes(at, f.size)));
            break;
        case E::UserNameHead:
            state.userNameHead = plainBytes(at, f.size);
            state.userNameHeadText = gbk::decode(state.userNameHead);
            state.haveHead = true;
            sheet.setContent(f.row, state.userNameHeadText);
            break;
        case E::UserNameTail: {
            const QByteArray tail = plainBytes(at, f.size);
            // Decoding head and tail together keeps a double-byte character that
            // straddles the pages whole; otherwise the tail is appended to what
            // the cell holds.
            if (state.haveHead && sheet.content(f.row) == state.userNameHeadText)
                sheet.setContent(f.row, gbk::decode(state.userNameHead + tail));
            else
                sheet.setContent(f.row, sheet.content(f.row) + gbk::decode(tail));
            state = DecodeState();
            break;
        }
    }
}

}  // namespace

std::span<const Field> layout() {
    return kLayout;
}

std::optional<QByteArray> encodeCut(const QString& text, int maxBytes) {
    auto bytes = gbk::encode(text);
    if (!bytes) return std::nullopt;
    if (bytes->size() <= maxBytes) return bytes;
    // Cut after the last whole character that fits (a stand-in is one byte,
    // so the bytes alone do not tell where characters end).
    int n = 0;
    const auto ucs4 = text.toUcs4();
    for (char32_t c : ucs4) {
        const int len = gbk::charLength(c);
        if (n + len > maxBytes) break;
        n += len;
    }
    bytes->truncate(n);
    return bytes;
}

std::optional<QString> encodePage(int page, const SettingsSheet& sheet, Page& out) {
    out.fill(0xFF);
    for (const Field& f : kLayout) {
        if (f.page != page) continue;
        if (auto err = encodeField(f, sheet, out)) return err;
    }
    return std::nullopt;
}

void decodePage(int page, const Page& bytes, SettingsSheet& sheet, DecodeState& state) {
    for (const Field& f : kLayout)
        if (f.page == page) decodeField(f, bytes, sheet, state);
}

QString decodeDigits(const quint8* bytes, int size) {
    QString out;
    for (int i = 0; i < size; ++i) {
        const quint8 b = bytes[i];
        if (b != '+' && (b < '0' || b > '9')) break;
        out.append(QLatin1Char(char(b)));
    }
    return out;
}

QString decodeText(const quint8* bytes, int size) {
    // The text ends at its 0x00 terminator, at the 0xFF fill of a field that
    // was never written, or at the field's end (a 40-byte text has no
    // terminator). 0xFF is never part of a GBK character. A double-byte
    // character is never completed from the next field: a lead byte cut off
    // by the field's end shows as its stand-in and is written back as such.
    int n = 0;
    while (n < size && bytes[n] != 0x00 && bytes[n] != 0xFF) ++n;
    return gbk::decode(QByteArray(reinterpret_cast<const char*>(bytes), n));
}

QByteArray plainBytes(const quint8* bytes, int size) {
    int n = 0;
    while (n < size && bytes[n] != 0xFF) ++n;
    return QByteArray(reinterpret_cast<const char*>(bytes), n);
}

QString notIntegerMessage(const QString& text) {
    return QStringLiteral("'%1' is not a valid integer value").arg(text);
}

QString outOfRangeMessage(int row, const QString& text) {
    return QStringLiteral("%1: '%2' is out of range (0 to 65535)")
        .arg(SettingsSheet::rowName(row), text);
}

QString unencodableMessage(int row, const QString& character) {
    const auto ucs4 = character.toUcs4();
    const uint code = ucs4.isEmpty() ? 0 : uint(ucs4.first());
    const QString hex = QStringLiteral("%1").arg(code, 4, 16, QLatin1Char('0')).toUpper();
    if (gbk::isStandIn(code))
        return QStringLiteral(
                   "%1: the character U+%2 stands for a byte read from the device and cannot "
                   "be typed")
            .arg(SettingsSheet::rowName(row), hex);
    return QStringLiteral("%1: the character '%2' (U+%3) cannot be stored on the device")
        .arg(SettingsSheet::rowName(row), character, hex);
}

}  // namespace settings
