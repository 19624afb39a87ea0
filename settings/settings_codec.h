#pragma once
// The two 256-byte settings pages of the device (addresses 0x000 and 0x100)
// and their translation to and from the settings sheet.
//
// The layout is declared once, as a table of fields. Encoding builds a page
// from the sheet (the PC never sends a page it could not build completely);
// decoding fills the sheet from a page the device sent.
//
// Device texts are GBK bytes, decoded losslessly (core/gbk.h): a byte that is
// no character is shown as its stand-in and written back as that byte. A
// field never receives half of a double-byte character: texts are cut at
// character boundaries, and a character that GBK cannot hold stops the
// encoding with a message naming the row.

#include <array>
#include <optional>
#include <QByteArray>
#include <QString>
#include <span>

#include "settings/settings_sheet.h"

namespace settings {

constexpr int PageSize = 256;
constexpr int PageCount = 2;
using Page = std::array<quint8, PageSize>;

enum class Encoding {
    DigitString,   // "+"/digit characters; 0x00 after a shorter text
    Choice,        // one byte: the choice list's item index, 0xFF without selection
    Number,        // 16-bit little endian, 0..65535; empty cell keeps 0xFF 0xFF
    Text,          // 40-byte text, 0x00 after a shorter text, an empty text is one 0x00
    PlainText,     // bytes without terminator, ends at the first 0xFF
    UserNameHead,  // the first two bytes of the GPRS user name (end of page 1)
    UserNameTail,  // its bytes 3 to 16 (start of page 2)
};

struct Field {
    int page;    // 1 or 2
    int offset;  // within the page
    int size;    // bytes
    int row;     // settings grid row
    Encoding encoding;
};

// Every field of both pages, in page order; decoding runs them in this order,
// so for row 10, stored twice, the second copy (offset 114) is what shows.
std::span<const Field> layout();

// Builds page 1 or 2 from the sheet into `out` (filled with 0xFF first).
// Returns an error message when a cell cannot be stored; `out` is then
// undefined and must not be sent.
std::optional<QString> encodePage(int page, const SettingsSheet& sheet, Page& out);

// What decoding page 1 remembers for page 2: the user name's first bytes, so
// that a double-byte character split across the two pages still decodes as
// one character.
struct DecodeState {
    QByteArray userNameHead;
    QString userNameHeadText;  // what page 1 put into row 21
    bool haveHead = false;
};

// Fills the sheet from page 1 or 2. Content cells of the choice rows are not
// written; the choice lists get the stored indexes.
void decodePage(int page, const Page& bytes, SettingsSheet& sheet, DecodeState& state);

// The single field decoders, exposed for tests.
QString decodeDigits(const quint8* bytes, int size);
QString decodeText(const quint8* bytes, int size);
QByteArray plainBytes(const quint8* bytes, int size);  // up to the first 0xFF

// Messages of refused cells.
QString notIntegerMessage(const QString& text);  // "'x' is not a valid integer value"
QString outOfRangeMessage(int row, const QString& text);
QString unencodableMessage(int row, const QString& character);

// The GBK bytes of `text`, cut to at most `maxBytes` at a character boundary;
// nothing when a character cannot be encoded.
std::optional<QByteArray> encodeCut(const QString& text, int maxBytes);

}  // namespace settings
