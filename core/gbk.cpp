#include "core/gbk.h"

#include <iconv.h>

#include <array>
#include <memory>
#include <QList>

namespace {

constexpr quint8 FirstLead = 0x81, LastLead = 0xFE;
constexpr quint8 FirstTrail = 0x40, LastTrail = 0xFE;
constexpr int Leads = LastLead - FirstLead + 1;
constexpr int Trails = LastTrail - FirstTrail + 1;
constexpr char16_t Euro = 0x20AC;
constexpr quint8 EuroByte = 0x80;

// The double-byte part of the code page, both ways. Built once from the
// system's converter and kept only where it is a one-to-one pair: a byte
// pair whose character does not encode back to the same pair is no character
// here (its bytes decode to stand-ins), so decoding and encoding never
// disagree.
struct Tables {
    std::array<char16_t, Leads * Trails> toChar{};  // 0: no character
    std::array<quint16, 0x10000> toPair{};          // 0: no pair

    Tables() {
        iconv_t in = iconv_open("UTF-16LE", "GBK");
        iconv_t out = iconv_open("GBK", "UTF-16LE");
        if (in == reinterpret_cast<iconv_t>(-1) || out == reinterpret_cast<iconv_t>(-1)) {
            if (in != reinterpret_cast<iconv_t>(-1)) iconv_close(in);
            if (out != reinterpret_cast<iconv_t>(-1)) iconv_close(out);
            return;  // ASCII, the euro sign and stand-ins still work
        }
        for (int lead = FirstLead; lead <= LastLead; ++lead)
            for (int trail = FirstTrail; trail <= LastTrail; ++trail) {
                if (trail == 0x7F) continue;
                char pair[2] = {char(lead), char(trail)};
                char16_t c = 0;
                if (convert(in, pair, 2, &c, 2) != 2) continue;
                if (c < 0x80 || c == Euro || gbk::isStandIn(c) || (c >= 0xD800 && c <= 0xDFFF))
                    continue;
                char back[2] = {};
                if (convert(out, &c, 2, back, 2) != 2 || back[0] != pair[0] || back[1] != pair[1])
                    continue;
                toChar[(lead - FirstLead) * Trails + (trail - FirstTrail)] = c;
                toPair[c] = quint16(lead << 8 | trail);
            }
        iconv_close(in);
        iconv_close(out);
    }

    // Bytes written into `to` (at most `toSize`), or -1 when `from` is not
    // converted whole.
    static int convert(iconv_t cd, const void* from, size_t fromSize, void* to, size_t toSize) {
        iconv(cd, nullptr, nullptr, nullptr, nullptr);
        char* src = static_cast<char*>(const_cast<void*>(from));
        char* dst = static_cast<char*>(to);
        size_t srcLeft = fromSize, dstLeft = toSize;
        if (iconv(cd, &src, &srcLeft, &dst, &dstLeft) == static_cast<size_t>(-1) || srcLeft != 0)
            return -1;
        return int(toSize - dstLeft);
    }
};

const Tables& tables() {
    static const std::unique_ptr<Tables> t = std::make_unique<Tables>();
    return *t;
}

// The bytes of one UTF-16 unit: 0, 1 or 2 bytes in `out`.
int encodeUnit(char16_t c, const Tables& t, char out[2]) {
    if (c < 0x80) {
        out[0] = char(c);
        return 1;
    }
    if (c == Euro) {
        out[0] = char(EuroByte);
        return 1;
    }
    if (gbk::isStandIn(c)) {
        out[0] = char(c - gbk::StandInBase);
        return 1;
    }
    const quint16 pair = t.toPair[c];
    if (pair == 0) return 0;
    out[0] = char(pair >> 8);
    out[1] = char(pair & 0xFF);
    return 2;
}

}  // namespace

namespace gbk {

std::optional<QByteArray> encode(const QString& text) {
    const Tables& t = tables();
    QByteArray out;
    out.reserve(text.size() * 2);
    char bytes[2];
    for (QChar c : text) {
        // A surrogate (half of a character outside the BMP) has no pair.
        const int n = c.isSurrogate() ? 0 : encodeUnit(c.unicode(), t, bytes);
        if (n == 0) return std::nullopt;
        out.append(bytes, n);
    }
    return out;
}

int charLength(char32_t c) {
    if (c > 0xFFFF || (c >= 0xD800 && c <= 0xDFFF)) return 0;
    char bytes[2];
    return encodeUnit(char16_t(c), tables(), bytes);
}

QString firstUnencodable(const QString& text) {
    const auto ucs4 = text.toUcs4();
    for (char32_t c : ucs4)
        if (charLength(c) == 0) return QString::fromUcs4(&c, 1);
    return {};
}

QString decode(const QByteArray& bytes) {
    const Tables& t = tables();
    QString result;
    result.reserve(bytes.size());
    const int n = bytes.size();
    for (int i = 0; i < n;) {
        const auto b = static_cast<quint8>(bytes[i]);
        if (b < 0x80) {
            result.append(QChar(b));
            ++i;
            continue;
        }
        if (b == EuroByte) {
            result.append(QChar(Euro));
            ++i;
            continue;
        }
        if (b >= FirstLead && b <= LastLead && i + 1 < n) {
            const auto trail = static_cast<quint8>(bytes[i + 1]);
            if (trail >= FirstTrail && trail <= LastTrail) {
                const char16_t c = t.toChar[(b - FirstLead) * Trails + (trail - FirstTrail)];
                if (c != 0) {
                    result.append(QChar(c));
                    i += 2;
                    continue;
                }
            }
        }
        result.append(QChar(char16_t(StandInBase + b)));
        ++i;
    }
    return result;
}

int byteLength(const QString& text) {
    int n = 0;
    const auto ucs4 = text.toUcs4();
    for (char32_t c : ucs4) {
        const int len = charLength(c);
        n += len == 0 ? 1 : len;
    }
    return n;
}

}  // namespace gbk
