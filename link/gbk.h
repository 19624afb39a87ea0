#pragma once
// Device texts and CSV files are bytes in one fixed code page: GBK (code page
// 936, a superset of ASCII). Encoding refuses characters that GBK cannot hold
// instead of replacing them, so nothing is ever changed silently.

#include <optional>
#include <QByteArray>
#include <QString>

namespace gbk {

// The GBK bytes of `text`, or nothing when a character cannot be encoded.
std::optional<QByteArray> encode(const QString& text);

// First character of `text` that GBK cannot encode (for messages), or a null
// QChar when every character can be encoded.
QString firstUnencodable(const QString& text);

// Decodes GBK bytes. A byte that does not start a valid GBK character is
// shown as U+FFFD; 0x00 bytes are kept as U+0000 characters.
QString decode(const QByteArray& bytes);

// Length of `text` in GBK bytes (a double-byte character counts twice;
// an unencodable character counts as 1).
int byteLength(const QString& text);

}  // namespace gbk
