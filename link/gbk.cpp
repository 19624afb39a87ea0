#include "link/gbk.h"

#include <iconv.h>

#include <cerrno>
#include <mutex>
#include <QList>

namespace {

// One conversion through iconv. Returns false when the input holds a
// sequence the target cannot represent or the source does not contain.
bool convert(const char* to, const char* from, const QByteArray& in, QByteArray& out) {
    iconv_t cd = iconv_open(to, from);
    if (cd == reinterpret_cast<iconv_t>(-1)) return false;
    out.resize(in.size() * 4 + 16);
    char* src = const_cast<char*>(in.constData());
    size_t srcLeft = static_cast<size_t>(in.size());
    char* dst = out.data();
    size_t dstLeft = static_cast<size_t>(out.size());
    bool ok = true;
    if (srcLeft > 0 && iconv(cd, &src, &srcLeft, &dst, &dstLeft) == static_cast<size_t>(-1))
        ok = false;
    out.resize(out.size() - static_cast<int>(dstLeft));
    iconv_close(cd);
    return ok;
}

QByteArray toUtf32(const QString& s) {
    QByteArray b;
    const auto ucs4 = s.toUcs4();
    b.resize(ucs4.size() * 4);
    for (int i = 0; i < ucs4.size(); ++i) {
        const uint c = ucs4[i];
        b[4 * i] = char(c >> 24);
        b[4 * i + 1] = char(c >> 16);
        b[4 * i + 2] = char(c >> 8);
        b[4 * i + 3] = char(c);
    }
    return b;
}

bool isAscii(const QString& s) {
    for (QChar c : s)
        if (c.unicode() > 0x7F) return false;
    return true;
}

}  // namespace

namespace gbk {

std::optional<QByteArray> encode(const QString& text) {
    if (isAscii(text)) return text.toLatin1();
    QByteArray out;
    if (!convert("GBK", "UTF-32BE", toUtf32(text), out)) return std::nullopt;
    return out;
}

QString firstUnencodable(const QString& text) {
    const auto ucs4 = text.toUcs4();
    for (char32_t c : ucs4) {
        if (c <= 0x7F) continue;
        const QString one = QString::fromUcs4(&c, 1);
        QByteArray out;
        if (!convert("GBK", "UTF-32BE", toUtf32(one), out)) return one;
    }
    return {};
}

QString decode(const QByteArray& bytes) {
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
        if (b == 0x80 || b == 0xFF || i + 1 >= n) {
            result.append(QChar(0xFFFD));
            ++i;
            continue;
        }
        QByteArray out;
        if (convert("UTF-16LE", "GBK", bytes.mid(i, 2), out) && out.size() == 2) {
            result.append(QChar(char16_t(quint8(out[0]) | (quint8(out[1]) << 8))));
            i += 2;
        } else {
            result.append(QChar(0xFFFD));
            ++i;
        }
    }
    return result;
}

int byteLength(const QString& text) {
    if (isAscii(text)) return text.size();
    int n = 0;
    const auto ucs4 = text.toUcs4();
    for (char32_t c : ucs4) {
        if (c <= 0x7F) {
            ++n;
            continue;
        }
        QByteArray out;
        n += convert("GBK", "UTF-32BE", toUtf32(QString::fromUcs4(&c, 1)), out) ? out.size() : 1;
    }
    return n;
}

}  // namespace gbk
