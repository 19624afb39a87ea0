#pragma once
// Device texts and CSV files are bytes in one fixed code page: GBK (code page
// 936, a superset of ASCII, with 0x80 as the euro sign).
//
// The codec is lossless for device bytes. Decoding turns every valid GBK
// character into its character and every other byte (a lone lead byte where
// the device cut a text, a bad trail byte, 0xFF) into a stand-in: the
// private-use character U+F700 + byte, outside the private-use block that
// GBK's user-defined areas map to (U+E000..U+E765). Encoding turns each
// stand-in back into its byte, so bytes -> decode -> encode gives the same
// bytes, and a grid, a workbook or a CSV file that carries the stand-ins
// writes the device's bytes back unchanged. 0x00 stays U+0000.
//
// Encoding refuses characters that GBK cannot hold instead of replacing them,
// so nothing is ever changed silently. Stand-ins are meant for texts that
// came from the device or from the tool's own files; editors refuse them when
// they are typed (see isStandIn).

#include <optional>
#include <QByteArray>
#include <QString>

namespace gbk {

// The stand-in of byte b is QChar(StandInBase + b). Only the bytes 0x81..0xFF
// ever need one (ASCII bytes are characters and 0x80 is the euro sign).
constexpr char16_t StandInBase = 0xF700;
constexpr char16_t FirstStandIn = StandInBase + 0x81;
constexpr char16_t LastStandIn = StandInBase + 0xFF;

constexpr bool isStandIn(char32_t c) {
    return c >= FirstStandIn && c <= LastStandIn;
}

// Control characters (below 0x20, and 0x7F): bytes a device text may carry,
// but never text a user means to type; editors refuse them like stand-ins.
constexpr bool isControl(char32_t c) {
    return c < 0x20 || c == 0x7F;
}

// The GBK bytes of `text` (stand-ins as their bytes), or nothing when a
// character cannot be encoded.
std::optional<QByteArray> encode(const QString& text);

// The bytes of one character: 1 or 2, or 0 when GBK cannot hold it.
int charLength(char32_t c);

// First character of `text` that GBK cannot encode (for messages), or an
// empty string when every character can be encoded.
QString firstUnencodable(const QString& text);

// Decodes device bytes losslessly (see above). Never fails.
QString decode(const QByteArray& bytes);

// Length of `text` in GBK bytes (a double-byte character counts twice;
// an unencodable character counts as 1).
int byteLength(const QString& text);

}  // namespace gbk
